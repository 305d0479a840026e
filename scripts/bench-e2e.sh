#!/usr/bin/env bash
# What a user feels, measured end to end: Tovenmar.exe under Wine and Xvfb with the phone
# simulator playing clips of a phone's real size. For each case it starts the program, presses
# "Start stream", streams for a fixed time, ends the program and reads its log and frames.csv.
# One table: each figure beside a baseline measured in the same run, and their ratio.
#   scripts/bench-e2e.sh [SECONDS]    seconds of streaming per case (default 15)
#   BENCH_CASES="portrait:60 landscape:60 portrait:120 landscape:120"   the cases (shape:fps);
#   shape `small` is the 320x640 test clip the demo plays
#   BENCH_BASELINE_EXE=PATH   each case runs twice, first with that Tovenmar.exe ("before"),
#                             then with this tree's ("after"): a before-and-after in one run
# Each case also measures the program at rest before Start (panel shown, then minimized), the
# CPU of every thread while idle and while streaming, and keys typed into the phone's window
# until they reach the simulated phone. A window manager (openbox) runs so that the panel can be
# minimized as a user would.
# Then the adaptive stream's cases (see adapt_case at the end): the simulated phone's encoder
# follows the options from a ladder of clips, and each case runs with settings.ini's [stream]
# adapt=1 and adapt=0 in turn, with a per-second table after Start:
#   BENCH_ADAPT_CASES="portrait link"   (none: skip) portrait 1080x2400 @60; link: a shaped
#   8 Mbit/s link with 40 Mbit/s chosen, freed after BENCH_LINK_FREE (20) s
#   BENCH_ADAPT_SECONDS (40), BENCH_LINK_SECONDS (80): seconds of streaming per case
#   BENCH_ADAPT_SETTINGS ("1 0"): the values of adapt each case runs with
#   BENCH_CASES=none runs only these.
# Before them, several phones at once (see phones_run): 320x640 @30 simulated phones, each its
# own phone, measured beside one phone in the same run:
#   BENCH_PHONES_CASES="two idle3"   (none: skip) two: two phones streamed at once (Settings →
#   Phones at once → Start all), per stream; idle3: three phones listed, nothing streaming
#   BENCH_CASES=none BENCH_ADAPT_CASES=none runs only these.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build/bench-e2e"
seconds="${1:-15}"
cases="${BENCH_CASES:-portrait:60 landscape:60 portrait:120 landscape:120}"
[ "$cases" = none ] && cases=""

"$root/scripts/deps.sh" bench >/dev/null
TOV_TARGETS="phonesim adb" "$root/scripts/build.sh" native >/dev/null || exit 1
TOV_TARGETS="Tovenmar adb video_decoder_bench" "$root/scripts/build.sh" win >/dev/null || exit 1
clips="$root/build/media"
sh "$root/tests/media/make-clips.sh" real-size "$clips" || exit 1

. "$root/scripts/wine-app.sh"
tov_wine_setup "$out"
openbox >/dev/null 2>&1 &
wm_pid=$!
trap 'kill $wm_pid 2>/dev/null; tov_cleanup' EXIT
bin="$root/build/win/bin"
standin="$root/tests/media/phone-app-stand-in.apk"
data="$(dirname "$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -name AppData | head -1)")/AppData/Local/Tovenmar"

now_ms() { date +%s%3N; }
# Log time stamps are the local time of day with milliseconds; the script's clock is the same.
log_ms() {  # first line of the log matching $1, as ms since the epoch (today)
    local stamp
    stamp="$(grep -m1 -- "$1" "$log" 2>/dev/null | cut -c1-12)"
    [ -n "$stamp" ] || return 1
    echo $(( $(date -d "$(date +%F) $stamp" +%s%3N) ))
}
cpu_ms() {  # user + system time of a process, ms
    awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$1/stat" 2>/dev/null
}
# Nearest-rank percentiles of a column of numbers on stdin: prints p50 p95 p99 mean count.
stats() {
    sort -n | awk '{ v[NR] = $1; s += $1 }
        function p(f) { r = int(f * (NR - 1) + 0.5) + 1; return v[r] }
        END { if (NR == 0) { print "- - - - 0"; exit }
              printf "%.1f %.1f %.1f %.1f %d\n", p(0.5), p(0.95), p(0.99), s / NR, NR }'
}
# A stream's pictures, PC side: arrival → present of each picture shown in frames.csv (rows
# FROM..TO when given, counted with the heading as 1): prints p50 p95 p99 mean count.
pc_side() {  # CSV [FROM TO]
    tail -n +"${2:-2}" "$1" 2>/dev/null | head -n $(( ${3:-1000000000} - ${2:-2} + 1 )) | tr -d '\r' |
        awk -F, '$5 > 0 { print ($5 - $3) / 1000 }' | stats
}
# The program's once-a-second "PREFIX: rx N, decoded N, shown N" lines (between two times, ms
# since the epoch, when given), summed: prints received decoded shown.
rx_shown() {  # LOG PREFIX [FROM_MS TO_MS]
    grep -a -- "$2: rx [0-9]*, decoded [0-9]*, shown [0-9]*" "$1" 2>/dev/null | tr -d ',\r' |
        awk -v m="$(date -d "$(date +%F)" +%s%3N)" -v a="${3:-0}" -v b="${4:-0}" -v n="$(wc -w <<<"$2")" '
            { split($1, c, /[:.]/); ms = m + ((c[1] * 60 + c[2]) * 60 + c[3]) * 1000 + c[4] }
            b == 0 || (ms >= a && ms <= b) { rx += $(n + 3); d += $(n + 5); s += $(n + 7) }
            END { print rx + 0, d + 0, s + 0 }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 == 0 || a == "-") print "-"; else printf "%.2f", a / b }'; }
