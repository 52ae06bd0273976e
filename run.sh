#!/usr/bin/env bash
# Runs the terminal: installs what is missing, builds, starts the simulated
# brokerage on loopback and the terminal against it.
#
#   ./run.sh                  the terminal on your desktop (X11 or XWayland)
#   ./run.sh --snapshot FILE  signs in with the demo account on the offscreen
#                             platform and writes a picture of the main window
#
# Without a display ./run.sh does what --snapshot does, into a file it names.
# The brokerage (simbroker --demo, standard ports on 127.0.0.1) is started
# only when your res/server.data names a loopback host (a fresh install
# does), is reused when port 8889 already answers with one, and is stopped
# when the terminal ends. ORV_SKIP_DEPS=1 skips the package check.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
export CCACHE_BASEDIR="$root"

snapshot=""
if [[ "${1:-}" == "--snapshot" ]]; then
  [[ -n "${2:-}" ]] || { echo "run.sh: --snapshot needs a file name" >&2; exit 2; }
  snapshot=$(realpath -m -- "$2")
elif [[ $# -gt 0 ]]; then
  echo "usage: ./run.sh [--snapshot FILE]" >&2
  exit 2
fi
if [[ -z "$snapshot" && -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  snapshot="$root/build/snapshots/main_window.png"
  echo "run.sh: no display; signing in offscreen and writing $snapshot"
fi

./tools/install-deps.sh
echo "== build"
cmake -S "$root" -B build -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target Korvane Brisel simbroker_program pellune_db

# The brokerage: needed unless the user's server list points elsewhere.
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
servers="$data_home/pellune/Tamsel/res/server.data"
need_broker=1
if [[ -f "$servers" ]] && ! grep -qE '127\.0\.0\.1|localhost' "$servers"; then
  need_broker=0
  echo "run.sh: $servers names no loopback host; starting only the terminal"
fi
answers() {  # a simbroker answers the server list on 8889
  curl -s -m 2 -X POST --data 'ver=&SevLstVer=&CodeVer=&custom=1234' http://127.0.0.1:8889/v2bin 2>/dev/null |
    grep -q '<Ctrl>'
}
broker_pid=""
stop_broker() { [[ -n "$broker_pid" ]] && kill "$broker_pid" 2>/dev/null && wait "$broker_pid" 2>/dev/null; true; }
trap stop_broker EXIT
if [[ $need_broker -eq 1 ]]; then
  if answers; then
    echo "run.sh: a simulated brokerage already answers on 127.0.0.1:8889; using it"
  else
    echo "== simulated brokerage (simbroker --demo)"
    build/tools/simbroker/simbroker --demo >build/simbroker.log 2>&1 &
    broker_pid=$!
    for _ in $(seq 1 100); do
      answers && break
      kill -0 "$broker_pid" 2>/dev/null || { echo "run.sh: simbroker ended; see build/simbroker.log" >&2; exit 1; }
      sleep 0.2
    done
    answers || { echo "run.sh: simbroker does not answer on 8889; see build/simbroker.log" >&2; exit 1; }
  fi
fi

# Web pages are drawn by Brisel; its engine refuses to run as root with its
# sandbox, so the sandbox is off only then.
if [[ $(id -u) -eq 0 ]]; then export BRISEL_NO_SANDBOX=1; fi

echo "== terminal (accounts demo/demo123 and vip/vip123, captcha 1234)"
if [[ -n "$snapshot" ]]; then
  mkdir -p "$(dirname "$snapshot")"
  QT_QPA_PLATFORM=offscreen build/Korvane --snapshot "$snapshot"
  echo "run.sh: wrote $snapshot"
else
  QT_QPA_PLATFORM=xcb build/Korvane
fi
