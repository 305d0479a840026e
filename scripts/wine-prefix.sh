#!/bin/sh
# Makes the Wine prefix $WINEPREFIX for our programs on first use.
# A crash must end the program with a backtrace on its error output: Wine's default starts a
# debugger that waits for someone to close its dialog, so a crashed test would hang to its limit.
set -u
wine=wine
wineserver=wineserver
[ -x /usr/lib/wine/wineserver ] && wineserver=/usr/lib/wine/wineserver
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
prefix="${WINEPREFIX:?WINEPREFIX names the prefix}"
[ -f "$prefix/.tovenmar-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.tovenmar-ready" ]; then
        echo "Making the Wine prefix $prefix (once)…" >&2
        "$wine" wineboot -i >/dev/null 2>&1 || true
        "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >/dev/null 2>&1 || true
        "$wineserver" -w 2>/dev/null || true
        touch "$prefix/.tovenmar-ready"
    fi
) 9>"$prefix.lock"