rows=()
row() { rows+=("| $1 | $2 | $3 | $4 | $5 |"); }
threads=()
# CPU ms of each thread of a process: "TID NAME MS" lines.
thread_cpu() {
    local t
    for t in /proc/"$1"/task/*; do
        awk -v hz="$(getconf CLK_TCK)" -v tid="${t##*/}" -v name="$(tr ' ' '_' < "$t/comm" 2>/dev/null)" \
            '{ print tid, name, int(($14 + $15) * 1000 / hz) }' "$t/stat" 2>/dev/null
    done
}
# The busiest threads between two thread_cpu snapshots, per second of WALL_MS: "name ms/s" by
# thread name (Mesa's numbered rasterizer threads and Wine's unnamed ones summed, with how many),
# and the total.
thread_rates() {  # BEFORE_FILE AFTER_FILE WALL_MS
    awk -v w="$3" 'NR == FNR { b[$1] = $3; next }
        { d = $3 - b[$1]; t += d; n = $2; sub(/-[0-9]+$/, "", n); sum[n] += d; cnt[n]++ }
        END { for (n in sum) if (sum[n] > 0)
                  printf "%s%s %.0f\n", n, (cnt[n] > 1 ? "[" cnt[n] "]" : ""), sum[n] * 1000 / w
              printf "total %.0f\n", t * 1000 / w }' "$1" "$2" | sort -k2 -n -r | head -9 |
        awk '{ printf "%s%s %s", (NR > 1 ? "; " : ""), $1, $2 } END { print "" }'
}
adb_count() { "$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" commands 2>/dev/null | wc -l; }
# Idle for SECONDS: Tovenmar's CPU per second, its threads, and adb commands started per minute.
idle_phase() {  # LABEL SECONDS
    local c0 c1 a0 a1 w0 w1
    thread_cpu "$tovenmar" > "$out/threads-0"; c0=$(cpu_ms "$tovenmar"); a0=$(adb_count); w0=$(now_ms)
    sleep "$2"
    thread_cpu "$tovenmar" > "$out/threads-1"; c1=$(cpu_ms "$tovenmar"); a1=$(adb_count); w1=$(now_ms)
    idle_cpu=$(awk -v a="$c0" -v b="$c1" -v w=$(( w1 - w0 )) 'BEGIN { printf "%.0f", (b - a) * 1000 / w }')
    idle_adb=$(awk -v a="$a0" -v b="$a1" -v w=$(( w1 - w0 )) 'BEGIN { printf "%.1f", (b - a) * 60000 / w }')
    threads+=("| $name | $1 | $(thread_rates "$out/threads-0" "$out/threads-1" $(( w1 - w0 ))) |")
}
# Keys typed through the X server into the phone's window, each timed until the simulated phone's
# input helper has it: prints the median and the slowest, ms.
key_latency() {  # COUNT
    local video i n0 t0 t1 times=()
    video="$(xdotool search --onlyvisible --name '^Tovenmar .*Video' 2>/dev/null | head -1 || true)"
    [ -n "$video" ] || { echo "- -"; return; }
    for i in $(seq 1 "$1"); do
        n0=$("$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" events bench 2>/dev/null | grep -c '^key')
        # Typed as a user types: into the focused window, through the X server's input.
        xdotool windowactivate --sync "$video" 2>/dev/null
        t0=$(now_ms)
        xdotool key a
        for _ in $(seq 1 400); do
            [ "$("$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" events bench 2>/dev/null |
                grep -c '^key')" -gt "$n0" ] && break
        done
        t1=$(now_ms)
        times+=($(( t1 - t0 )))
        sleep 0.3
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)], v[NR] }'
}

echo "machine: $(nproc) cores, $(sed -nE 's/^model name\s*:\s*//p' /proc/cpuinfo | head -1)," \
    "load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC'), display $DISPLAY" \
    "$(xdpyinfo 2>/dev/null | awk '/dimensions/ { print $2 }')"

# Baselines that do not depend on the case: Wine starting a small program, one adb round trip.
t=$(now_ms); "$tov_wine" "$bin/adb.exe" version >/dev/null 2>&1; wine_start=$(( $(now_ms) - t ))
tov_start_phonesim "$root/tools/phonesim/scenarios/demo.txt"
t=$(now_ms); "$tov_wine" "$bin/adb.exe" -s R5CT2090ABC shell true >/dev/null 2>&1; adb_trip=$(( $(now_ms) - t ))
kill "${tov_pids[@]}" 2>/dev/null; tov_pids=()

