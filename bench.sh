#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs every one of them; each
# compares our code with the reference it names in the same run.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build-bench -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release -DORV_BENCH=ON -DORV_TESTS=OFF >/dev/null
cmake --build build-bench -j "$(nproc)"
for b in build-bench/bench/bench_*; do
  [[ -x "$b" ]] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
