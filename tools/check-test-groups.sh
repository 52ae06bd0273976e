#!/usr/bin/env bash
# Fails when a test of a test binary is run by none of its ctest groups, so
# that a new suite whose name matches no group's filter cannot compile and
# then silently never run.
#
#   tools/check-test-groups.sh <test binary> <group filter>...
set -euo pipefail
binary=$1; shift
[[ $# -gt 0 ]] || { echo "$binary: no test group" >&2; exit 1; }
# --gtest_list_tests prints "Suite." lines and indented test names (with
# comments for parameterised tests); whole names are compared.
list() {  # list [filter]: Suite.Test names, one a line
  "$binary" --gtest_list_tests ${1:+--gtest_filter="$1"} |
    awk '/^[^ ]/ {suite=$1; next} /^  / {print suite $1}'
}
all=$(list "")
# Each group's filter on its own: a filter may carry negative patterns
# ("*-Suite*"), which would swallow the others if the filters were joined.
run=$(for filter in "$@"; do list "$filter"; done)
missing=$(comm -23 <(sort <<<"$all") <(sort <<<"$run"))
if [[ -n "$missing" ]]; then
  echo "$(basename "$binary"): tests that no ctest group runs (add their suite to a group's filter):" >&2
  sed 's/^/  /' <<<"$missing" >&2
  exit 1
fi
echo "$(basename "$binary"): every test is in a group ($(wc -l <<<"$all") tests)"