clip_of() {  # shape -> "WIDTHxHEIGHT CLIPFILE"
    case "$1" in
        portrait) echo "1080x2400 $clips/phone_h264_1080x2400_60.h264" ;;
        landscape) echo "1920x1080 $clips/phone_h264_1920x1080_60.h264" ;;
        small) echo "320x640 $root/tests/media/phone_h264_320x640.h264" ;;
    esac
}
# Several phones at once (see phones_run below): "two" streams two 320x640 @30 phones beside one;
# "idle3" lists three phones, nothing streaming, beside one.
phones_cases="${BENCH_PHONES_CASES:-two idle3}"
[ "$phones_cases" = none ] && phones_cases=""
declare -A dec_first dec_pic dec_cpu
for shape in $({ for c in $cases; do echo "${c%%:*}"; done
                 [[ " $phones_cases " == *" two "* ]] && echo small; } | sort -u); do
    read -r size clip < <(clip_of "$shape")
    line="$("$tov_wine" "$bin/video_decoder_bench.exe" "$clip" \
        "${size%x*}" "${size#*x}" 2>/dev/null | grep '^decoder ' | tr -d '\r')"
    echo "decoder bench $size: ${line:-failed}"
    dec_first[$shape]="$(sed -nE 's/.*first_picture_ms=([0-9.]+).*/\1/p' <<<"$line")"
    dec_pic[$shape]="$(sed -nE 's/.*median_packet_ms=([0-9.]+).*/\1/p' <<<"$line")"
    dec_cpu[$shape]="$(sed -nE 's/.*cpu_per_picture_ms=([0-9.]+).*/\1/p' <<<"$line")"
done

runs=()
for c in $cases; do
    [ -n "${BENCH_BASELINE_EXE:-}" ] && runs+=("$c before")
    runs+=("$c ${BENCH_BASELINE_EXE:+after}")
done
for r in "${runs[@]}"; do
    read -r c variant <<<"$r"
    shape="${c%%:*}"
    fps="${c##*:}"
    read -r size clip < <(clip_of "$shape")
    name="$shape ${size} @$fps${variant:+, $variant}"
    case "$variant" in
        before) export TOV_EXE="$BENCH_BASELINE_EXE" ;;
        after) unset TOV_EXE ;;
    esac
    echo "== $name"
    scenario="$out/scenario-$shape-$fps.txt"
    echo "phone bench usb=BENCH0001 serialno=BENCH0001 manufacturer=Google model=Pixel" \
        "screen=$size refresh=$fps fps=$fps clip=$clip" \
        "apk=$standin" > "$scenario"
    rm -f "$data/tovenmar.log" "$data/frames.csv"
    log=""
    tov_start_phonesim "$scenario"
    t0=$(now_ms)
    tov_start_tovenmar
    tov_wait_panel || { echo "   the panel did not appear"; tov_end_programs; continue; }
    t_panel=$(now_ms)
    # A user presses Start once the panel shows the phone and its window has appeared (with
    # keyboard and mouse ready): wait for that, then a second more.
    for _ in $(seq 1 300); do
        tov_find_log && grep -q 'phone info:' "$log" && grep -q 'input: ready' "$log" && break
        sleep 0.1
    done
    t_phone=$(log_ms 'phone info:') || t_phone=""
    sleep 3
    # At rest: the panel shown with the phone ready, then minimized.
    idle_phase "idle, panel shown" 10
    idle_shown=$idle_cpu; adb_idle=$idle_adb
    xdotool windowminimize "$panel" 2>/dev/null; sleep 1
    idle_phase "idle, panel minimized" 10
    idle_min=$idle_cpu
    xdotool windowactivate "$panel" 2>/dev/null || xdotool windowmap "$panel"; sleep 1
    adb_before=$("$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" commands 2>/dev/null | wc -l)
    t_press=$(now_ms)
    tov_press_start || { echo "   no Start stream button"; }
    t_press_done=$(now_ms)
    for _ in $(seq 1 600); do
        tov_find_log && grep -q 'video: first picture shown' "$log" && break
        sleep 0.05
    done
    live=$(log_ms 'link: live') || { echo "   the stream did not go live"; cat "$log"; tov_end_programs; continue; }
    first=$(log_ms 'video: first picture shown') || first=""
    "$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" commands > "$out/adb-$shape-$fps.txt" 2>/dev/null
    adb_calls=$(( $(wc -l < "$out/adb-$shape-$fps.txt") - adb_before ))
    thread_cpu "$tovenmar" > "$out/threads-0"
    cpu0=$(cpu_ms "$tovenmar"); w0=$(now_ms)
    sleep "$seconds"
    cpu1=$(cpu_ms "$tovenmar"); w1=$(now_ms)
    thread_cpu "$tovenmar" > "$out/threads-1"
    threads+=("| $name | streaming | $(thread_rates "$out/threads-0" "$out/threads-1" $(( w1 - w0 ))) |")
    read -r key50 keymax < <(key_latency 10)
    rss=$(awk '/VmHWM/ { printf "%.0f", $2 / 1024 }' "/proc/$tovenmar/status" 2>/dev/null)
    keyframes=$("$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" streamevents bench \
        2>/dev/null | grep -c keyframe)
    tov_end_programs
    sleep 1

    csv="$data/frames.csv"
    interval=$(awk -v f="$fps" 'BEGIN { printf "%.1f", 1000 / f }')
    # Columns: pts captured arrived decoded shown bytes key dequeued copy draw (us).
    col() { tail -n +2 "$csv" | tr -d '\r' | awk -F, "$1"; }
    read -r pc50 pc95 pc99 pcmean pcn < <(pc_side "$csv")
    read -r ph50 ph95 ph99 phmean phn < <(col '$5 > 0 && $2 != 0 { print ($5 - $2) / 1000 }' | stats)
    read -r q50 _ _ qmean _ < <(col '$8 > 0 && $4 > 0 { print ($8 - $3) / 1000 }' | stats)
    read -r d50 _ _ dmean _ < <(col '$4 > 0 { print ($4 - $8) / 1000 }' | stats)
    read -r w50 _ _ wmean _ < <(col '$9 > 0 { print ($9 - $4) / 1000 }' | stats)
    read -r up50 _ _ upmean _ < <(col '$9 > 0 { print $10 / 1000 }' | stats)
    read -r dr50 _ _ drmean _ < <(col '$9 > 0 { print $11 / 1000 }' | stats)
    read -r sw50 _ _ swmean _ < <(col '$9 > 0 { print ($5 - $9 - $10 - $11) / 1000 }' | stats)
    # Spread of the gaps between arrivals against the gaps between the phone's captures.
    read -r capsd arrsd < <(col 'NR > 1 { dc = ($1 - pc) / 1000; da = ($3 - pa) / 1000
            sc += dc; scc += dc * dc; sa += da; saa += da * da; n++ } { pc = $1; pa = $3 }
        END { if (n < 2) { print "- -"; exit }
              printf "%.1f %.1f\n", sqrt(scc / n - (sc / n) ^ 2), sqrt(saa / n - (sa / n) ^ 2) }')
    read -r rx dec shown < <(rx_shown "$log" video)
    dropped=$(( rx - shown ))
    streamed=$(( w1 - w0 ))
    cpu=$(awk -v a="$cpu0" -v b="$cpu1" -v w="$streamed" 'BEGIN { printf "%.0f", (b - a) * 1000 / w }')
    rxps=$(awk -v r="$pcn" -v f="$fps" 'BEGIN { print f }')
    cpu_base=$(awk -v c="${dec_cpu[$shape]:-0}" -v f="$rxps" 'BEGIN { printf "%.0f", c * f }')
    dec_ms="${dec_pic[$shape]:-0}"

    row "$name" "process start → panel visible (ms)" "$(( t_panel - t0 ))" "Wine starts adb.exe version: $wine_start" "$(ratio $(( t_panel - t0 )) "$wine_start")"
    [ -n "$t_phone" ] && row "$name" "process start → phone shown in the panel (ms)" "$(( t_phone - t0 ))" "Wine starts adb.exe version: $wine_start" "$(ratio $(( t_phone - t0 )) "$wine_start")"
    row "$name" "Start stream pressed → link: live (ms); adb commands after the press" "$(( live - t_press_done )); $adb_calls" "one adb round trip: $adb_trip" "$(ratio $(( live - t_press_done )) "$adb_trip")"
    if [ -n "$first" ]; then
        row "$name" "live → first picture presented (ms)" "$(( first - live ))" "decoder opens and decodes the first key picture: ${dec_first[$shape]:-?}" "$(ratio $(( first - live )) "${dec_first[$shape]:-0}")"
        row "$name" "Start stream pressed → first picture (ms)" "$(( first - t_press_done ))" "1000 (the aim)" "$(ratio $(( first - t_press_done )) 1000)"
    fi
    row "$name" "PC side, arrival → present, p50 / p95 / p99 (ms)" "$pc50 / $pc95 / $pc99" "frame interval $interval; decoder per picture $dec_ms" "$(ratio "$pc50" "$interval") / $(ratio "$pc95" "$interval") / $(ratio "$pc99" "$interval") of the interval"
    row "$name" "PC side beyond the decoder's own time, p50 (ms)" "$(awk -v a="$pc50" -v b="$dec_ms" 'BEGIN { printf "%.1f", a - b }')" "half a frame: $(awk -v i="$interval" 'BEGIN { printf "%.1f", i / 2 }')" "$(ratio "$(awk -v a="$pc50" -v b="$dec_ms" 'BEGIN { print a - b }')" "$(awk -v i="$interval" 'BEGIN { print i / 2 }')")"
    row "$name" "phone capture → present, p50 / p95 / p99 (ms)" "$ph50 / $ph95 / $ph99" "frame interval $interval" "$(ratio "$ph50" "$interval") / $(ratio "$ph95" "$interval") / $(ratio "$ph99" "$interval")"
    # Both should tell the same: each shown picture timed from its own packet's capture.
    logtotal=$(grep -o 'total -\?[0-9]* ms' "$log" | awk '$2 >= 0 { s += $2; n++ }
        END { if (n) printf "%.1f", s / n; else print "-" }')
    row "$name" "phone capture → present, mean: the log's per-second \"total\" (mean of the seconds)" "$logtotal" "frames.csv, mean of the pictures shown: $phmean" "$(ratio "$logtotal" "$phmean")"
    row "$name" "where the PC time goes, p50 (mean) ms: queue wait · decode · wait for the present thread · upload · draw · swap" "$q50 ($qmean) · $d50 ($dmean) · $w50 ($wmean) · $up50 ($upmean) · $dr50 ($drmean) · $sw50 ($swmean)" "decoder per picture $dec_ms" "decode $(ratio "$d50" "$dec_ms")"
    row "$name" "spread of the gaps between arrivals (sd, ms)" "$arrsd" "spread of the gaps between the phone's captures: $capsd" "$(ratio "$arrsd" "$capsd")"
    row "$name" "pictures received · decoded · presented · dropped; key frames asked" "$rx · $dec · $shown · $dropped; $keyframes" "received $rx" "presented $(ratio "$shown" "$rx")"
    row "$name" "idle, panel shown: Tovenmar.exe CPU per second (ms); adb commands started per minute" "$idle_shown; $adb_idle" "100 ms; 0 (the aims)" "$(ratio "$idle_shown" 100)"
    row "$name" "idle, panel minimized: Tovenmar.exe CPU per second (ms)" "$idle_min" "20 (the aim)" "$(ratio "$idle_min" 20)"
    row "$name" "key typed into the phone's window → at the phone, median / slowest of 10 (ms)" "$key50 / $keymax" "one adb round trip: $adb_trip" "$(ratio "$key50" "$adb_trip")"
    row "$name" "Tovenmar.exe CPU per streamed second (ms); peak memory (MB)" "$cpu; $rss" "decoder bench CPU for $fps pictures: $cpu_base" "$(ratio "$cpu" "$cpu_base")"
    cp "$csv" "$out/frames-$shape-$fps${variant:+-$variant}.csv" 2>/dev/null
    cp "$log" "$out/tovenmar-$shape-$fps${variant:+-$variant}.log" 2>/dev/null
done

if [ -n "$cases" ]; then
    echo
    echo "| case | figure | value | baseline (same run) | ratio |"
    echo "|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
    echo
    echo "Tovenmar.exe's busiest threads, CPU ms per second (name[threads of that name]; Wine names only some):"
    echo
    echo "| case | phase | threads |"
    echo "|---|---|---|"
    printf '%s\n' "${threads[@]}"
fi

# --- Several phones at once: two streams beside one, three phones listed beside one ------------
# Each run lists COUNT simulated phones of 320x640 @30 playing the small clip, each its own phone
# with its own serial (BENCH0001…). At rest first (panel shown, then minimized), then, when it
# streams, Start stream (one phone) or Settings → Phones at once → Start all (several), and the
# streaming seconds measured per stream. The chosen phone's stream writes frames.csv and logs
# "video: rx …"; a phone streamed in a window of its own writes frames-KEY.csv and logs
# "video KEY: rx …" (KEY its key, for a USB phone its serial, made fit for a file name: see
# file_name_part).
declare -A ph_other ph_settle ph_where ph_rx ph_shown ph_pc50 ph_pc95 ph_beyond ph_cpu ph_adb ph_idle ph_idle_adb ph_idle_min ph_idle_min_adb
ph_streams=()
phones_rows=()
phone_row() { phones_rows+=("| $1 | $2 | $3 | $4 | $5 |"); }
# A phone's key as the program puts it in a file name and a log tag: characters a Windows name
# cannot hold and control characters made '_', spaces and dots at the ends dropped.
file_name_part() { printf '%s' "$1" | tr '<>:"/\\|?*\000-\037\177' '_' | sed -E 's/^[ .]+//; s/[ .]+$//'; }
# CPU time the whole machine has spent busy (user, nice, system, irq, softirq, steal), ms.
machine_busy_ms() {
    awk -v hz="$(getconf CLK_TCK)" '$1 == "cpu" { print int(($2 + $3 + $4 + $7 + $8 + $9) * 1000 / hz) }' /proc/stat
}
# The phones' video windows (every visible "Tovenmar …" but the panel): "X Y WIDTH HEIGHT".
phone_windows() {
    local w
    for w in $(xdotool search --onlyvisible --name '^Tovenmar .' 2>/dev/null); do
        xdotool getwindowgeometry --shell "$w" 2>/dev/null |
            awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }'
    done
}
# Succeeds when two of the rectangles on stdin overlap.
windows_overlap() {
    awk '{ x[NR] = $1; y[NR] = $2; r[NR] = $1 + $3; b[NR] = $2 + $4 }
        END { for (i = 1; i <= NR; i++) for (j = i + 1; j <= NR; j++)
                  if (x[i] < r[j] && x[j] < r[i] && y[i] < b[j] && y[j] < b[i]) exit 0
              exit 1 }'
}
# Fills ph_*[LABEL] (idle figures) and, streaming, ph_*[LABEL/STREAM] for each stream; the
# streams of the last streaming run are in ph_streams ("chosen" first).
phones_run() {  # LABEL COUNT STREAM(0|1)
    local label="$1" count="$2" stream="$3" i scenario attempt buttons start_all titles chosen
    local clip="$root/tests/media/phone_h264_320x640.h264"
    name="$label"
    echo "== $label"
    scenario="$out/scenario-phones-$count.txt"
    : > "$scenario"
    for i in $(seq 1 "$count"); do
        echo "phone bench$i usb=BENCH000$i serialno=BENCH000$i manufacturer=Google model=Pixel$i" \
            "screen=320x640 refresh=30 fps=30 clip=$clip apk=$standin" >> "$scenario"
    done
    # A user seeing these phones for the first time: no window places or settings kept.
    rm -f "$data/tovenmar.log" "$data"/frames*.csv "$data/settings.ini"
    log=""
    tov_start_phonesim "$scenario"
    tov_start_tovenmar
    tov_wait_panel || { echo "   the panel did not appear"; tov_end_programs; return 1; }
    for _ in $(seq 1 300); do
        tov_find_log && [ "$(grep -c 'phones: BENCH[0-9]* is ' "$log")" -ge "$count" ] &&
            grep -q 'input: ready' "$log" && break
        sleep 0.1
    done
    [ "$(grep -c 'phones: BENCH[0-9]* is ' "$log" 2>/dev/null)" -ge "$count" ] ||
        { echo "   not every phone was listed within 30 s"; tov_end_programs; return 1; }
    sleep 3
    idle_phase "idle, panel shown" 10
    ph_idle[$label]=$idle_cpu; ph_idle_adb[$label]=$idle_adb
    xdotool windowminimize "$panel" 2>/dev/null; sleep 1
    idle_phase "idle, panel minimized" 10
    ph_idle_min[$label]=$idle_cpu; ph_idle_min_adb[$label]=$idle_adb
    xdotool windowactivate "$panel" 2>/dev/null || xdotool windowmap "$panel"; sleep 1
    if [ "$stream" = 0 ]; then tov_end_programs; sleep 1; return 0; fi

    # Pressed again when the log shows that the press was not taken (a loaded machine).
    for attempt in 1 2 3; do
        xdotool mousemove 0 0 2>/dev/null
        xdotool windowactivate "$panel" 2>/dev/null || xdotool windowmap "$panel"
        sleep 1
        if [ "$count" = 1 ]; then
            tov_press_start || echo "   no Start stream button (panel $panel)"
        else
            # The Settings page's last section: Start all, then Show and Start for each phone.
            tov_panel_page 5 || echo "   the Settings page could not be shown (panel $panel)"
            # The panel takes the wheel in its own time: read until the buttons stay put and the
            # one above the phones' rows is as wide as Start all (100).
            local before="" found=""
            for _ in $(seq 1 30); do
                buttons="$(tov_panel_buttons)"
                start_all="$(tail -n $(( 2 * count + 1 )) <<<"$buttons" | head -1)"
                if [ "$buttons" = "$before" ] && [ "$(wc -l <<<"$buttons")" -gt $(( 2 * count )) ] &&
                    [ "$(cut -d' ' -f3 <<<"$start_all")" -ge 90 ] && [ "$(cut -d' ' -f3 <<<"$start_all")" -le 110 ]; then
                    found=1; break
                fi
                before=$buttons
                sleep 0.3
            done
            if [ -n "$found" ]; then
                xdotool mousemove --window "$panel" $(cut -d' ' -f1-2 <<<"$start_all") click 1
            else
                echo "   no Start all button on the Settings page (buttons found: $(tr '\n' ';' <<<"$buttons"); see $tov_out/panel-buttons.png)"
            fi
        fi
        for _ in $(seq 1 100); do
            [ "$(grep -c 'streaming wanted' "$log" 2>/dev/null)" -ge "$count" ] && break 2
            sleep 0.1
        done
    done
    # Every stream's first picture: up to a minute on a loaded machine.
    for _ in $(seq 1 1200); do
        [ "$(grep -c 'first picture shown' "$log" 2>/dev/null)" -ge "$count" ] && break
        sleep 0.05
    done
    if [ "$(grep -c 'first picture shown' "$log" 2>/dev/null)" -lt "$count" ]; then
        echo "   not every stream showed a picture within a minute; the log:"
        sed 's/^/     /' "$log"
        tov_end_programs; return 1
    fi
    # The phones' windows find their places (side by side when several) once they show: the
    # measuring starts when none has moved for 3 s and none overlaps another.
    local t_settle t_changed prev="" now still=0
    t_settle=$(now_ms); t_changed=$t_settle
    for _ in $(seq 1 60); do
        now="$(phone_windows | sort)"
        if [ "$now" = "$prev" ] && [ "$(grep -c . <<<"$now")" -ge "$count" ] &&
            ! windows_overlap <<<"$now"; then
            still=$(( still + 1 ))
            [ "$still" -ge 6 ] && break
        else
            still=0; t_changed=$(now_ms)
        fi
        prev=$now
        sleep 0.5
    done
    ph_where[$label]="$(paste -sd';' <<<"$now")"
    if [ "$still" -ge 6 ]; then
        # When they were seen last moving (or first in place, none overlapping).
        ph_settle[$label]=$(awk -v a="$t_settle" -v b="$t_changed" 'BEGIN { printf "%.1f", (b - a) / 1000 }')
        echo "   windows in place ${ph_settle[$label]} s after the last first picture: ${ph_where[$label]}"
    else
        ph_settle[$label]="not within 30 s"
        echo "   the windows did not settle within 30 s (x y width height: $(paste -sd';' <<<"$now")$(windows_overlap <<<"$now" && echo ', overlapping')); measured as they are"
    fi
    # The streams: the chosen phone's, then every other phone's own (by its key, the serial).
    chosen="$(sed -nE 's/.*phones: using .* \((BENCH[0-9]+)\).*/\1/p' "$log" | tail -1)"
    ph_streams=(chosen)
    for i in $(seq 1 "$count"); do
        [ "BENCH000$i" = "$chosen" ] || ph_streams+=("BENCH000$i")
    done
    local s w0 w1 cpu0 cpu1 a0 a1 m0 m1
    declare -A n0 begun csv_of prefix_of
    for s in "${ph_streams[@]}"; do
        if [ "$s" = chosen ]; then csv_of[$s]="$data/frames.csv"; prefix_of[$s]="video"
        else csv_of[$s]="$data/frames-$(file_name_part "$s").csv"; prefix_of[$s]="video $(file_name_part "$s")"; fi
        n0[$s]=$(wc -l 2>/dev/null < "${csv_of[$s]}" || echo 1)
        begun[$s]=$(sed -n 2p "${csv_of[$s]}" 2>/dev/null)
    done
    thread_cpu "$tovenmar" > "$out/threads-0"
    cpu0=$(cpu_ms "$tovenmar"); a0=$(adb_count); w0=$(now_ms); m0=$(machine_busy_ms)
    sleep "$seconds"
    cpu1=$(cpu_ms "$tovenmar"); a1=$(adb_count); w1=$(now_ms); m1=$(machine_busy_ms)
    thread_cpu "$tovenmar" > "$out/threads-1"
    # The machine's CPU besides Tovenmar.exe's: wineserver, the simulator and whatever else runs.
    ph_other[$label]=$(awk -v a="$m0" -v b="$m1" -v c="$cpu0" -v d="$cpu1" -v w=$(( w1 - w0 )) \
        'BEGIN { printf "%.0f", ((b - a) - (d - c)) * 1000 / w }')
    # Each stream's window, by its title (the chosen phone's is "Tovenmar — Video" alone).
    titles="$(xdotool search --onlyvisible --name '^Tovenmar .' 2>/dev/null |
        while read -r w; do xdotool getwindowname "$w"; done | sort | paste -sd';')"
    echo "   windows while streaming: $titles"
    threads+=("| $label | streaming | $(thread_rates "$out/threads-0" "$out/threads-1" $(( w1 - w0 ))) |")
    ph_cpu[$label]=$(awk -v a="$cpu0" -v b="$cpu1" -v w=$(( w1 - w0 )) 'BEGIN { printf "%.0f", (b - a) * 1000 / w }')
    ph_adb[$label]=$(( a1 - a0 ))
    "$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" commands > "$out/adb-phones-$count.txt" 2>/dev/null
    # The rows written by the last flush before the end of the window (the program flushes once
    # a second).
    local n1 rx dec shown p50 p95 _
    declare -A n1s
    for s in "${ph_streams[@]}"; do n1s[$s]=$(wc -l 2>/dev/null < "${csv_of[$s]}" || echo 1); done
    tov_end_programs
    sleep 1
    for s in "${ph_streams[@]}"; do
        n1=${n1s[$s]}
        # Started afresh within the window (a new configuration): the new file's rows.
        [ "$(sed -n 2p "${csv_of[$s]}" 2>/dev/null)" = "${begun[$s]}" ] || n0[$s]=1
        read -r rx dec shown < <(rx_shown "$log" "${prefix_of[$s]}" "$w0" "$w1")
        read -r p50 p95 _ < <(pc_side "${csv_of[$s]}" $(( n0[$s] + 1 )) "$n1")
        ph_rx[$label/$s]=$rx; ph_shown[$label/$s]=$shown
        ph_pc50[$label/$s]=$p50; ph_pc95[$label/$s]=$p95
        ph_beyond[$label/$s]=$(awk -v a="$p50" -v b="${dec_pic[small]:-0}" 'BEGIN { if (a == "-") print "-"; else printf "%.1f", a - b }')
        [ "$rx" -gt 0 ] || echo "   no \"${prefix_of[$s]}: rx\" lines in the log for stream $s"
        cp "${csv_of[$s]}" "$out/phones-$count-$(basename "${csv_of[$s]}")" 2>/dev/null
    done
    cp "$log" "$out/tovenmar-phones-$count.log" 2>/dev/null
    return 0
}

