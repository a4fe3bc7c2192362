#!/usr/bin/env python3
"""A long run of calls against `velmora-cli run`, judged by the simulator's
own log of the line and by the catalogue.

    bench/calls/soak.py [--calls 1000] [--profile usr] [--speed 20] [--build build]

Calls come mixed as real life mixes them: conversations picked up on a
handset, messages, remote access, hang-up sequences, silent callers, callers
who give up, a modem that refuses a command, and an unplugged modem every
hundred calls. Prints lost recordings, calls whose line was not freed and
calls not answered (all must be 0), and the resident memory and open file
descriptors of `run` at calls 1, 100, 500 and the last.
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile
import threading
import time

TALK = 'say "Hello, this is a test call. Please call me back tomorrow morning."'


class Sim:
    def __init__(self, program, profile, speed, link):
        self.lines = []
        self.link = link
        self.proc = subprocess.Popen([program, "--profile", profile, "--speed", str(speed), "--link", link],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        threading.Thread(target=self._read, daemon=True).start()
        deadline = time.time() + 10
        while not os.path.exists(link) and time.time() < deadline:
            time.sleep(0.05)

    def _read(self):
        with open(self.link + ".log", "a") as log:
            for line in self.proc.stdout:
                self.lines.append(line.rstrip("\n"))
                log.write(line)
                log.flush()

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def seen(self, texts, start):
        texts = (texts,) if isinstance(texts, str) else texts
        return any(text in line for line in self.lines[start:] for text in texts)

    def count(self, text, start):
        return sum(line.endswith(text) for line in self.lines[start:])

    def wait_for(self, texts, start, timeout):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.seen(texts, start):
                return True
            if self.proc.poll() is not None:
                time.sleep(0.2)
                return self.seen(texts, start)
            time.sleep(0.05)
        return False


# kind -> (weight, scenario lines after the rings, expected row: new/heard/none/any, answered)
KINDS = {
    "conversation": (30, [TALK, "handset down", "busy 15s"], "heard", True),
    "message": (30, ["await rx timeout 300s", TALK, "busy 15s"], "new", True),
    "remote access": (6, ["await rx timeout 300s", "dtmf 4711", "wait 5s", "dtmf 2 off 1.3s until-onhook"], "any",
                      True),
    "hang-up sequence": (8, ["await rx timeout 300s", TALK, 'dtmf "#0"', "silence 20s"], "new", True),
    "silent caller": (10, ["await rx timeout 300s", "silence 3s", "busy 15s"], "heard", True),
    "gave up": (3, [], "any", False),  # taken for a handset by the ring-away rule: recorded until silence ends it
    "refused beep": (8, ["await rx timeout 300s", TALK, "busy 15s"], "new", True),
}


def rss_and_fds(pid):
    rss = 0
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
    return rss, len(os.listdir(f"/proc/{pid}/fd"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--calls", type=int, default=1000)
    parser.add_argument("--profile", default="usr")
    parser.add_argument("--speed", type=float, default=20)
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "..", "build"))
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--kinds", default="", help="comma-separated subset of the kinds of call")
    args = parser.parse_args()
    cli = os.path.join(args.build, "apps/velmora-cli/velmora-cli")
    simulator = os.path.join(args.build, "tools/modem-sim/velmora-modem-sim")
    random.seed(args.seed)
    work = tempfile.mkdtemp(prefix="velmora-soak-")
    data, link = os.path.join(work, "data"), os.path.join(work, "modem")

    def velmora(*words):
        return subprocess.run([cli, "--data-dir", data, "--port", link, *words], capture_output=True, text=True)

    sim = Sim(simulator, args.profile, args.speed, link)
    if velmora("probe").returncode != 0:
        sys.exit("the probe failed")
    for section, key, value in [("Settings", "amRings", "3"), ("Settings", "RemoteCode", "4711"),
                                ("Settings", "MsgTime", "10"), ("Modem", "ringSpan", "4000")]:
        velmora("set", section, key, value)
    velmora("greeting", "period", "default", "--text", "Please leave a message.")
    run_log = open(os.path.join(work, "run.log"), "w")
    run = subprocess.Popen([cli, "--data-dir", data, "--port", link, "run"], stdout=run_log,
                           stderr=subprocess.STDOUT)
    time.sleep(3)

    names = args.kinds.split(",") if args.kinds else list(KINDS)
    weights = [KINDS[k][0] for k in names]
    expected, not_freed, not_answered, samples = {}, [], [], {}
    started = time.time()
    for n in range(1, args.calls + 1):
        kind = random.choices(names, weights)[0]
        _, lines, row, answered = KINDS[kind]
        number = str(5000000 + n)
        start = len(sim.lines)
        # Rings 1.5 s apart in real time: the program counts rings by its own clock. The handset is
        # lifted after the caller ID, so every row can be told by its number.
        every = f"every {1.5 * args.speed:g}s"
        ring = f"ring 4 {every} handset-after 2" if kind == "conversation" else f"ring 3 {every}"
        if kind == "gave up":
            ring = f"ring 1 {every}"
        # A second between calls, as a ring that comes while the last call is being saved may go uncounted.
        script = [f"wait {args.speed:g}s", "call", f'cid NMBR={number} NAME="SOAK {n}"', ring] + lines
        if kind == "refused beep":
            script = ["set refuse +VTS"] + script + ["set accept +VTS"]
        tail = ["await onhook timeout 600s", f"log over {number}"]
        if kind == "gave up":
            # The simulator drops what follows an unanswered call, so the tail waits for that first.
            for line in script:
                sim.send(line)
            sim.wait_for(("skipping to the next call", "line taken after"), start, 60)
            # A call that rang once may be taken for a handset lifted on it: let that recording end first.
            time.sleep(6)
            if sim.count("line taken", start) > sim.count("line freed", start):
                sim.wait_for("line freed", len(sim.lines), 120)
            script = []
        for line in script + tail:
            sim.send(line)
        if not sim.wait_for(f"over {number}", start, 400):
            not_freed.append((n, kind))
        log = sim.lines[start:]
        if any("busy line" in line for line in log):
            not_freed.append((n, kind))
        if answered and not any("line taken" in line for line in log):
            not_answered.append((n, kind))
        expected[number] = (row, kind)
        if n in (1, 100, 500, args.calls):
            samples[n] = rss_and_fds(run.pid)
            print(f"call {n}: resident {samples[n][0]} kB, {samples[n][1]} open file descriptors", flush=True)
        if n % 100 == 0 and n < args.calls:
            sim.send("unplug")
            sim.proc.wait(30)
            os.remove(link) if os.path.lexists(link) else None
            sim = Sim(simulator, args.profile, args.speed, link)
            time.sleep(4)  # the program binds it again within 2 s
        if n % 50 == 0:
            print(f"{n} calls, {time.time() - started:.0f} s", flush=True)

    time.sleep(2)
    rows = {}
    for line in velmora("list").stdout.splitlines():
        fields = line.split("\t")
        if len(fields) >= 9:
            rows.setdefault(fields[4], []).append(fields)
    played, errors = set(), {}
    run_log.flush()
    # run's own output, not Events.log, which is rotated over a long run.
    for line in open(os.path.join(work, "run.log"), errors="replace"):
        if line.startswith("Play "):
            played.add(line.split()[1])
        if line.startswith("<ERROR> "):
            errors[line.strip()] = errors.get(line.strip(), 0) + 1
    lost = []
    for number, (row, kind) in expected.items():
        mine = rows.get(number, [])
        # A message stays new unless a later remote access played it.
        kept = any(f[5] != "Missed call" and (f[8] == "0" or f[6] in played) for f in mine)
        if (row == "new" and not kept) or (row == "heard" and not mine):
            lost.append((number, kind))
    run.terminate()
    run.wait(30)
    sim.proc.kill()

    print(f"\n{args.calls} calls on the {args.profile} profile at speed {args.speed:g}, "
          f"{time.time() - started:.0f} s")
    print(f"lost recordings: {len(lost)} {lost[:10]}")
    print(f"line not freed: {len(not_freed)} {not_freed[:10]}")
    print(f"not answered: {len(not_answered)} {not_answered[:10]}")
    # Each a fault the program recovered from; under a heavy load some may be the machine's.
    print(f"errors logged: {sum(errors.values())}")
    for text, count in sorted(errors.items(), key=lambda e: -e[1]):
        print(f"  {count} x {text}")
    for n, (rss, fds) in sorted(samples.items()):
        print(f"call {n}: resident {rss} kB, {fds} open file descriptors")
    print(f"data folder and logs: {work}")
    return 1 if lost or not_freed or not_answered else 0


if __name__ == "__main__":
    sys.exit(main())
