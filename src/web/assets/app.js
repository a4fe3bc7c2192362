// The pages' behaviour: live search, paging, the list kept current while
// calls come in, and the actions on a recording. Every text from the
// server goes into the page as text, never as markup of its own.
'use strict';

const csrf = document.querySelector('meta[name="csrf-token"]').content;
const pollMs = 3000;

function notice(text) {
  const box = document.getElementById('notice');
  box.textContent = text;
  clearTimeout(notice.timer);
  notice.timer = setTimeout(() => { box.textContent = ''; }, 6000);
}

async function post(url, body, type) {
  const response = await fetch(url, {
    method: 'POST', credentials: 'same-origin',
    headers: { 'X-CSRF-Token': csrf, 'Content-Type': type || 'application/json' },
    body: type ? body : JSON.stringify(body || {}),
  });
  if (response.status === 401) location.href = '/login';
  if (!response.ok) throw new Error((await response.text()).trim() || response.statusText);
  return response;
}

function report(promise, done) {
  promise.then(done).catch((error) => notice(error.message));
}

// --- calls -------------------------------------------------------------------

const listing = document.getElementById('listing');
let revision = null;
let staleList = false;

function listQuery(page) {
  const query = new URLSearchParams();
  query.set('folder', document.getElementById('folder').value);
  const search = document.getElementById('search').value.trim();
  if (search) query.set('q', search);
  query.set('page', String(page || 0));
  return query;
}

async function showList(page) {
  const query = listQuery(page);
  const response = await fetch('/rows?' + query, { credentials: 'same-origin' });
  if (response.status === 401) { location.href = '/login'; return; }
  listing.innerHTML = await response.text(); // the server's own markup, every caller text escaped
  listing.dataset.page = query.get('page');
  history.replaceState(null, '', '/?' + query);
  staleList = false;
}

// The list is not redrawn under someone's hands: an open recording waits.
function busy() {
  return listing.querySelector('details[open]') !== null || listing.contains(document.activeElement);
}

function callOf(element) {
  return element.closest('details.call');
}

function setUpCalls() {
  let typing;
  document.getElementById('search').addEventListener('input', (event) => {
    clearTimeout(typing);
    const length = event.target.value.trim().length;
    if (length > 0 && length < 3) return; // shorter texts read every row: they wait for Enter
    typing = setTimeout(() => report(showList(0)), 200);
  });
  document.getElementById('folder').addEventListener('change', () => {
    document.getElementById('search').value = '';
    report(showList(0));
  });
  document.getElementById('filter').addEventListener('submit', (event) => { event.preventDefault(); report(showList(0)); });
  listing.addEventListener('click', (event) => {
    const link = event.target.closest('.pager a');
    if (link) { event.preventDefault(); report(showList(Number(link.dataset.page))); }
    const remove = event.target.closest('button.delete');
    if (remove) deleteCall(remove);
  });
  listing.addEventListener('toggle', (event) => openCall(event.target), true);
  listing.addEventListener('play', (event) => markHeard(callOf(event.target)), true);
  listing.addEventListener('submit', (event) => {
    event.preventDefault();
    const form = event.target;
    const call = callOf(form);
    if (form.classList.contains('memo-form')) {
      report(post(`/api/calls/${encodeURIComponent(call.dataset.id)}/memo`, { memo: form.memo.value }), () => {
        call.querySelector('summary .memo').textContent = form.memo.value.trim();
        notice('Memo saved.');
      });
    } else if (form.classList.contains('move-form')) {
      report(post(`/api/calls/${encodeURIComponent(call.dataset.id)}/move`, { folder: form.folder.value }), () => {
        notice('Moved.');
        call.open = false;
        return showList(Number(listing.dataset.page));
      });
    }
  });
}

function openCall(call) {
  if (!call.matches || !call.matches('details.call') || !call.open) {
    if (staleList && !busy()) report(showList(Number(listing.dataset.page)));
    return;
  }
  const audio = call.querySelector('audio');
  if (!audio.getAttribute('src')) audio.src = audio.dataset.src;
  const select = call.querySelector('.move-form select');
  if (!select.options.length) select.append(document.getElementById('folder-options').content.cloneNode(true));
}

