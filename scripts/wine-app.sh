# Sourced by demo.sh and bench-e2e.sh: Tovenmar.exe under Wine (Xvfb when there is no display)
# with the phone simulator standing in for adb and the phone.
#   tov_wine_setup OUT           Wine and display settings; the prefix is OUT/wineprefix unless
#                                WINEPREFIX is set
#   tov_start_phonesim SCENARIO  starts the simulator, exports TOVENMAR_PHONESIM
#   tov_start_tovenmar           starts Tovenmar.exe ($TOV_EXE when set, with adb.exe beside
#                                it); its pid is in $tovenmar
#   tov_wait_panel               waits for the panel window; its X id is in $panel
#   tov_press_start              presses "Start stream" in the panel
#   tov_panel_page INDEX         shows a page of the panel (0 Stream … 5 Settings) and scrolls it
#                                to its end
#   tov_panel_buttons            the page's buttons, "X Y WIDTH" (centres, top to bottom)
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

# The page buttons sit under the sidebar's main button (Start stream or Stop, the first tall
# block in the column at x 30), at least 218 from the top, 38 apart.
tov_panel_page() {  # INDEX
    local bottom
    import -window "$panel" "$tov_out/panel-page.png" 2>/dev/null || return 1
    bottom="$(convert "$tov_out/panel-page.png" -crop 1x440+30+60 txt:- 2>/dev/null |
        awk -F'[,:]' '{ y = $2 + 60 } !/#1A1A1D/ { if (!n++) top = y; if (n >= 30) last = y; next }
            { if (last) { print last; exit } n = 0 }')"
    [ -n "$bottom" ] || return 1
    local y0=$((bottom + 17))
    [ "$y0" -lt 218 ] && y0=218
    xdotool mousemove --window "$panel" 124 $((y0 + 38 * $1 + 18)) click 1
    sleep 0.5
    # To the page's end: the wheel over the page, then the pointer aside (a hovered button has
    # another colour).
    xdotool mousemove --window "$panel" 600 300 click --repeat 40 --delay 10 5
    xdotool mousemove --window "$panel" 124 10
    sleep 0.5
}

# Buttons are filled with the colour of an off control (#2A2A2F) and 60 to 180 wide; a card's
# border has that colour too but is one pixel thick, and a card's top as wide as the card. The
# label breaks the fill's middle rows: rows of one left edge and width up to 20 apart are one
# button, and a button is at least 20 rows tall (a dropdown's row beside its text is not).
tov_panel_buttons() {
    import -window "$panel" "$tov_out/panel-buttons.png" 2>/dev/null || return 1
    convert "$tov_out/panel-buttons.png" -crop +248+0 +repage txt:- 2>/dev/null |
        awk -F'[,: ]+' 'NR == 1 { next }
            function run_end() { if (n >= 60 && n <= 180) print x0 + 248, row, n; n = 0 }
            $2 != row { run_end(); row = $2 }
            /#2A2A2F/ { if (n && $1 == x + 1) n++; else { run_end(); n = 1; x0 = $1 } x = $1; next }
            { run_end() }
            END { run_end() }' |
        awk 'function done(k) { if (last[k] - first[k] >= 20)
                 printf "%d %d %d\n", xs[k] + w[k] / 2, (first[k] + last[k]) / 2, w[k]; delete first[k] }
             { k = $1 " " $3; xs[k] = $1; w[k] = $3 }
             (k in first) && $2 - last[k] > 20 { done(k) }
             !(k in first) { first[k] = $2 }
             { last[k] = $2 }
             END { for (k in first) done(k) }' | sort -k2,2n -k1,1n
}
