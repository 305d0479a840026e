#!/usr/bin/env bash
# Wi-Fi through the real panel: Tovenmar.exe under Wine with the simulator's phone on Wi-Fi only,
# never paired. Opens the Settings page, presses "Pair", reads the QR code off a picture of the
# panel with zbarimg and has the simulated phone scan that text; once the phone is connected,
# presses Start stream and waits for the stream to go live over Wi-Fi. Then the phone's Wi-Fi
# drops for WIFI_AWAY_SECONDS (10) and comes back at a new port: the stream must go live again
# with no click. Last, Tovenmar is closed and started again: the phone it remembers must be
# connected at start. Each step is printed with its time; pictures and the logs go to
# build/demo-wifi/.
# Exit status 0 when every step happened.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/demo-wifi"
away="${WIFI_AWAY_SECONDS:-10}"
"$root/scripts/deps.sh" test  # zbarimg comes with the test set
TOV_TARGETS="phonesim adb" "$root/scripts/build.sh" native
TOV_TARGETS="Tovenmar adb" "$root/scripts/build.sh" win
mkdir -p "$out"
rm -f "$out"/*.png

. "$root/scripts/wine-app.sh"
tov_wine_setup "$out"
# The prefix keeps settings.ini between runs: a phone remembered last time would not need pairing.
rm -rf "$WINEPREFIX/drive_c/users"/*/AppData/Local/Tovenmar

scenario="$out/scenario.txt"
echo "phone demo serialno=R5CT2090ABC manufacturer=samsung model=SM-S911B ip=192.168.1.20" \
    > "$scenario"
. "$root/scripts/demo-steps.sh"
open_demo "$scenario"
sleep 2
# The Settings page button, the sixth of the sidebar, until it shows as the current page (a
# first click may only bring the window forward).
for _ in $(seq 1 10); do
    xdotool mousemove --window "$panel" 124 426 click 1
    sleep 1
    shot settings
    convert "$out/panel.png" -crop 1x1+200+426 txt:- 2>/dev/null | grep -q '#2A2A30' && break
done
# The Wi-Fi section's "Pair" button: the second control box (after the phone dropdown) in a
# column that both cross left of their texts.
dropdown="$(find_box 890 '#2A2A2F' 100)"
[ -n "$dropdown" ] || fail "no phone dropdown on the Settings page"
pair="$(find_box 890 '#2A2A2F' $((dropdown + 40)))"
[ -n "$pair" ] || fail "no Pair button on the Settings page"
xdotool mousemove --window "$panel" 890 $((pair + 5)) click 1
xdotool mousemove --window "$panel" 124 700
step "pressed Pair"

text=""
for _ in $(seq 1 50); do
    sleep 0.5
    shot card
    text="$(zbarimg --quiet --raw -Sdisable -Sqrcode.enable "$out/panel.png" 2>/dev/null || true)"
    [ -n "$text" ] && break
done
[ -n "$text" ] || fail "no QR code could be read off the panel"
step "read the QR code off the panel: $text"
sim scan demo "$text" >/dev/null
wait_log 60 "wifi: .* connected at" || fail "the phone was not connected"
step "paired and connected: $(grep -o 'wifi: .* connected at .*' "$log" | head -1)"
sleep 2
shot connected
tov_press_start || fail "no Start stream button"
step "pressed Start stream"
wait_log 60 "link: live" || fail "the stream did not go live"
step "live over Wi-Fi: $(sim commands | grep -o -- '-s [^ ]* forward' | tail -1)"
sleep 3

sim wifi demo drop >/dev/null
step "the phone's Wi-Fi dropped"
sleep 3
shot away
step "meanwhile $(grep -o 'link: .*' "$log" | tail -1); the panel is in away.png"
sleep $((away > 3 ? away - 3 : 0))
sim wifi demo back new >/dev/null
step "the phone's Wi-Fi is back at port $(sim network demo | grep connectPort= | cut -d= -f2)"
back=$(date +%s.%N)
wait_log 60 "link: live" 2 || fail "the stream did not go live again"
step "live again without a click, $(since "$back") s after the phone's return"
shot live-again

# Closed while live, then started again: the remembered phone is connected again at start.
closing=$(date +%s.%N)
xdotool key --window "$panel" alt+F4
for _ in $(seq 1 300); do kill -0 "$tovenmar" 2>/dev/null || break; sleep 0.1; done
kill -0 "$tovenmar" 2>/dev/null && fail "Tovenmar did not close"
step "closed in $(since "$closing") s"
cp "$log" "$out/tovenmar-first.log"
log=""
tov_start_tovenmar
tov_wait_panel || fail "the panel did not appear again"
step "started again"
wait_log 30 "wifi: .* connected at" || fail "the remembered phone was not connected at start"
wait_log 30 "link: ready" || fail "the remembered phone was not chosen"
step "the remembered phone is back at start: $(grep -o 'wifi: .* connected at .*' "$log" | head -1)"
shot restarted
tov_end_programs
cp "$log" "$out/tovenmar.log"
grep -hE "wifi:|link:" "$out/tovenmar-first.log" "$log" | cut -c1-160
