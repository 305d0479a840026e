#!/usr/bin/env bash
# Two more Wi-Fi flows through the real panel: Tovenmar.exe under Wine with the simulator, each
# from a fresh start with nothing remembered.
#  code:  the phone shows "Pair device with pairing code". Settings → Pair opens the card, the
#         phone it lists is picked and a wrong code typed: adb's failure must show in the card and
#         nothing be remembered. Then the right code: paired, connected, remembered, listed.
#  cable: a phone on the USB cable is moved with "Use … over Wi-Fi", the stream started, and the
#         cable pulled while live: the stream must be live again, over Wi-Fi.
# Each step is printed with its time; pictures and logs go to build/demo-wifi-more/. Exit status
# 0 when every step happened. TOV_NO_BUILD=1 runs what is built without building.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/demo-wifi-more"
if [ -z "${TOV_NO_BUILD:-}" ]; then
    "$root/scripts/deps.sh" demo
    TOV_TARGETS="phonesim adb" "$root/scripts/build.sh" native
    TOV_TARGETS="Tovenmar adb" "$root/scripts/build.sh" win
fi
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.log

. "$root/scripts/wine-app.sh"
tov_wine_setup "$out"
. "$root/scripts/demo-steps.sh"
# Clicks, then moves the mouse off the page so that no box shows its hover colour.
click() {
    xdotool mousemove --window "$panel" "$1" "$2" click 1
    xdotool mousemove --window "$panel" 124 700
    sleep 0.5
}
# Clears the text field at $1,$2 and types $3 into it, as a user does.
type_into() {
    click "$1" "$2"
    # (xdotool's warning about the focus Xvfb reports is noise.)
    xdotool key --window "$panel" --delay 30 BackSpace BackSpace BackSpace BackSpace BackSpace \
        BackSpace BackSpace BackSpace 2>/dev/null
    xdotool type --window "$panel" --delay 60 "$3" 2>/dev/null
}
# The [wifiphones] section of settings.ini (Windows may write it as UTF-16).
remembered() {
    local ini
    ini="$(find "$WINEPREFIX/drive_c/users" -name settings.ini 2>/dev/null | head -1)"
    [ -n "$ini" ] || return 0
    tr -d '\0\r' < "$ini" | awk '/^\[/ { on = /^\[wifiphones\]/; next } on && /^key/'
}

