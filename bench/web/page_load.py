#!/usr/bin/env python3
"""The calls page over 100,000 recordings in headless Chromium: how long the
page takes to load (Navigation Timing) and a live search to show its rows.

    python3 bench/web/page_load.py build/bench/web/bench_web

Starts `bench_web --serve` and chromedriver on free localhost ports, logs in
and loads the page ten times; prints the median and the slowest of each.
"""
import json
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

LOADS = 10


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def call(base, method, path, body=None):
    data = json.dumps(body).encode() if body is not None else None
    request = urllib.request.Request(base + path, data=data, method=method,
                                     headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(request, timeout=120) as reply:
        return json.loads(reply.read())["value"]


def main():
    server_port, driver_port = free_port(), free_port()
    server = subprocess.Popen([sys.argv[1], "--serve", str(server_port)], stdout=subprocess.PIPE, text=True)
    line = server.stdout.readline()
    if "serving" not in line:
        sys.exit("bench_web did not start")
    site = f"http://127.0.0.1:{server_port}/"
    driver = subprocess.Popen(["chromedriver", f"--port={driver_port}"], stdout=subprocess.DEVNULL)
    base = f"http://127.0.0.1:{driver_port}"
    try:
        for _ in range(100):
            try:
                if call(base, "GET", "/status")["ready"]:
                    break
            except OSError:
                time.sleep(0.1)
        profile = tempfile.mkdtemp()
        options = {"binary": "/usr/bin/chromium",
                   "args": ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                            f"--user-data-dir={profile}", "--window-size=1280,800"]}
        session = call(base, "POST", "/session",
                       {"capabilities": {"alwaysMatch": {"goog:chromeOptions": options}}})["sessionId"]
        s = f"/session/{session}"

        def script(body, args=None):
            return call(base, "POST", s + "/execute/sync", {"script": body, "args": args or []})

        call(base, "POST", s + "/url", {"url": site + "login"})
        script("document.getElementById('password').value = 'benchmark'; document.querySelector('form').submit();")
        time.sleep(1)
        loads = []
        for _ in range(LOADS):
            call(base, "POST", s + "/url", {"url": site})
            loads.append(script("const t = performance.getEntriesByType('navigation')[0];"
                                "return [t.responseStart - t.requestStart, t.domContentLoadedEventEnd, t.loadEventEnd,"
                                " document.querySelectorAll('details.call').length];"))
        searches = []
        for text in ["walker 976", "5551234", "555"] * 3:
            searches.append((text, call(base, "POST", s + "/execute/async", {"args": [text], "script": """
                const [text, done] = arguments;
                const listing = document.getElementById('listing');
                const start = performance.now();
                new MutationObserver((_, o) => { o.disconnect(); done(performance.now() - start); })
                    .observe(listing, {childList: true});
                const box = document.getElementById('search');
                box.value = text;
                box.dispatchEvent(new Event('input'));"""})))
        call(base, "DELETE", s)
    finally:
        driver.terminate()
        server.terminate()
    rows = {load[3] for load in loads}
    print(f"calls page, {LOADS} loads, rows shown {rows}:")
    for name, index in [("time to first byte", 0), ("DOMContentLoaded", 1), ("load event", 2)]:
        values = [load[index] for load in loads]
        print(f"  {name:20s} median {statistics.median(values):7.1f} ms   slowest {max(values):7.1f} ms")
    print("live search, from the keystroke to the new rows (200 ms of it the typing pause):")
    for text in dict.fromkeys(t for t, _ in searches):
        values = [v for t, v in searches if t == text]
        print(f"  {text!r:14s} median {statistics.median(values):7.1f} ms   slowest {max(values):7.1f} ms")


if __name__ == "__main__":
    main()
