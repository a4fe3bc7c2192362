#include "Modem.h"

#include "CaptureWav.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace sim {

namespace {

constexpr size_t kReadBlock = 4096;
// How long a command set `slow` keeps the host waiting for its answer.
constexpr double SlowReplySeconds = 2.0;

double realSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string crlfLines(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\r\n";
        else
            out.push_back(c);
    }
    return out;
}

} // namespace

Modem::Modem(const Profile& profile, const ModemOptions& options, Log& log, Pty& pty)
    : m_profile(profile), m_options(options), m_log(log), m_pty(pty), m_at(m_profile, m_state)
{
    m_state.reset(m_profile);
}

void Modem::setProfile(const Profile& profile)
{
    m_profile = profile;
    m_state.reset(m_profile);
}

void Modem::later(double delay, std::function<void()> action)
{
    m_pending.emplace_back(m_now + delay, std::move(action));
}

void Modem::service(double now)
{
    m_now = now;
    const bool present = m_pty.clientPresent();
    if (present != m_hostPresent) {
        m_hostPresent = present;
        if (present) {
            m_log("host opened the port");
        } else {
            m_log("host closed the port");
            endStreams("host closed the port");
            m_state.lineSource = 0; // as a modem does when DTR drops
            m_hostIn.clear();
            m_command.clear();
        }
    }
    for (size_t i = 0; i < m_pending.size();) {
        if (m_pending[i].first <= now) {
            auto action = std::move(m_pending[i].second);
            m_pending.erase(m_pending.begin() + long(i));
            action();
        } else {
            ++i;
        }
    }
    if (frozen()) {
        discardHostBytes();
        m_out.clear();
    } else if (m_hostPresent) {
        if (m_thawed) {
            m_thawed = false;
            if (m_rx)
                m_rx->skipTo(now); // what played while hung is lost, not sent in a burst
            m_log("the modem answers again");
        }
        readHost();
        processHostBytes();
        noticeUnderrun();
        produceReceive();
    }
    noteLine();
    m_line.prune(now);
    flush();
}

// The truth of the line, whatever the host believes: tests judge by these.
void Modem::noteLine()
{
    const bool taken = m_state.offHook();
    if (taken == m_lineLogged)
        return;
    m_lineLogged = taken;
    if (taken) {
        m_takenAt = m_now;
        m_heardSeconds = 0;
        m_log("line taken");
        return;
    }
    char text[128];
    if (m_heardSeconds > 0)
        std::snprintf(text, sizeof text, "line freed after %.1f s; the caller heard %.1f s of audio from the host",
                      m_now - m_takenAt, m_heardSeconds);
    else
        std::snprintf(text, sizeof text, "line freed after %.1f s; the caller heard nothing from the host",
                      m_now - m_takenAt);
    m_log(text);
}

void Modem::freeze(double seconds)
{
    m_frozenUntil = m_now + seconds;
    m_thawed = true;
    m_log("the modem hangs: it sends and answers nothing for " + std::to_string(seconds) + " s");
}

void Modem::discardHostBytes()
{
    char buffer[kReadBlock];
    while (m_pty.read(buffer, sizeof buffer) > 0) {
    }
    m_hostIn.clear();
}

void Modem::readHost()
{
    size_t room = kReadBlock;
    if (m_tx) {
        const size_t want = m_tx->budget(m_now);
        room = want > m_hostIn.size() ? want - m_hostIn.size() : 0;
    }
    char buffer[kReadBlock];
    const size_t n = m_pty.read(buffer, std::min(room, sizeof buffer));
    m_hostIn.append(buffer, n);
}

// A host that feeds a transmission too slowly leaves the modem nothing to
// play: once audio has begun, each such gap is one underrun, reported as
// DLE "u" as real modems do.
void Modem::noticeUnderrun()
{
    if (!m_tx || m_tx->captured().empty()) {
        m_underrun = false;
        return;
    }
    const bool starving = m_hostIn.empty() && m_tx->starving();
    if (starving && !m_underrun) {
        m_log("tx underrun after " + std::to_string(m_tx->captured().size()) + " bytes");
        event('u');
    }
    m_underrun = starving;
}

void Modem::processHostBytes()
{
    while (!m_hostIn.empty()) {
        size_t used;
        if (m_tx) {
            const size_t allowed = std::min(m_hostIn.size(), m_tx->budget(m_now));
            used = m_tx->consume(m_hostIn.data(), allowed);
            if (m_tx->stopped() && m_profile.txIgnoresStop) {
                m_log("tx stop ignored");
                m_tx = std::make_unique<TransmitStream>(m_tx->encoding(), m_tx->rate(), m_profile.stop, m_now);
            } else if (m_tx->stopped()) {
                finishTransmit();
            }
        } else if (m_rx) {
            used = receiveBytes(m_hostIn);
        } else {
            used = commandBytes(m_hostIn);
        }
        m_hostIn.erase(0, used);
        if (used == 0)
            return;
    }
}

