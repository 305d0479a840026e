#!/usr/bin/env bash
# The main job: builds Tovenmar.exe and runs it under Wine. Uses your display when $DISPLAY is
# set, else a virtual one (Xvfb).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh" demo
TOV_TARGETS="${TOV_TARGETS:-all}" "$root/scripts/build.sh" win
. "$root/scripts/xvfb.sh"
export WINEPREFIX="${WINEPREFIX:-$root/build/demo-wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
echo "Starting Tovenmar.exe (display $DISPLAY, prefix $WINEPREFIX)"
"$wine" "$root/build/win/bin/Tovenmar.exe" || true
log=$(find "$WINEPREFIX/drive_c/users" -name tovenmar.log 2>/dev/null | head -1)
[ -n "$log" ] && { echo "--- $log"; cat "$log"; }
[ -n "${TOV_XVFB_PID:-}" ] && kill "$TOV_XVFB_PID" 2>/dev/null
exit 0
