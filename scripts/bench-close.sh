#!/usr/bin/env bash
# How long Tovenmar takes to end when the user closes it while a stream is live: Tovenmar.exe
# under Wine and Xvfb with the phone simulator, closed as a window manager closes a window
# (openbox's Alt+F4 on the panel), timed from the key to the end of the process, and the log's
# own times of the shut-down ("app: closing" to "app: closed").
#   scripts/bench-close.sh [RUNS]   (default 3)
#   BENCH_CLOSE_WM=0                 no window manager: Wine then waits about 2 s on each window
#                                    it hides for a manager that never answers
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/bench-close"
runs="${1:-3}"
wm="${BENCH_CLOSE_WM:-1}"
"$root/scripts/deps.sh" bench >/dev/null
TOV_TARGETS="phonesim adb" "$root/scripts/build.sh" native >/dev/null || exit 1
TOV_TARGETS="Tovenmar adb" "$root/scripts/build.sh" win >/dev/null || exit 1
. "$root/scripts/wine-app.sh"
tov_wine_setup "$out"
if [ "$wm" = 1 ]; then
    openbox >/dev/null 2>&1 &
    wm_pid=$!
    trap 'kill $wm_pid 2>/dev/null; tov_cleanup' EXIT
fi
ms_of() { echo $(( $(date -d "$(date +%F) $1" +%s%3N) )); }

echo "| run | key → process ended, ms | key → \"app: closing\", ms | \"app: closing\" → \"app: closed\", ms |"
echo "|---|---|---|---|"
for run in $(seq 1 "$runs"); do
    log=""
    tov_start_phonesim "$root/tools/phonesim/scenarios/demo.txt"
    tov_start_tovenmar
    tov_wait_panel || { echo "the panel did not appear"; exit 1; }
    sleep 2
    tov_press_start
    for _ in $(seq 1 600); do tov_find_log && grep -q 'link: live' "$log" && break; sleep 0.1; done
    sleep 4  # pictures flowing, the input helper ready
    if [ "$wm" = 1 ]; then
        xdotool windowactivate --sync "$panel" 2>/dev/null
        key=$(date +%s%3N)
        xdotool key alt+F4
    else
        key=$(date +%s%3N)
        xdotool key --window "$panel" alt+F4
    fi
    for _ in $(seq 1 600); do kill -0 "$tovenmar" 2>/dev/null || break; sleep 0.02; done
    took="did not end in 12 s"
    kill -0 "$tovenmar" 2>/dev/null || took=$(( $(date +%s%3N) - key ))
    closing=$(grep -m1 "app: closing" "$log" | cut -c1-12)
    closed=$(grep -m1 "app: closed" "$log" | cut -c1-12)
    c1=$([ -n "$closing" ] && echo $(( $(ms_of "$closing") - key )) || echo -)
    c2=$([ -n "$closing" ] && [ -n "$closed" ] && echo $(( $(ms_of "$closed") - $(ms_of "$closing") )) || echo -)
    echo "| $run | $took | $c1 | $c2 |"
    tov_end_programs
    rm -f "$log"
done
