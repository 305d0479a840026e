#!/usr/bin/env bash
# A recording made by hand through the real program: Tovenmar.exe under Wine with the simulator's
# phone, whose sound is a quiet tone with a loud beep at the time stamp of each key picture.
# Sound is turned off in the panel, then Record is turned on there. 4 s in, the phone's screen goes still (no pictures) for 10 s; 5 s into that,
# Sound is turned on in the panel; 20 s in, Record is turned off. The file is then read by
# three readers that are not ours (ffprobe, GStreamer's discoverer, mediainfo): both tracks and
# the length; ffmpeg seeks to 3 s; and each beep heard in the file must start within one
# picture's time (33 ms) of a key picture. Steps, readings and the log go to build/demo-record/.
# Exit status 0 when every check held.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/demo-record"
"$root/scripts/deps.sh" test  # the readers come with the test set
TOV_TARGETS="phonesim adb" "$root/scripts/build.sh" native
TOV_TARGETS="Tovenmar adb" "$root/scripts/build.sh" win
mkdir -p "$out"
rm -f "$out"/*.png "$out"/*.mp4 "$out"/*.txt

. "$root/scripts/wine-app.sh"
tov_wine_setup "$out"
# The prefix keeps the settings and recordings of earlier runs: this one starts afresh.
rm -rf "$WINEPREFIX/drive_c/users"/*/Videos/Tovenmar "$WINEPREFIX/drive_c/users"/*/AppData/Local/Tovenmar

scenario="$out/scenario.txt"
echo "phone demo usb=R5CT2090ABC serialno=R5CT2090ABC manufacturer=samsung model=SM-S911B beeps=1" \
    > "$scenario"
. "$root/scripts/demo-steps.sh"
open_demo "$scenario"
sleep 2
tov_press_start || fail "no Start stream button"
wait_log 120 "link: live" || fail "the stream did not go live"
step "live"
sleep 3

# The Stream page's toggles sit in one column: Video, Audio, and at its foot Record. The panel
# goes to the screen's left edge so that the phone's window, at the right edge, leaves them in
# sight, and the page is scrolled to its foot.
eval "$(xdotool getwindowgeometry --shell "$panel")"
xdotool windowmove "$panel" 0 "$Y"
xdotool mousemove --window "$panel" 600 500
for _ in $(seq 1 15); do xdotool click 5; sleep 0.1; done
sleep 1
shot before
video_toggle="$(find_box 952 '#3D7EF0' 60 10)"
[ -n "$video_toggle" ] || fail "no Video toggle on the Stream page"
audio_toggle="$(find_box 952 '#3D7EF0' $((video_toggle + 20)) 10)"
[ -n "$audio_toggle" ] || fail "no Audio toggle on the Stream page"
# Record is off: its knob, light grey, is at the left of the track.
record_toggle="$(find_box 952 '#A2A2A9' $((audio_toggle + 200)) 4)"
[ -n "$record_toggle" ] || fail "no Record toggle on the Stream page"
# A click on a window that is not in front may only bring it forward. The pointer then leaves
# the toggle, which would otherwise show its hover colour.
click_panel() {
    xdotool windowraise "$panel" windowfocus --sync "$panel" sleep 0.3 \
        mousemove --window "$panel" 960 "$1" click 1 sleep 0.2 mousemove --window "$panel" 600 740
}
# Clicked until the toggle shows the other state.
press_audio() {
    local want="$1"
    for _ in $(seq 1 5); do
        click_panel $((audio_toggle + 8))
        sleep 1
        shot audio
        if [ "$(find_box 952 '#3D7EF0' $((audio_toggle - 2)) 10)" = "$audio_toggle" ]; then
            [ "$want" = on ] && return 0
        else
            [ "$want" = off ] && return 0
        fi
    done
    fail "the Audio toggle did not turn $want"
}
# Clicked until the log tells the recording started or ended.
press_record() {
    local count
    count="$(grep -c "$1" "$log" || true)"
    for _ in $(seq 1 5); do
        click_panel $((record_toggle + 2))
        wait_log 5 "$1" $((count + 1)) && return 0
    done
    fail "Record did not do what was asked: no \"$1\" in the log"
}
press_audio off
step "Sound turned off"

press_record "record: writing"
began=$(date +%s.%N)
file="$(grep -o 'record: writing .* (' "$log" | tail -1 | sed -e 's/^record: writing //' -e 's/ ($//')"
step "recording $file"
at() { sleep "$(awk -v a="$(date +%s.%N)" -v b="$began" -v t="$1" 'BEGIN { d = b + t - a; print (d > 0 ? d : 0) }')"; }

at 4
sim stream demo still >/dev/null
step "the phone's screen is still"
at 9
press_audio on
sound_on_by="$(since "$began")"
step "Sound turned on"
at 14
sim stream demo moving >/dev/null
step "the phone's screen moves again"
at 20
press_record "record: saved"
step "$(grep -o 'record: saved .*' "$log" | tail -1)"
shot after
tov_end_programs
cp "$log" "$out/tovenmar.log"

unix="$(echo "$file" | sed -e 's|^C:|'"$WINEPREFIX"'/drive_c|' -e 's|\\|/|g')"
cp "$unix" "$out/recording.mp4" || fail "no file at $unix"
mp4="$out/recording.mp4"
ok=1
check() { if eval "$2"; then step "ok: $1"; else step "NOT OK: $1"; ok=0; fi; }

ffprobe -v error -show_entries format=duration:stream=codec_type,duration -of default=nw=1 "$mp4" \
    > "$out/ffprobe.txt" 2>&1 || true
gst-discoverer-1.0 "$mp4" > "$out/discoverer.txt" 2>&1 || true
mediainfo "$mp4" > "$out/mediainfo.txt" 2>&1 || true
length="$(grep -m1 '^duration=' "$out/ffprobe.txt" | cut -d= -f2)"
step "ffprobe: $(tr '\n' ' ' < "$out/ffprobe.txt")"
step "discoverer: $(grep -E 'Duration|video|audio' "$out/discoverer.txt" | sed 's/^ *//' | tr '\n' ' ')"
step "mediainfo: $(grep -E '^(Duration|Format) ' "$out/mediainfo.txt" | tr -s ' ' | tr '\n' ' ')"
check "ffprobe sees a video and a sound track" \
    '[ "$(grep -c "codec_type=video\|codec_type=audio" "$out/ffprobe.txt")" = 2 ]'