if [ -n "$phones_cases" ]; then
    threads=()
    if [[ " $phones_cases " == *" two "* ]]; then
        phones_run "one phone" 1 1 && phones_run "two phones" 2 1
        one="one phone/chosen"
        for s in "${ph_streams[@]}"; do
            c="two phones, 320x640 @30: $( [ "$s" = chosen ] && echo "the chosen phone's stream" || echo "$s's own window")"
            k="two phones/$s"
            [ -n "${ph_rx[$k]:-}" ] || continue
            phone_row "$c" "pictures received · shown over $seconds s" "${ph_rx[$k]} · ${ph_shown[$k]}" \
                "one phone: ${ph_rx[$one]:-?} · ${ph_shown[$one]:-?} (shown $(ratio "${ph_shown[$one]:-0}" "${ph_rx[$one]:-0}")); aim 0.95 shown" \
                "shown $(ratio "${ph_shown[$k]}" "${ph_rx[$k]}")"
            phone_row "$c" "PC side, arrival → present, p50 / p95 (ms)" "${ph_pc50[$k]} / ${ph_pc95[$k]}" \
                "one phone: ${ph_pc50[$one]:-?} / ${ph_pc95[$one]:-?}" \
                "$(ratio "${ph_pc50[$k]}" "${ph_pc50[$one]:-0}") / $(ratio "${ph_pc95[$k]}" "${ph_pc95[$one]:-0}")"
            phone_row "$c" "PC side beyond the decoder's own time, p50 (ms)" "${ph_beyond[$k]}" \
                "one phone: ${ph_beyond[$one]:-?} (decoder per picture ${dec_pic[small]:-?}; aim: within 1.20)" \
                "$(ratio "${ph_beyond[$k]}" "${ph_beyond[$one]:-0}")"
        done
        if [ -n "${ph_cpu[two phones]:-}" ]; then
            phone_row "two phones, 320x640 @30" "Tovenmar.exe CPU per streamed second (ms)" "${ph_cpu[two phones]}" \
                "one phone: ${ph_cpu[one phone]:-?}" "$(ratio "${ph_cpu[two phones]}" "${ph_cpu[one phone]:-0}")"
            phone_row "two phones, 320x640 @30" "the machine's CPU besides Tovenmar.exe while streaming, ms per second (wineserver, the simulator, anything else running)" \
                "${ph_other[two phones]}" "one phone: ${ph_other[one phone]:-?}" "$(ratio "${ph_other[two phones]}" "${ph_other[one phone]:-0}")"
            phone_row "two phones, 320x640 @30" "the phones' windows: in place after the last first picture (s); where (x y width height)" \
                "${ph_settle[two phones]}; ${ph_where[two phones]}" "one phone: ${ph_settle[one phone]:-?}; ${ph_where[one phone]:-?}" "-"
            phone_row "two phones, 320x640 @30" "adb commands started while streaming ($seconds s)" "${ph_adb[two phones]}" \
                "one phone: ${ph_adb[one phone]:-?}" "$(ratio "${ph_adb[two phones]}" "${ph_adb[one phone]:-0}")"
        fi
    fi
    if [[ " $phones_cases " == *" idle3 "* ]]; then
        # The one phone listed at rest: from the two-phone case's baseline run when it ran.
        [ -n "${ph_idle[one phone]:-}" ] || phones_run "one phone" 1 0
        phones_run "three phones listed" 3 0
        for l in "two phones" "three phones listed"; do
            [ -n "${ph_idle[$l]:-}" ] || continue
            phone_row "$l, nothing streaming" "idle, panel shown: Tovenmar.exe CPU per second (ms); adb commands started per minute" \
                "${ph_idle[$l]}; ${ph_idle_adb[$l]}" "one phone listed: ${ph_idle[one phone]:-?}; ${ph_idle_adb[one phone]:-?}" \
                "$(ratio "${ph_idle[$l]}" "${ph_idle[one phone]:-0}"); $(ratio "${ph_idle_adb[$l]}" "${ph_idle_adb[one phone]:-0}")"
            phone_row "$l, nothing streaming" "idle, panel minimized: Tovenmar.exe CPU per second (ms); adb commands started per minute" \
                "${ph_idle_min[$l]}; ${ph_idle_min_adb[$l]}" "one phone listed: ${ph_idle_min[one phone]:-?}; ${ph_idle_min_adb[one phone]:-?}" \
                "$(ratio "${ph_idle_min[$l]}" "${ph_idle_min[one phone]:-0}"); $(ratio "${ph_idle_min_adb[$l]}" "${ph_idle_min_adb[one phone]:-0}")"
        done
    fi
    echo
    echo "Several phones at once (320x640 @30 clips; the baseline is one phone in the same run):"
    echo
    echo "| case | figure | value | baseline (same run) | ratio |"
    echo "|---|---|---|---|---|"
    printf '%s\n' "${phones_rows[@]}"
    echo
    echo "| case | phase | threads |"
    echo "|---|---|---|"
    printf '%s\n' "${threads[@]}"