size_t Modem::commandBytes(const std::string& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (m_state.echo)
            m_out.push_back(c);
        if (c == '\r') {
            const std::string line = m_command;
            m_command.clear();
            executeLine(line);
            if (m_rx || m_tx)
                return i + 1; // the rest belongs to the stream
        } else if (c == 0x08) {
            if (!m_command.empty())
                m_command.pop_back();
        } else if (uint8_t(c) >= 0x20 && uint8_t(c) < 0x7F && m_command.size() < 256) {
            m_command.push_back(c);
        }
    }
    return bytes.size();
}

size_t Modem::receiveBytes(const std::string& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        char ignored;
        const StreamDecoder::Kind kind = m_rxStop->feed(bytes[i], ignored);
        if (kind == StreamDecoder::Kind::Stop || kind == StreamDecoder::Kind::StopAfterEscapedDle) {
            produceReceive(); // everything up to now goes out before the end mark
            m_log("rx end, " + std::to_string(m_rx->bytesSent()) + " bytes");
            m_rx.reset();
            m_rxStop.reset();
            if (!m_profile.rxEndOkOnly)
                emit(std::string{kDle, kEtx});
            result("OK");
            return i + 1;
        }
    }
    return bytes.size();
}

void Modem::executeLine(const std::string& line)
{
    if (line.find_first_not_of(' ') == std::string::npos)
        return;
    m_commands.push_back(line);
    m_log("host: " + line);
    const AtReply reply = m_at.execute(line);
    for (const std::string& note : reply.notes)
        m_log(note);
    if (reply.slow)
        later(SlowReplySeconds, [this, reply] { answer(reply); });
    else
        answer(reply);
}

void Modem::answer(const AtReply& reply)
{
    if (!reply.lines.empty()) {
        std::string text;
        for (const std::string& l : reply.lines)
            text += "\r\n" + crlfLines(l);
        emit(text + "\r\n");
    }
    switch (reply.result) {
    case AtReply::Result::Ok: result("OK"); break;
    case AtReply::Result::Error: result("ERROR"); break;
    case AtReply::Result::Connect:
        result("CONNECT");
        startStream(reply.stream);
        break;
    case AtReply::Result::Nothing: break;
    }
    if (reply.dleHAfter)
        event('H');
    if (reply.dialData)
        later(2.0, [this] {
            m_state.lineSource = 0;
            result("NO CARRIER");
        });
}

void Modem::result(const std::string& text)
{
    m_log("modem: " + text);
    emit("\r\n" + text + "\r\n");
}

void Modem::startStream(StreamRequest which)
{
    const Compression* c = m_profile.compression(m_state.cml);
    const Encoding encoding = c ? c->encoding : Encoding::Unsigned8;
    const std::string what = "(compression " + std::to_string(m_state.cml) + ", " + std::to_string(m_state.rate)
                             + " samples/s)";
    if (which == StreamRequest::Receive) {
        m_rx = std::make_unique<ReceiveStream>(encoding, m_state.rate, m_now);
        m_rxStop = std::make_unique<StreamDecoder>(m_profile.stop, '!');
        m_overrun = false;
        m_log("rx start " + what);
    } else {
        m_tx = std::make_unique<TransmitStream>(encoding, m_state.rate, m_profile.stop, m_now);
        m_txSince = m_now;
        m_log("tx start " + what);
        if (m_profile.underrunAtStart)
            event('u');
    }
}

void Modem::finishTransmit()
{
    std::string text = "tx end, " + std::to_string(m_tx->captured().size()) + " bytes";
    m_heardSeconds += m_now - m_txSince;
    if (!m_options.captureDir.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "/tx-%03d.wav", ++m_captures);
        const std::string path = m_options.captureDir + name;
        if (writeCaptureWav(path, m_tx->encoding(), m_tx->rate(), m_tx->captured()))
            text += " -> " + path;
        else
            text += ", cannot write " + path;
    }
    m_log(text);
    m_tx.reset();
    result("OK");
}

void Modem::endStreams(const std::string& why)
{
    if (m_rx) {
        m_log("rx end (" + why + "), " + std::to_string(m_rx->bytesSent()) + " bytes");
        m_rx.reset();
        m_rxStop.reset();
    }
    if (m_tx) {
        m_log("tx abandoned (" + why + ")");
        finishTransmit();
        m_out.clear();
    }
}

void Modem::produceReceive()
{
    if (!m_rx)
        return;
    if (double(m_out.size()) > m_rx->bytesPerSecond()) {
        // The host does not read: the modem's buffer overflows.
        std::string dropped;
        m_rx->produce(m_now, m_line, dropped);
        if (!m_overrun)
            m_log("receive overrun: the host is not reading");
        m_overrun = true;
        return;
    }
    if (m_overrun) {
        event('o');
        m_overrun = false;
    }
    m_rx->produce(m_now, m_line, m_out);
}

