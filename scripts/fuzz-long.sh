#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for longer than CI does, from its kept corpus plus a
# working corpus in the build tree, and prints one line per target: executions, seconds, peak
# memory and the outcome. Builds the fuzz tree first.
#   scripts/fuzz-long.sh [seconds per target, default 60] [target...]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
if [ $# -gt 0 ]; then targets=("$@"); else
    mapfile -t targets < <(sed -nE 's/^tov_fuzzer\(([a-z_0-9]+) .*/\1/p' "$root/fuzz/CMakeLists.txt")
fi
TOV_TARGETS="${targets[*]}" "$root/scripts/build.sh" fuzz >/dev/null || exit 1
bin="$root/build/fuzz/bin"
status=0
printf '%-22s %12s %8s %8s  %s\n' target executions seconds rss_mb outcome
for t in "${targets[@]}"; do
    work="$root/build/fuzz/corpus-$t"
    mkdir -p "$work"
    log="$root/build/fuzz/long-$t.log"
    (cd "$root/build/fuzz" && "$bin/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 "$work" "$root/fuzz/corpus/$t") >"$log" 2>&1
    rc=$?
    runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -1)
    took=$(sed -nE 's/^Done [0-9]+ runs in ([0-9]+) second.*/\1/p' "$log" | tail -1)
    rss=$(sed -nE 's/^stat::peak_rss_mb: *([0-9]+)/\1/p' "$log" | tail -1)
    if [ "$rc" -eq 0 ]; then outcome="no crash, hang or leak"; else
        outcome="FAILED (exit $rc, see $log)"
        status=1
    fi
    printf '%-22s %12s %8s %8s  %s\n' "$t" "${runs:-?}" "${took:-?}" "${rss:-?}" "$outcome"
done
exit $status
