#!/usr/bin/env bash
# Installs every Debian package Velmora needs to build, run and test.
# A no-op when everything is already present.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # runtime libraries
  qt6-base-dev qt6-serialport-dev libqt6serialport6
  libsqlite3-dev sqlite3 libsoxr-dev libgsm1-dev portaudio19-dev libasound2-dev libsndfile1-dev
  libespeak-ng-dev espeak-ng-data libcurl4-openssl-dev xdg-utils
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev sox libsox-fmt-all xvfb dbus-daemon
  espeak-ng python3 openssl
  # packaging: checks of the desktop entry, metainfo, manual pages and the package
  desktop-file-utils appstream groff-base file lintian
  # fuzzing: libFuzzer comes with clang's runtime libraries
  clang libclang-rt-dev
  # real speech for the line detector tests (1 MB)
  asterisk-prompt-es-co
  # new-message mail: Opus attachments, the desktop's secret store; opusdec reads them back in tests
  libopusenc-dev
  libsecret-1-dev
  opus-tools
  # MQTT: the client library, and a real broker and its clients for the tests
  libmosquitto-dev
  mosquitto
  mosquitto-clients
  # web interface: Qt's HTTP server module, OpenSSL for the password hash and certificate
  qt6-httpserver-dev qt6-websockets-dev libssl-dev
  # web interface tests: a real browser driven through WebDriver
  chromium chromium-driver
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