void Modem::emit(const std::string& bytes)
{
    m_out += bytes;
}

void Modem::flush()
{
    if (!m_hostPresent) {
        m_out.clear(); // nobody listens: what the modem says is lost
        return;
    }
    if (m_options.chunk == 0) {
        m_out.erase(0, m_pty.write(m_out.data(), m_out.size()));
        return;
    }
    // One chunk at a time, each once the host has read the one before, so
    // every chunk reaches the host as one read. Audio of a receive stream
    // comes faster than a host reads a byte or three at a time: once more
    // than 20 ms of it waits, chunks go out back to back (each write still
    // one chunk) and a read takes what has come.
    const bool behind = m_rx && double(m_out.size()) > m_rx->bytesPerSecond() / 50;
    if (m_chunkInFlight && !behind) {
        // The kernel hands a write to the reader's queue a little later; a
        // chunk that was never seen there may not have landed yet.
        if (m_pty.clientUnread() > 0) {
            m_chunkLanded = true;
            return;
        }
        if (!m_chunkLanded && realSeconds() - m_chunkSince < 0.004)
            return;
    }
    m_chunkInFlight = false;
    do {
        if (m_out.empty())
            return;
        const size_t n = m_pty.write(m_out.data(), std::min(m_options.chunk, m_out.size()));
        m_out.erase(0, n);
        m_chunkInFlight = n > 0;
        if (n == 0)
            return;
    } while (behind && double(m_out.size()) > m_rx->bytesPerSecond() / 100);
    m_chunkLanded = false;
    m_chunkSince = realSeconds();
}

void Modem::setHandset(bool offHook)
{
    m_handsetOffHook = offHook;
    m_log(offHook ? "handset lifted" : "handset put down");
    event(offHook ? 'H' : 'h');
}

bool Modem::ring()
{
    if (m_state.offHook() || m_handsetOffHook || m_rx || m_tx)
        return false;
    m_log("ring");
    reportRing();
    return true;
}

void Modem::callWaiting(const CallerIdFields& fields)
{
    if (!m_state.offHook() && !m_handsetOffHook)
        m_log("call waiting on a free line: reported all the same");
    if (!fields.empty())
        callerId(fields);
    m_log("ring (second caller)");
    reportRing();
}

void Modem::reportRing()
{
    if (m_state.values["+VDR"].rfind("1", 0) == 0) {
        // distinctive ring reports: off and on times in units of 100 ms
        const char* sep = m_profile.callerId == CallerIdStyle::Spaced ? " = " : "=";
        emit(std::string("\r\nDROF") + sep + "40\r\n\r\nDRON" + sep + "20\r\n");
    }
    if (m_state.fclass == 8 && (m_profile.voiceRing == RingStyle::Dle || m_rx || m_tx))
        emit(std::string{kDle, 'R'});
    else
        emit("\r\nRING\r\n");
}

void Modem::callerId(const CallerIdFields& fields)
{
    if (m_profile.callerId == CallerIdStyle::None) {
        m_log("caller ID not reported (this modem has none)");
        return;
    }
    if (m_profile.callerIdNeedsVcid && m_state.number("+VCID") == 0) {
        m_log("caller ID not reported: caller ID is off (AT+VCID=1 not given)");
        return;
    }
    const char* separator = m_profile.callerId == CallerIdStyle::Spaced ? " = " : "=";
    std::string lines;
    for (const auto& [tag, value] : fields)
        lines += tag + separator + value + "\r\n";
    // Inside a voice stream only shielded codes reach the host: text lines would be audio.
    const bool packet = m_profile.callerId == CallerIdStyle::DlePacket || m_rx || m_tx;
    std::string bytes = packet ? std::string{kDle, 'X'} + lines + std::string{kDle, '.'} : "\r\n" + lines;
    m_log("caller ID " + printable(bytes));
    emit(bytes);
}

void Modem::event(char code)
{
    m_log(std::string("event <DLE>") + code);
    emit(std::string{kDle, code});
}

void Modem::dtmfEvent(char code)
{
    if (m_state.fclass != 8 || !m_state.offHook() || (m_tx && !m_profile.dtmfWhileTransmitting) || frozen()) {
        if (code != '/' && code != '~' && code != m_lastUnheard)
            m_log(std::string("key ") + code + " not heard by the modem");
        m_lastUnheard = code;
        return;
    }
    m_lastUnheard = 0;
    emit(std::string{kDle, code});
}

void Modem::sendText(const std::string& text)
{
    m_log("send " + printable(text));
    emit(text);
}

} // namespace sim
