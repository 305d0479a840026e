#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native, Windows and fuzz trees, and runs
# their ctest suites (native unit and integration tests; Windows tests under Wine and Xvfb;
# a short bounded run of every fuzz target).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
"$root/scripts/deps.sh" test || exit 1

status=0
"$root/scripts/build.sh" native || exit 1
"$root/scripts/build.sh" win || exit 1
"$root/scripts/build.sh" fuzz || exit 1

. "$root/scripts/xvfb.sh"
cleanup() {
    [ -n "${TOV_XVFB_PID:-}" ] && kill "$TOV_XVFB_PID" 2>/dev/null
    WINEPREFIX="$root/build/win/wineprefix" wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

passed=0
failed=0
for tree in native win fuzz; do
    echo "=== ctest: $tree"
    log="$root/build/$tree/ctest-summary.log"
    (cd "$root/build/$tree" && ctest --output-on-failure -j "${TOV_JOBS:-2}" ${TOV_CTEST_ARGS:-}) \
        2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    [ "$rc" -ne 0 ] && status=1
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
    if [ -n "$line" ]; then
        total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
        bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    elif grep -q 'No tests were found' "$log"; then
        :
    else
        status=1
    fi
done
echo "tests: $passed passed, $failed failed"
exit $status