# A fresh Tovenmar, nothing remembered, the simulator holding the phone $2, on the Settings page.
begin() {
    flow="$1"
    shot_prefix="$flow-"
    fail_log="tovenmar-$flow.log"
    tov_end_programs
    log=""
    rm -rf "$WINEPREFIX/drive_c/users"/*/AppData/Local/Tovenmar
    echo "$2" > "$out/scenario-$flow.txt"
    open_demo "$out/scenario-$flow.txt" "$flow"
    sleep 2
    # A first click may only bring the window forward.
    for _ in $(seq 1 10); do
        click 124 426
        shot settings
        convert "$out/panel.png" -crop 1x1+200+426 txt:- 2>/dev/null | grep -q '#2A2A30' && return
    done
    fail "the Settings page did not open"
}
# The Wi-Fi section's buttons, found as the control boxes below the phone dropdown in columns
# left of their texts: $pair ("Pair a phone over Wi-Fi") and $use, the wider one below it.
find_wifi_buttons() {
    local dropdown
    dropdown="$(find_box 890 "#2A2A2F" 100)"
    [ -n "$dropdown" ] || fail "no phone dropdown on the Settings page"
    pair="$(find_box 890 "#2A2A2F" $((dropdown + 40)))"
    [ -n "$pair" ] || fail "no Pair button on the Settings page"
    use="$(find_box 866 "#2A2A2F" $((pair + 40)))"
}

# --- Pairing by code, the wrong code first.
begin code "phone demo serialno=R5CT2090ABC manufacturer=samsung model=SM-S911B ip=192.168.1.20"
offered="$(sim pairing demo 482913)"
step "the phone shows pairing code 482913 at $offered"
find_wifi_buttons
click 890 $((pair + 5))
wait_log 20 "mdns services: .*$offered" || fail "adb did not see the phone's pairing service"
sleep 1
shot card
# The card's Close and Pair buttons share a column; the phone the card lists is the row whose
# middle is 60 px above the Pair button's top, the code field is left of that button.
close="$(find_box 975 "#2A2A2F" 100)"
[ -n "$close" ] || fail "no pairing card"
submit="$(find_box 975 "#2A2A2F" $((close + 40)))"
[ -n "$submit" ] || fail "no Pair button on the card"
click 600 $((submit - 61))
shot picked
step "pressed Pair on the Settings page and picked the phone the card lists"
type_into 812 $((submit + 16)) 111111
click 934 $((submit + 16))
wait_log 20 "wifi: adb pair $offered .*Wrong password" || fail "no pairing of the picked phone with the wrong code"
sleep 1
shot wrong-code
step "wrong code: $(grep -o 'wifi: adb pair .*' "$log" | head -1)"
# The failure is drawn in amber in the card, above the phones it lists.
amber=$(convert "$out/panel.png" -crop "440x$((submit - close))+540+$close" txt:- |
    grep -c '#E9A23B' || true)
[ "$amber" -gt 0 ] || fail "the card shows no failure (see code-wrong-code.png)"
[ -z "$(remembered)" ] || fail "a phone was remembered after a failed pairing: $(remembered)"
step "the card shows the failure ($amber amber pixels); settings.ini remembers no phone"
type_into 812 $((submit + 16)) 482913
click 934 $((submit + 16))
wait_log 30 "wifi: .* connected at" || fail "the phone was not connected"
step "right code: $(grep -o 'wifi: adb pair .*' "$log" | tail -1)"
wait_log 20 "phones: using .* over Wi-Fi" || fail "the phone is not listed over Wi-Fi"
step "connected and listed: $(grep -o 'phones: using .*' "$log" | tail -1)"
[ -n "$(remembered)" ] || fail "the paired phone was not remembered"
step "remembered: $(remembered | tr '\n' ' ')"
sleep 1
shot paired
cp "$log" "$out/tovenmar-code.log"

# --- A phone on the cable moved to Wi-Fi, the cable pulled while live.
begin cable "phone cab usb=R58M30CABLE ip=192.168.1.30"
wait_log 30 "phones: using .* over USB" || fail "the phone on the cable was not chosen"
sleep 1
shot settings
find_wifi_buttons
[ -n "$use" ] || fail "no Use over Wi-Fi button"
click 866 $((use + 5))
wait_log 30 "wifi: .* connected at" || fail "the phone was not connected over Wi-Fi"
step "pressed Use over Wi-Fi: $(grep -o 'wifi: adb .*tcpip.*' "$log" | head -1)"
step "$(grep -o 'wifi: .* connected at .*' "$log" | head -1)"
shot switched
tov_press_start || fail "no Start stream button"
wait_log 60 "link: live" || fail "the stream did not go live"
step "pressed Start stream; live on $(grep -o 'phones: using .*' "$log" | tail -1)"
sleep 3
sim unplug cab usb >/dev/null
unplugged=$(date +%s.%N)
step "the cable is pulled"
wait_log 30 "session: moving to 192.168.1.30:5555" || fail "the stream did not move to Wi-Fi"
wait_log 60 "link: live" 2 || fail "the stream did not go live over Wi-Fi"
step "live again $(since "$unplugged") s after the cable went: $(grep -o 'phones: using .*' "$log" | tail -1)"
sleep 5
last="$(grep -o 'link: .*' "$log" | tail -1)"
[[ "$last" == "link: live"* ]] || fail "5 s later the link is not live: $last"
step "5 s later still $last"
shot live-over-wifi
tov_end_programs
cp "$log" "$out/tovenmar-cable.log"
grep -hE "wifi:|link:|phones: using|session: moving" "$out/tovenmar-code.log" "$out/tovenmar-cable.log" | cut -c1-160
