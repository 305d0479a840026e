#!/usr/bin/env bash
# The main job: Tovenmar.exe under Wine with the phone simulator standing in for a phone.
#
# Builds the simulator (native) and Tovenmar.exe with adb.exe beside it (Windows), starts the
# simulator with one phone on a USB cable, starts Tovenmar.exe, presses "Start stream" in the
# panel, waits until the stream is live, and saves screenshots of both windows in build/demo/.
# Uses your display when $DISPLAY is set, else a virtual one (Xvfb). Runs until Tovenmar is
# closed, or for DEMO_SECONDS seconds when that is set (0: stop as soon as the screenshots exist).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/demo"
"$root/scripts/deps.sh" demo
TOV_TARGETS="phonesim adb" "$root/scripts/build.sh" native
TOV_TARGETS="Tovenmar adb" "$root/scripts/build.sh" win
mkdir -p "$out"
rm -f "$out"/*.png "$out/phonesim.port"

. "$root/scripts/xvfb.sh"
export WINEPREFIX="${WINEPREFIX:-$out/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
    [ -n "${TOV_XVFB_PID:-}" ] && kill "$TOV_XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

# One phone on a cable (and on Wi-Fi); its phone app is not installed yet, so the first Start
# stream installs it. DEMO_SCENARIO names another scenario file.
scenario="${DEMO_SCENARIO:-$root/tools/phonesim/scenarios/demo.txt}"
"$root/build/native/bin/phonesim" serve --port-file "$out/phonesim.port" \
    --scenario "$scenario" > "$out/phonesim.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$out/phonesim.port" ] && break; sleep 0.1; done
export TOVENMAR_PHONESIM="$(cat "$out/phonesim.port")"
echo "Phone simulator on port $TOVENMAR_PHONESIM ($scenario)"

[ -d "$WINEPREFIX" ] || { echo "Making the Wine prefix (once)…"; "$wine" wineboot -i >/dev/null 2>&1 || true; }
echo "Starting Tovenmar.exe (display $DISPLAY, prefix $WINEPREFIX)"
"$wine" "$root/build/win/bin/Tovenmar.exe" > "$out/wine.log" 2>&1 &
tovenmar=$!
pids+=($tovenmar)
log=""
find_log() {
    [ -n "$log" ] || log="$(find "$WINEPREFIX/drive_c/users" -name tovenmar.log 2>/dev/null | head -1)"
    [ -n "$log" ]
}

window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true; }
panel=""
for _ in $(seq 1 600); do
    panel="$(window_id Tovenmar)"
    [ -n "$panel" ] && break
    kill -0 "$tovenmar" 2>/dev/null || break
    sleep 0.1
done
[ -n "$panel" ] || { echo "Tovenmar's window did not appear"; cat "$out/wine.log"; exit 1; }
sleep 2

# "Start stream" is the filled button below the status in the sidebar: find it by its colour.
button_y() {
    import -window "$panel" "$out/panel-before.png" 2>/dev/null || return 1
    convert "$out/panel-before.png" -crop 1x400+124+100 txt:- 2>/dev/null |
        awk -F'[,:]' '/#3D7EF0/ { print $2 + 100; exit }'
}
y=""
for _ in $(seq 1 100); do
    y="$(button_y || true)"
    [ -n "$y" ] && break
    sleep 0.3
done
if [ -n "$y" ]; then
    xdotool mousemove --window "$panel" 124 $((y + 10)) click 1
    echo "Pressed Start stream"
else
    echo "Could not find the Start stream button; press it yourself"
fi

live=0
for _ in $(seq 1 600); do
    if find_log && grep -q 'link: live' "$log"; then live=1; break; fi
    kill -0 "$tovenmar" 2>/dev/null || break
    sleep 0.1
done
if [ "$live" = 1 ]; then
    # Wait for the first pictures (the decoder takes a few seconds to open under Wine).
    video="$(xdotool search --onlyvisible --name 'Tovenmar.*Video' 2>/dev/null | head -1 || true)"
    for _ in $(seq 1 60); do
        [ -n "$video" ] || break
        import -window "$video" "$out/video.png" 2>/dev/null || true
        spread="$(convert "$out/video.png" -colorspace Gray -format '%[fx:standard_deviation]' info: 2>/dev/null || echo 0)"
        awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }' && break
        sleep 1
    done
    # The video window sits over the panel; bring the panel forward for its picture.
    xdotool windowraise "$panel" 2>/dev/null || true
    sleep 2
    import -window "$panel" "$out/panel.png" 2>/dev/null || true
    echo "Live. Screenshots: $(ls "$out"/panel.png "$out"/video.png 2>/dev/null | tr '\n' ' ')"
else
    echo "The stream did not go live; see the log below"
fi

# While it runs, a picture of both windows every few seconds (build/demo/shots/).
mkdir -p "$out/shots"
(
    while kill -0 "$tovenmar" 2>/dev/null; do
        stamp="$(date +%H%M%S)"
        [ -n "${video:-}" ] && import -window "$video" "$out/shots/video-$stamp.png" 2>/dev/null
        import -window "$panel" "$out/shots/panel-$stamp.png" 2>/dev/null
        ls -t "$out"/shots/*.png 2>/dev/null | tail -n +41 | xargs -r rm -f
        sleep "${DEMO_SHOT_SECONDS:-5}"
    done
) &
pids+=($!)

if [ -n "${DEMO_SECONDS:-}" ]; then
    sleep "$DEMO_SECONDS"
else
    echo "Tovenmar is running; close its window to end the demo."
    wait "$tovenmar" || true
fi
find_log || true
echo "--- ${log:-(no log)}"
[ -n "$log" ] && cat "$log"
exit 0
