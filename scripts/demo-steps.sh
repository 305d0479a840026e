# Sourced by the Wi-Fi and recording demos after wine-app.sh: timed steps, waiting on the log,
# and finding and picturing the panel's controls.
#   step TEXT                prints TEXT with the seconds since the demo began
#   fail TEXT                prints it, keeps the log as $out/${fail_log:-tovenmar.log}, exits 1
#   wait_log S TEXT [N]      waits up to S seconds for the log to hold TEXT N times (default once)
#   shot NAME                saves the panel as $out/panel.png and $out/${shot_prefix:-}NAME.png
#   find_box X COLOUR Y [N]  the top y of the first box of COLOUR in the panel's column X below Y
#                            (N pixels of it in a row, 20 unless given)
#   open_demo SCENARIO [L]   starts the simulator on the scenario file and Tovenmar, waits for the
#                            panel (its X id in $panel) and says so, labelled [L] when given
sim() { "$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" "$@"; }

since() { awk -v a="$(date +%s.%N)" -v b="$1" 'BEGIN { printf "%.1f", a - b }'; }
start=$(date +%s.%N)
step() { printf '%6s s  %s\n' "$(since "$start")" "$*"; }
fail() { step "FAILED: $*"; tov_find_log && cp "$log" "$out/${fail_log:-tovenmar.log}"; exit 1; }
wait_log() {
    for _ in $(seq 1 $(($1 * 10))); do
        if tov_find_log && [ "$(grep -c -- "$2" "$log")" -ge "${3:-1}" ]; then return 0; fi
        sleep 0.1
    done
    return 1
}
open_demo() {
    tov_start_phonesim "$1"
    tov_start_tovenmar
    tov_wait_panel || fail "the panel did not appear"
    step "${2:+[$2] }panel shown"
}
shot() {
    import -window "$panel" "$out/panel.png" 2>/dev/null || return 0
    cp "$out/panel.png" "$out/${shot_prefix:-}$1.png"
}
# Enough pixels of the colour in a row to be a box, not a border line. Reads its input to the end, so that a
# pipeline under pipefail does not fail on it.
find_box() {
    convert "$out/panel.png" -crop "1x$((760 - $3))+$1+$3" txt:- 2>/dev/null |
        awk -F'[,:]' -v c="$2" -v top="$3" -v need="${4:-20}" '
            $0 ~ c { if (run++ == 0) first = $2; if (run == need && !found) { print first + top; found = 1 }; next }
            { run = 0 }'
}