fi

# --- The adaptive stream: adapt on against adapt off in the same run ---------------------------
adapt_cases="${BENCH_ADAPT_CASES:-portrait link}"
[ "$adapt_cases" = none ] && exit 0
ladder="$clips/ladder"
sh "$root/tests/media/make-clips.sh" ladder "$ladder" || exit 1
ctl() { "$root/build/native/bin/phonesim" ctl --port "$TOVENMAR_PHONESIM" "$@" 2>/dev/null; }
day_ms() { echo $(( $(date -d "$(date +%F)" +%s%3N) )); }  # local midnight, ms since the epoch

# Sets [SECTION] KEY=VALUE in an INI file, keeping the rest; with KEY "-" drops the section.
ini_set() {  # FILE SECTION KEY VALUE
    touch "$1"
    # The program keeps settings.ini in UTF-16 once it has written it; it reads a plain file too.
    { if [ "$(head -c2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then iconv -f UTF-16 -t UTF-8 "$1"
      else cat "$1"; fi; } | tr -d '\r' | awk -v sec="[$2]" -v k="$3" -v v="$4" '
        /^\[/ { if (in_sec && !done && k != "-") { print k "=" v; done = 1 } in_sec = ($0 == sec) }
        in_sec && k == "-" { next }
        in_sec && index($0, k "=") == 1 { if (!done) print k "=" v; done = 1; next }
        { print }
        END { if (!done && k != "-") { if (!in_sec) print sec; print k "=" v } }' > "$1.tmp"
    mv "$1.tmp" "$1"
}

# Once a second until killed: "EPOCH_MS KEYFRAMES BITRATE PRESET OPTIONS_PACKETS QUEUED_BYTES
# WAIT_MS CPU_MS", and the threads' CPU in $out/ts-EPOCH_MS. The program starts frames.csv
# afresh at each new stream: the rows are gathered into $out/frames-all.csv as they come.
adapt_sampler() {
    local t keys level link n seen=0 first begun=""
    : > "$out/frames-all.csv"
    while :; do
        n=$(wc -l < "$data/frames.csv" 2>/dev/null || echo 0)
        first=$(sed -n 2p "$data/frames.csv" 2>/dev/null)
        # Started afresh (another first row): its heading was taken already.
        { [ -n "$begun" ] && [ "$first" != "$begun" ]; } || [ "$n" -lt "$seen" ] && seen=1
        begun=$first
        tail -n +$(( seen + 1 )) "$data/frames.csv" 2>/dev/null | head -n $(( n - seen )) |
            tr -d '\r' >> "$out/frames-all.csv"
        seen=$n
        t=$(now_ms)
        keys=$(ctl streamevents bench | grep -c keyframe)
        # The level the phone was last told: every options packet applied in turn.
        level=$(ctl options bench | awk -F= '/^--- / { n++ } NF >= 2 { v[$1] = $2 }
            END { printf "%s %s %d", (v["bitrate"] == "" ? "-" : v["bitrate"]),
                  (v["preset"] == "" ? "-" : v["preset"]), n }')
        link=$(ctl link bench | awk -F= '$1 == "queued" { q = $2 } $1 == "wait" { w = $2 }
            END { print q + 0, w + 0 }')
        thread_cpu "$tovenmar" > "$out/ts-$t"
        echo "$t $keys $level $link $(cpu_ms "$tovenmar")"
        sleep 0.9
    done
}

# Nearest-rank p50 and p95 of "SECOND VALUE" lines, by second: "SECOND N P50 P95".
by_second() {
    sort -k1,1n -k2,2n | awk '
        function flush() { if (n) printf "%d %d %.0f %.0f\n", s, n, v[int(0.5 * (n - 1) + 0.5) + 1], v[int(0.95 * (n - 1) + 0.5) + 1] }
        $1 != s { flush(); s = $1; n = 0 } { v[++n] = $2 } END { flush() }'
}

# One case: Tovenmar.exe streams from the ladder phone with adapt on or off; prints a table per
# second after the first picture and adds a summary row.
adapt_summary=()
adapt_threads=()
adapt_case() {  # NAME ADAPT SHAPED SECONDS
    local name="$1" adapt="$2" shaped="$3" secs="$4" scenario t_first t_free="" sampler csv n
    echo "== $name (adapt=$adapt)"
    scenario="$out/scenario-$name.txt"
    echo "phone bench usb=BENCH0001 serialno=BENCH0001 manufacturer=Google model=Pixel" \
        "screen=1080x2400 refresh=60 ladder=$ladder apk=$standin" > "$scenario"
    # A Wi-Fi that carries 8 Mbit/s, 10 ms one way.
    [ "$shaped" = 1 ] && echo "link bench rate=8 delay=10" >> "$scenario"
    rm -f "$data/tovenmar.log" "$data/frames.csv"
    mkdir -p "$data"
    # The user's choice (40 Mbit/s, the best preset), the switch, and no level remembered from
    # an earlier case.
    ini_set "$data/settings.ini" stream adapt "$adapt"
    ini_set "$data/settings.ini" stream bitrate 40000000
    # The phone's best preset by its own name, as a user picks it from the phone's list.
    ini_set "$data/settings.ini" stream preset 1080p60
    ini_set "$data/settings.ini" adapt - -
    log=""
    tov_start_phonesim "$scenario"
    tov_start_tovenmar
    tov_wait_panel || { echo "   the panel did not appear"; tov_end_programs; return; }
    for _ in $(seq 1 300); do
        tov_find_log && grep -q 'phone info:' "$log" && grep -q 'input: ready' "$log" && break
        sleep 0.1
    done
    sleep 2
    # Pressed again when the log shows that the press was not taken (a loaded machine).
    local attempt
    for attempt in 1 2 3; do
        # The panel in front, the pointer off the button (a hovered button has another colour).
        xdotool mousemove 0 0 2>/dev/null
        xdotool windowactivate "$panel" 2>/dev/null || xdotool windowmap "$panel"
        sleep 1
        tov_press_start || echo "   no Start stream button (panel $panel)"
        for _ in $(seq 1 100); do
            grep -q 'session: streaming wanted' "$log" 2>/dev/null && break 2
            sleep 0.1
        done
    done
    for _ in $(seq 1 1200); do  # up to a minute on a loaded machine
        tov_find_log && grep -q 'video: first picture shown' "$log" && break
        sleep 0.05
    done
    t_first=$(log_ms 'video: first picture shown') || { echo "   no picture"; tov_end_programs; return; }
    rm -f "$out"/ts-*
    adapt_sampler > "$out/adapt-samples-$name.txt" &
    sampler=$!
    thread_cpu "$tovenmar" > "$out/threads-0"; local w0; w0=$(now_ms)
    if [ "$shaped" = 1 ]; then
        sleep "${BENCH_LINK_FREE:-20}"
        ctl link bench free >/dev/null
        t_free=$(now_ms)
        sleep $(( secs - ${BENCH_LINK_FREE:-20} ))
    else
        sleep "$secs"
    fi
    thread_cpu "$tovenmar" > "$out/threads-1"
    adapt_threads+=("| $name | adapt=$adapt | $(thread_rates "$out/threads-0" "$out/threads-1" $(( $(now_ms) - w0 ))) |")
    kill "$sampler" 2>/dev/null; wait "$sampler" 2>/dev/null
    tov_end_programs
    sleep 1
    csv="$out/frames-$name.csv"
    # What the sampler gathered, and the rows the program wrote after its last look.
    n=$(wc -l < "$data/frames.csv" 2>/dev/null || echo 0)
    cp "$out/frames-all.csv" "$csv"
    [ -s "$csv" ] || head -1 "$data/frames.csv" 2>/dev/null | tr -d '\r' > "$csv"
    tail -n +2 "$data/frames.csv" 2>/dev/null | tr -d '\r' | grep -vxFf "$csv" >> "$csv"
    cp "$log" "$out/tovenmar-$name.log" 2>/dev/null
    adapt_table "$name" "$adapt" "$t_first" "$t_free" "$csv" > "$out/adapt-$name.md"
    cat "$out/adapt-$name.md"
}

# frames.csv by its header names: "SHOWN_SECOND ARRIVED CAPTURED SHOWN" (us) for each picture
# shown, second 0 holding the first.
shown_rows() {  # CSV
    tr -d '\r' < "$1" | awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) c[$i] = i; next }
        $c["shown_us"] > 0 { if (!t0) t0 = $c["shown_us"]
            printf "%d %s %s %s\n", ($c["shown_us"] - t0) / 1000000, $c["arrived_us"], $c["captured_us"], $c["shown_us"] }'
}

adapt_table() {  # NAME ADAPT T_FIRST_MS T_FREE_MS CSV
    local name="$1" adapt="$2" t_first="$3" t_free="$4" csv="$5" midnight
    midnight=$(day_ms)
    shown_rows "$csv" | awk '{ print $1, ($4 - $2) / 1000 }' | by_second > "$out/pc.txt"
    shown_rows "$csv" | awk '$3 != 0 { print $1, ($4 - $3) / 1000 }' | by_second > "$out/ph.txt"
    # Pictures received and shown: the program's own once-a-second "video: rx" lines.
    grep -a 'video: rx ' "$out/tovenmar-$name.log" 2>/dev/null | tr -d ',' |
        awk -v m="$midnight" -v t="$t_first" '{ split($1, c, /[:.]/)
            ms = m + ((c[1] * 60 + c[2]) * 60 + c[3]) * 1000 + c[4]
            if (ms >= t) print int((ms - t) / 1000), $4, $8 }' > "$out/rx.txt"
    # "adapt:" log lines by second.
    grep -a ' adapt:' "$out/tovenmar-$name.log" 2>/dev/null | cut -c1-12 | awk -F'[:.]' -v m="$midnight" -v t="$t_first" \
        '{ ms = m + (($1 * 60 + $2) * 60 + $3) * 1000 + $4; if (ms >= t) print int((ms - t) / 1000) }' |
        sort -n | uniq -c | awk '{ print $2, $1 }' > "$out/ad.txt"
    # Samples by second: resets, level, backlog, CPU and the busiest threads in that second.
    local prev="" prevkeys="" prevcpu="" line t keys rate preset npk q w cpu sec top
    : > "$out/smp.txt"
    while read -r line; do
        read -r t keys rate preset npk q w cpu <<<"$line"
        if [ -n "$prev" ]; then
            sec=$(( (t - t_first) / 1000 ))
            # The three busiest threads, without their ids.
            top=$(thread_rates "$out/ts-$prev" "$out/ts-$t" $(( t - prev )) |
                awk -F'; ' '{ for (i = 1; i <= NF && i <= 4; i++) if ($i !~ /^total/) printf " %s", $i }' |
                sed 's/\[[0-9]*\]//g')
            echo "$sec $(( keys - prevkeys )) $(awk -v r="$rate" 'BEGIN { printf (r == "-" ? "-" : "%.1f"), r / 1e6 }') $preset $q $w $(( (cpu - prevcpu) * 1000 / (t - prev) )) $top" >> "$out/smp.txt"
        fi
        prev=$t; prevkeys=$keys; prevcpu=$cpu
    done < "$out/adapt-samples-$name.txt"
    echo
    echo "### $name, adapt=$adapt: per second after the first picture${t_free:+ (link freed at $(( (t_free - t_first) / 1000 )) s)}"
    echo
    echo "| s | received · shown | key frames asked | arrival → present p50 / p95 ms | capture → present p50 / p95 ms | level at the phone (Mbit/s, preset) | link backlog KB, wait ms | adapt lines | CPU ms/s: total; busiest threads |"
    echo "|---|---|---|---|---|---|---|---|---|"
    # One row a second; where the sampler (slow under load) has no sample for a second, its
    # level and backlog carry over and its key frames and CPU show as "·".
    awk 'FILENAME ~ /rx.txt$/ { rx[$1] += $2; sh[$1] += $3; if ($1 > last) last = $1; next }
         FILENAME ~ /pc.txt$/ { pc[$1] = $3 " / " $4; next }
         FILENAME ~ /ph.txt$/ { ph[$1] = $3 " / " $4; next }
         FILENAME ~ /ad.txt$/ { ad[$1] = $2; next }
         { k[$1] = $2; lv[$1] = $3 ", " $4; bl[$1] = int($5 / 1000) ", " $6; top = ""
           for (i = 8; i <= NF; i++) top = top " " $i
           cpu[$1] = $7 ";" top; if ($1 > last) last = $1 }
         END { level = "-"; backlog = "-"
           for (s = 0; s <= last; s++) {
             if (s in lv) { level = lv[s]; backlog = bl[s] }
             printf "| %d | %d · %d | %s | %s | %s | %s | %s | %d | %s |\n", s, rx[s], sh[s],
                 (s in k ? k[s] : "·"), (s in pc ? pc[s] : "-"), (s in ph ? ph[s] : "-"), level,
                 backlog, ad[s], (s in cpu ? cpu[s] : "·") } }' \
        "$out/rx.txt" "$out/pc.txt" "$out/ph.txt" "$out/ad.txt" "$out/smp.txt"
    # The summary row: from 10 s on (portrait) or from 5 s on while the link is slow, and how long
    # after the link was freed the phone was told the user's bitrate again.
    local from=10 to=100000 back="-"
    if [ -n "$t_free" ]; then
        from=5; to=$(( (t_free - t_first) / 1000 ))
        back=$(awk -v f="$(( (t_free - t_first) / 1000 ))" '$1 >= f && $3 == "40.0" { print $1 - f; exit }' "$out/smp.txt")
    fi
    local rxn shn resn p50 p95 changes
    rxn=$(awk -v a="$from" -v b="$to" '$1 >= a && $1 < b { n += $2 } END { print n + 0 }' "$out/rx.txt")
    shn=$(awk -v a="$from" -v b="$to" '$1 >= a && $1 < b { n += $3 } END { print n + 0 }' "$out/rx.txt")
    resn=$(awk -v a="$from" -v b="$to" '$1 >= a && $1 < b { n += $2 } END { print n + 0 }' "$out/smp.txt")
    read -r p50 p95 < <(shown_rows "$csv" | awk -v a="$from" -v b="$to" '$1 >= a && $1 < b && $3 != 0 { print ($4 - $3) / 1000 }' |
        stats | awk '{ print $1, $2 }')
    changes=$(awk '{ l = $3 " " $4 } NR > 1 && l != pl { n++ } { pl = l } END { print n + 0 }' "$out/smp.txt")
    adapt_summary+=("| $name | $adapt | $from–$( [ "$to" = 100000 ] && echo end || echo "$to") s | $rxn · $shn ($(ratio "$shn" "$rxn")) | $resn | $p50 / $p95 | $changes | ${back:-not within the run} |")
}

for a in $adapt_cases; do
    for on in ${BENCH_ADAPT_SETTINGS:-1 0}; do
        case "$a" in
            portrait) adapt_case "portrait-adapt$on" "$on" 0 "${BENCH_ADAPT_SECONDS:-40}" ;;
            link) adapt_case "link-adapt$on" "$on" 1 "${BENCH_LINK_SECONDS:-80}" ;;
        esac
    done
done
echo
echo "Adaptive stream, adapt on against off (pictures from 10 s after the first; the link case"
echo "from 5 s until the link was freed):"
echo
echo "| case | adapt | window | received · shown | key frames asked | capture → present p50 / p95 ms | level changes at the phone | freed → user's bitrate again (s) |"
echo "|---|---|---|---|---|---|---|---|"
printf '%s\n' "${adapt_summary[@]}"
echo
echo "| case | adapt | Tovenmar.exe's busiest threads while streaming, CPU ms/s |"
echo "|---|---|---|"
printf '%s\n' "${adapt_threads[@]}"
