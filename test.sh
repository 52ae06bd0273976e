#!/usr/bin/env bash
# The whole suite: installs what is missing, builds, runs every test; then the
# same under AddressSanitizer and UndefinedBehaviorSanitizer, the kernel's
# and the transport's threaded tests under ThreadSanitizer, and every fuzz target for a short time.
# Exits non-zero on any failure.
#
#   ./test.sh            everything
#   ./test.sh --quick    the plain build and suite only
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
quick=0
[[ "${1:-}" == "--quick" ]] && quick=1

./tools/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${ORV_FUZZ_SECONDS:-15}

configure() {  # configure <dir> <cmake args...>
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -Wno-dev "$@" >/dev/null
}

run_suite() {  # run_suite <dir> [ctest args...]
  local dir=$1; shift
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

echo "== kernel and window system under ThreadSanitizer"
configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DORV_TSAN=ON
cmake --build build-tsan -j "$jobs" --target platform_kernel_tests platform_tests
run_suite build-tsan -L 'kernel|platform-ui'
echo "== transport and HTTP requests under ThreadSanitizer"
cmake --build build-tsan -j "$jobs" --target foundation_tests
run_suite build-tsan -L 'transport|http'
echo "== market-data engine under ThreadSanitizer"
cmake --build build-tsan -j "$jobs" --target marketdata_tests
run_suite build-tsan -L engine

echo "== fuzz targets, ${fuzz_seconds}s each"
configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORV_FUZZ=ON -DORV_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs"
fuzz_failed=0
if [[ -s build-fuzz/fuzz_targets.txt ]]; then
  mkdir -p build-fuzz/runs
  while read -r name; do
    [[ -n "$name" ]] || continue
    work="build-fuzz/runs/$name"
    rm -rf "$work" && mkdir -p "$work/new"
    seeds="fuzz/corpus/$name"
    mkdir -p "$seeds"
    echo "-- fuzz $name"
    if ! (cd "$work" && "$root/build-fuzz/fuzz/fuzz_$name" -max_total_time="$fuzz_seconds" \
          -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 new "$root/$seeds" >log.txt 2>&1); then
      echo "fuzz target $name failed:"; tail -n 60 "$work/log.txt"; fuzz_failed=1
    fi
  done < build-fuzz/fuzz_targets.txt
fi
[[ $fuzz_failed -eq 0 ]] || exit 1
echo "== all passed"
