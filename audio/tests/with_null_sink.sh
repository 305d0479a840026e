#!/bin/sh
# Runs a command beside a private PulseAudio server (unix socket only, no shared memory) whose
# default sink is a null sink, while parec records that sink's monitor as raw 48 kHz stereo
# 16-bit samples. The command finds the server in PULSE_SERVER and the recording in
# TOV_AUDIO_RECORDING. Everything is stopped and deleted afterwards.
set -u
for tool in pulseaudio pactl parec; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is missing (scripts/deps.sh test installs pulseaudio and pulseaudio-utils)" >&2
        exit 1
    fi
done
dir=$(mktemp -d "${TMPDIR:-/tmp}/tovenmar-sound.XXXXXX") || exit 1
server_pid=""
recorder_pid=""
cleanup() {
    [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT INT TERM

socket="$dir/native"
# The server and recorder keep their cookie and runtime files in the private folder.
HOME="$dir" XDG_RUNTIME_DIR="$dir" XDG_CONFIG_HOME="$dir" \
    pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --disable-shm=yes \
    --log-target=file:"$dir/server.log" \
    -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
    -L "module-null-sink sink_name=tovenmar_null rate=48000 channels=2" \
    </dev/null >/dev/null 2>&1 &
server_pid=$!
export PULSE_SERVER="unix:$socket"
ready=""
for _ in $(seq 1 100); do
    if HOME="$dir" pactl info >/dev/null 2>&1; then ready=1; break; fi
    sleep 0.1
done
if [ -z "$ready" ]; then
    echo "the sound server did not start:" >&2
    cat "$dir/server.log" >&2
    exit 1
fi
export TOV_AUDIO_RECORDING="$dir/monitor.raw"
HOME="$dir" parec --device=tovenmar_null.monitor --format=s16le --rate=48000 --channels=2 \
    --raw --latency-msec=10 >"$TOV_AUDIO_RECORDING" 2>"$dir/recorder.log" &
recorder_pid=$!

"$@"
rc=$?
[ $rc -ne 0 ] && [ -s "$dir/recorder.log" ] && cat "$dir/recorder.log" >&2
exit $rc
