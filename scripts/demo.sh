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
rm -f "$out"/*.png

. "$root/scripts/wine-app.sh"
tov_wine_setup "$out"

# One phone on a cable (and on Wi-Fi); its phone app is not installed yet, so the first Start
# stream installs it. DEMO_SCENARIO names another scenario file.
scenario="${DEMO_SCENARIO:-$root/tools/phonesim/scenarios/demo.txt}"
tov_start_phonesim "$scenario"
echo "Phone simulator on port $TOVENMAR_PHONESIM ($scenario)"

echo "Starting Tovenmar.exe (display $DISPLAY, prefix $WINEPREFIX)"
tov_start_tovenmar
tov_wait_panel || { echo "Tovenmar's window did not appear"; cat "$out/wine.log"; exit 1; }
sleep 2
if tov_press_start; then
    echo "Pressed Start stream"
else
    echo "Could not find the Start stream button; press it yourself"
fi

live=0
for _ in $(seq 1 600); do
    if tov_find_log && grep -q 'link: live' "$log"; then live=1; break; fi
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
tov_pids+=($!)

if [ -n "${DEMO_SECONDS:-}" ]; then
    sleep "$DEMO_SECONDS"
else
    echo "Tovenmar is running; close its window to end the demo."
    wait "$tovenmar" || true
fi
tov_find_log || true
echo "--- ${log:-(no log)}"
[ -n "$log" ] && cat "$log"
exit 0
