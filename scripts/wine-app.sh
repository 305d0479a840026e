# Sourced by demo.sh and bench-e2e.sh: Tovenmar.exe under Wine (Xvfb when there is no display)
# with the phone simulator standing in for adb and the phone.
#   tov_wine_setup OUT           Wine and display settings; the prefix is OUT/wineprefix unless
#                                WINEPREFIX is set
#   tov_start_phonesim SCENARIO  starts the simulator, exports TOVENMAR_PHONESIM
#   tov_start_tovenmar           starts Tovenmar.exe ($TOV_EXE when set, with adb.exe beside
#                                it); its pid is in $tovenmar
#   tov_wait_panel               waits for the panel window; its X id is in $panel
#   tov_press_start              presses "Start stream" in the panel
#   tov_find_log                 finds tovenmar.log; its path is in $log
#   tov_end_programs             ends the programs started here (the simulator, Tovenmar, Wine)
#   tov_cleanup                  ends everything started here, Xvfb too (set as the EXIT trap)
tov_pids=()
tovenmar=""
panel=""
log=""

tov_wine_setup() {
    tov_out="$1"
    mkdir -p "$tov_out"
    . "$root/scripts/xvfb.sh"
    export WINEPREFIX="${WINEPREFIX:-$tov_out/wineprefix}"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    tov_wine=wine
    [ -x /usr/lib/wine/wine64 ] && tov_wine=/usr/lib/wine/wine64
    # A run that was cut short can leave its Wine running in the prefix, tied to a display that
    # is gone: the next Tovenmar.exe would then never show a window.
    wineserver -k 2>/dev/null || true
    "$root/scripts/wine-prefix.sh"
    trap tov_cleanup EXIT
}

tov_end_programs() {
    for pid in "${tov_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    tov_pids=()
    wineserver -k 2>/dev/null || true
}

tov_cleanup() {
    tov_end_programs
    [ -n "${TOV_XVFB_PID:-}" ] && kill "$TOV_XVFB_PID" 2>/dev/null || true
}

tov_start_phonesim() {
    rm -f "$tov_out/phonesim.port"
    "$root/build/native/bin/phonesim" serve --port-file "$tov_out/phonesim.port" \
        --scenario "$1" > "$tov_out/phonesim.log" 2>&1 &
    tov_pids+=($!)
    for _ in $(seq 1 100); do [ -s "$tov_out/phonesim.port" ] && break; sleep 0.1; done
    export TOVENMAR_PHONESIM="$(cat "$tov_out/phonesim.port")"
}

tov_start_tovenmar() {
    "$tov_wine" "${TOV_EXE:-$root/build/win/bin/Tovenmar.exe}" > "$tov_out/wine.log" 2>&1 &
    tovenmar=$!
    tov_pids+=($tovenmar)
}

tov_find_log() {
    [ -n "$log" ] || log="$(find "$WINEPREFIX/drive_c/users" -name tovenmar.log 2>/dev/null | head -1)"
    [ -n "$log" ]
}

tov_window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true; }

# Polls often: the benchmark times the panel's appearance with it.
tov_wait_panel() {
    panel=""
    for _ in $(seq 1 1200); do
        panel="$(tov_window_id Tovenmar)"
        [ -n "$panel" ] && return 0
        kill -0 "$tovenmar" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# "Start stream" is the filled button below the status in the sidebar: found by its colour.
tov_press_start() {
    local y=""
    # The phone's window stays on top and may have opened over the button: moved to the
    # screen's right edge, as a user would drag it aside.
    local video screen_w
    video="$(xdotool search --onlyvisible --name '^Tovenmar .*Video' 2>/dev/null | head -1 || true)"
    if [ -n "$video" ]; then
        screen_w="$(xdotool getdisplaygeometry | cut -d' ' -f1)"
        eval "$(xdotool getwindowgeometry --shell "$video")"
        xdotool windowmove "$video" $((screen_w - WIDTH)) 0
        sleep 0.3
    fi
    for _ in $(seq 1 100); do
        if import -window "$panel" "$tov_out/panel-before.png" 2>/dev/null; then
            y="$(convert "$tov_out/panel-before.png" -crop 1x400+124+100 txt:- 2>/dev/null |
                awk -F'[,:]' '/#3D7EF0/ { print $2 + 100; exit }')"
        fi
        [ -n "$y" ] && break
        sleep 0.3
    done
    [ -n "$y" ] || return 1
    xdotool mousemove --window "$panel" 124 $((y + 10)) click 1
}
