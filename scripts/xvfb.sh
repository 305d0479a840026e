# Sourced: makes sure $DISPLAY names a running X server, starting Xvfb when none is set.
# Sets TOV_XVFB_PID when it started one (stop it with `kill $TOV_XVFB_PID`).
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 130); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
            TOV_XVFB_PID=$!
            export DISPLAY=":$n"
            for _ in $(seq 1 50); do
                xdpyinfo >/dev/null 2>&1 && break
                sleep 0.1
            done
            break
        fi
    done
fi