function markHeard(call) {
  if (!call || !call.classList.contains('new')) return;
  call.classList.remove('new');
  call.querySelector('.badge').textContent = '';
  report(post(`/api/calls/${encodeURIComponent(call.dataset.id)}/heard`));
}

function deleteCall(button) {
  if (button.dataset.armed !== '1') {
    button.dataset.armed = '1';
    button.textContent = 'Really delete?';
    setTimeout(() => { button.dataset.armed = ''; button.textContent = 'Delete'; }, 5000);
    return;
  }
  const call = callOf(button);
  report(post(`/api/calls/${encodeURIComponent(call.dataset.id)}/delete`), () => {
    notice('Deleted (moved to the trash).');
    call.open = false;
    return showList(Number(listing.dataset.page));
  });
}

// --- status, on every page -------------------------------------------------------

function showStatus(status) {
  const line = document.getElementById('line');
  line.textContent = `Modem ${status.modem} · line ${status.line}` + (status.caller ? ` · ${status.caller}` : '');
  document.getElementById('answering').checked = status.answering;
  const fields = { modem: status.modem, 'line-state': status.line, caller: status.caller || '—' };
  for (const [id, text] of Object.entries(fields)) {
    const element = document.getElementById(id);
    if (element) element.textContent = text;
  }
  const events = document.getElementById('events');
  if (events) events.replaceChildren(...status.events.map((text) => {
    const item = document.createElement('li');
    item.textContent = text;
    return item;
  }));
}

async function poll() {
  try {
    const response = await fetch('/api/status', { credentials: 'same-origin' });
    if (response.status === 401) { location.href = '/login'; return; }
    const status = await response.json();
    showStatus(status);
    if (listing && revision !== null && status.revision !== revision) {
      if (busy()) staleList = true; else await showList(Number(listing.dataset.page));
    }
    revision = status.revision;
  } catch (error) {
    document.getElementById('line').textContent = 'No connection to the answering machine';
  } finally {
    setTimeout(poll, pollMs);
  }
}

// --- greetings and lists ----------------------------------------------------------

function setUpGreetings() {
  for (const form of document.querySelectorAll('form.upload')) {
    form.addEventListener('submit', (event) => {
      event.preventDefault();
      const file = form.file.files[0];
      if (!file) return;
      const query = new URLSearchParams({ target: form.dataset.target, name: file.name });
      report(post('/api/greetings/upload?' + query, file, 'application/octet-stream'), () => location.reload());
    });
  }
  const speak = document.getElementById('speak');
  if (!speak) return;
  speak.addEventListener('submit', (event) => {
    event.preventDefault();
    report(post('/api/greetings/speak', { text: speak.text.value }).then((r) => r.blob()), (audio) => {
      const player = document.getElementById('spoken');
      if (player.src) URL.revokeObjectURL(player.src);
      player.src = URL.createObjectURL(audio);
      player.hidden = false;
      player.play().catch(() => {});
    });
  });
}

function setUpLists() {
  const add = document.getElementById('add-entry');
  if (!add) return;
  add.addEventListener('submit', (event) => {
    event.preventDefault();
    const entry = { list: add.list.value, caller: add.caller.value, note: add.note.value };
    report(post('/api/lists/add', entry), () => location.reload());
  });
  document.addEventListener('click', (event) => {
    const button = event.target.closest('button.remove-entry');
    if (button) report(post('/api/lists/remove', { list: button.dataset.list, id: button.dataset.id }), () => location.reload());
  });
}

document.getElementById('answering').addEventListener('change', (event) => {
  report(post('/api/answering', { on: event.target.checked }).then((r) => r.json()), (state) => {
    event.target.checked = state.answering;
    notice(state.answering ? 'The answering machine is on.' : 'The answering machine is off.');
  });
});
document.getElementById('logout').addEventListener('submit', (event) => {
  event.preventDefault();
  report(post('/logout', {}), () => { location.href = '/login'; });
});
if (listing) setUpCalls();
setUpGreetings();
setUpLists();
poll();
