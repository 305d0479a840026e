#!/usr/bin/env bash
# Builds and runs every benchmark of the native tree, one after the other, and prints each one's
# figures beside the baseline it measured in the same run, with their ratio. Run on a quiet
# machine: other load moves the figures (the ratios less so).
#   scripts/bench.sh
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
TOV_TARGETS="session_receive_bench video_pipeline_bench input_link_bench update_bench core_bench" \
    "$root/scripts/build.sh" native >/dev/null || exit 1
bin="$root/build/native/bin"
status=0
run() {
    local title="$1"
    shift
    echo "== $title: $*"
    "$@" || { echo "   FAILED (exit $?)"; status=1; }
    echo
}
echo "machine: $(nproc) cores, $(sed -nE 's/^model name\s*:\s*//p' /proc/cpuinfo | head -1)," \
    "load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
run "receive path vs a bare receive loop" "$bin/session_receive_bench"
run "frame pipeline overhead per packet vs a bare queue hand-off" "$bin/video_pipeline_bench"
run "input event to bytes on the wire; mouse reports under a flood" "$bin/input_link_bench"
run "update check and download vs plain HTTP and file writes" "$bin/update_bench"
run "JSON parse rate, settings save time, audio ring cost per 10 ms" "$bin/core_bench"
exit $status