check "the length is the 20 s recorded (ffprobe: $length s)" \
    'awk -v d="$length" "BEGIN { exit !(d > 19 && d < 21.5) }"'
check "the discoverer reads both tracks and a length" \
    'grep -q "video" "$out/discoverer.txt" && grep -q "audio" "$out/discoverer.txt" && grep -q "Duration: 0:00:[12]" "$out/discoverer.txt"'
check "mediainfo reads both tracks and a length" \
    'grep -q "^Video" "$out/mediainfo.txt" && grep -q "^Audio" "$out/mediainfo.txt" && grep -q "^Duration .*: 2[01] s\|^Duration .*: 19 s" "$out/mediainfo.txt"'
ffmpeg -v error -y -ss 3 -i "$mp4" -frames:v 1 "$out/at-3s.png" || true
check "ffmpeg gives the picture at 3 s" '[ -s "$out/at-3s.png" ]'

# Pictures: time, and whether a key picture. A still screen is one picture lasting until the next.
ffprobe -v error -select_streams v -show_entries packet=pts_time,flags -of csv=p=0 "$mp4" |
    awk -F, '{ print $1, ($2 ~ /K/) ? 1 : 0 }' > "$out/pictures.txt"
gap="$(awk 'NR > 1 && $1 - last > max { max = $1 - last; at = last } { last = $1 } END { printf "%.2f s from %.2f s", max, at }' "$out/pictures.txt")"
step "longest time between two pictures: $gap"
check "the still screen's picture lasts until the next (mediainfo: pictures $(mediainfo --Inform='Video;%Duration%' "$mp4") ms of $(mediainfo --Inform='General;%Duration%' "$mp4") ms)" \
    '[ $(( $(mediainfo --Inform="General;%Duration%" "$mp4") - $(mediainfo --Inform="Video;%Duration%" "$mp4") )) -lt 34 ]'
# Sound: silent while off, the quiet tone once on, loud beeps at the key pictures.
ffmpeg -v info -i "$mp4" -map 0:a -af "silencedetect=n=-24dB:d=0.5" -f null - 2> "$out/beeps.txt" || true
# (The file's end closes the last quiet stretch too: not a beep.)
grep -o 'silence_end: [0-9.]*' "$out/beeps.txt" | awk -v end="$length" '$2 < end - 0.1 { print $2 }' \
    > "$out/beep-times.txt"
sound_on="$(ffmpeg -v info -i "$mp4" -map 0:a -af "silencedetect=n=-70dB:d=1" -f null - 2>&1 |
    grep -o 'silence_end: [0-9.]*' | head -1 | awk '{ print $2 }')"
step "sound heard from ${sound_on:-never} s (Sound was turned on 9 to $sound_on_by s after Record); beeps at $(tr '\n' ' ' < "$out/beep-times.txt")"
# The file starts at the first key picture after Record, up to a second later.
check "no sound while Sound was off, the tone from when it was turned on" \
    'awk -v s="${sound_on:-0}" -v by="$sound_on_by" "BEGIN { exit !(s > 8 && s < by + 0.5) }"'
worst="$(awk 'NR == FNR { if ($2 == 1) keys[++n] = $1; next }
    { best = 99; for (i = 1; i <= n; i++) { d = $1 - keys[i]; if (d < 0) d = -d; if (d < best) best = d }
      if (best > worst) worst = best; count++ }
    END { printf "%d %.3f", count, worst }' "$out/pictures.txt" "$out/beep-times.txt")"
step "beeps heard: ${worst% *}, furthest from its key picture: ${worst#* } s"
check "every beep starts within one picture's time of a key picture" \
    'awk -v c="${worst% *}" -v w="${worst#* }" "BEGIN { exit !(c >= 4 && w <= 0.034) }"'
[ "$ok" = 1 ] || exit 1
step "the recording holds"
