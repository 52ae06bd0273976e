#!/usr/bin/env bash
# Writes the demo seed files that point a fresh terminal at the simulated
# brokerage on 127.0.0.1: the text files come from the services' own
# builders (simbroker_http --write-seeds). The code dictionary res/pellune.db
# is no seed: the build makes it from the stock data set (target pellune_db,
# build/res/pellune.db). The program folder's update.ini goes to
# tools/simbroker/http/demo/ (the run script copies it beside the program).
#
#   tools/simbroker/http/scripts/make_demo_seeds.sh <path of simbroker_http>
set -euo pipefail
program=${1:?path of the simbroker_http program}
here=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "$here/../../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$program" --write-seeds "$tmp"
mkdir -p "$root/res" "$here/demo"
cp -r "$tmp/res/." "$root/res/"
cp "$tmp/update.ini" "$here/demo/update.ini"
