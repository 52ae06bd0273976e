#!/usr/bin/env bash
# The whole suite: installs what is missing, builds, runs every test; then the
# same under AddressSanitizer and UndefinedBehaviorSanitizer, the kernel's
# and the transport's threaded tests under ThreadSanitizer, and every fuzz target for a short time.
# Exits non-zero on any failure.
#
#   ./test.sh            everything
#   ./test.sh --quick    the plain build and suite only
#
# Packages are installed with apt-get as root or through sudo
# (tools/install-deps.sh); ORV_SKIP_DEPS=1 skips that step. The four build
# trees (build, build-asan, build-tsan, build-fuzz) share ccache; paths are
# hashed relative to the checkout, so another clone on the same machine
# reuses the cache too.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
export CCACHE_BASEDIR="$root"
quick=0
[[ "${1:-}" == "--quick" ]] && quick=1

./tools/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${ORV_FUZZ_SECONDS:-15}

configure() {  # configure <dir> <cmake args...>: warnings are errors here
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -Wno-dev -DORV_WERROR=ON "$@" >/dev/null
}

run_suite() {  # run_suite <dir> [ctest args...]
  local dir=$1; shift
  # No retry: a test that fails once fails the run. Tests wait on conditions
  # with generous bounds, so load alone does not fail them. Each test binary
  # also has a "<binary>.groups" test that fails when a suite is in no group.
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 900 "$@"
}

echo "== build"
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
echo "== tests"
run_suite build

[[ $quick -eq 1 ]] && exit 0

echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
configure build-asan -DCMAKE_BUILD_TYPE=Debug -DORV_SANITIZE=ON
cmake --build build-asan -j "$jobs"
echo "== tests under the sanitizers"
run_suite build-asan

echo "== threaded code under ThreadSanitizer"
# The areas whose tests race threads on purpose: the kernel, the window
# system and the processes that talk to each other, the transport and both
# HTTP paths, the market-data engine, the stores, the trade session, the
# private stores that race processes, and every window or control that is fed
# from a network or worker thread. One entry a line, in name order.
tsan_targets=(
  charts_tests
  controls_tests
  foundation_tests
  ipc_peer
  marketdata_tests
  monitor_tests
  platform_controls_tests
  platform_ipc_tests
  platform_kernel_tests
  platform_tests
  quotes_tests
  shell_frame_tests
  shell_tests
  simbroker_tests
  simbroker_trade_tests
  stockpage_tests
  tokenstore_tests
  trading_tests
  trading_ui_tests
  updater_tests
)
tsan_labels=(
  bidask
  blocklist-starmap
  engine
  frame
  grid
  http
  indicator-ui
  kernel
  kline-view
  login
  media-controls
  minute-view
  panels
  platform-controls
  platform-ipc
  platform-ui
  quote-view
  security
  skin-buttons
  stock-panels
  stores
  trade
  trade-window
  transport
  updater
)
tsan_label_regex="^($(IFS='|'; echo "${tsan_labels[*]}"))\$"
configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DORV_TSAN=ON
cmake --build build-tsan -j "$jobs" --target "${tsan_targets[@]}"
run_suite build-tsan -L "$tsan_label_regex"

echo "== fuzz targets, ${fuzz_seconds}s each"
configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORV_FUZZ=ON -DORV_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs" --target fuzz_all
# Each target runs for a fixed time on its committed seeds; the targets run
# side by side, one per core.
run_fuzz_target() {  # run_fuzz_target <name>: 0 when the run found nothing
  local name=$1 work="build-fuzz/runs/$1" seeds="fuzz/corpus/$1"
  rm -rf "$work" && mkdir -p "$work/new" "$seeds"
  if (cd "$work" && "$root/build-fuzz/fuzz/fuzz_$name" -max_total_time="$fuzz_seconds" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 new "$root/$seeds" >log.txt 2>&1); then
    echo "-- fuzz $name: nothing found"
    return 0
  fi
  echo "fuzz target $name failed:"; tail -n 60 "$work/log.txt"
  return 1
}
export -f run_fuzz_target
export root fuzz_seconds
fuzz_failed=0
if [[ -s build-fuzz/fuzz_targets.txt ]]; then
  mkdir -p build-fuzz/runs
  grep -v '^$' build-fuzz/fuzz_targets.txt |
    xargs -P "$jobs" -I{} bash -c 'run_fuzz_target "$@"' _ {} || fuzz_failed=1
fi
[[ $fuzz_failed -eq 0 ]] || exit 1
echo "== all passed"
