#!/usr/bin/env bash
# How long after the end of a message its mail and its MQTT event arrive:
# the end-to-end tests of run (modem simulator, SMTP server, mosquitto)
# repeated, each reporting the time from "-- File saved" to the arrival.
# Usage: bench/notify/delay.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-5}
out=$(mktemp -d)
for i in $(seq "$runs"); do
  "$build/tests/notify/test_notify" --gtest_filter='CliMail.AnAnswered*' --gtest_output="json:$out/mail-$i.json" >/dev/null
  "$build/tests/mqtt/test_mqtt" --gtest_filter='CliMqtt.*' --gtest_output="json:$out/mqtt-$i.json" >/dev/null
done
python3 - "$out" <<'PY'
import glob, json, statistics, sys
def values(pattern, name):
    found = []
    for path in sorted(glob.glob(sys.argv[1] + "/" + pattern)):
        for suite in json.load(open(path))["testsuites"]:
            for test in suite["testsuite"]:
                if name in test:
                    found.append(float(test[name]))
    return found
for label, pattern, name in (("mail", "mail-*.json", "mail_ms_after_file_saved"),
                             ("mqtt event", "mqtt-*.json", "event_ms_after_file_saved")):
    v = values(pattern, name)
    print(f"{label}: after the file is saved, ms: median {statistics.median(v):.0f}, min {min(v):.0f}, max {max(v):.0f} ({len(v)} runs)")
PY
rm -rf "$out"
