#!/usr/bin/env bash
# Installs the Debian packages a task needs, only when some are missing (idempotent).
#   scripts/deps.sh test   everything the test run needs
#   scripts/deps.sh demo   what building and running Tovenmar.exe under Wine needs
#   scripts/deps.sh release  what scripts/release.sh needs
#   scripts/deps.sh bench  the test set plus a window manager for the end-to-end benchmark
set -euo pipefail

common=(cmake ninja-build g++ ccache pkg-config g++-mingw-w64-x86-64-posix
        wine wine64 xvfb xauth x11-utils imagemagick xdotool
        gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
        gstreamer1.0-libav pulseaudio pulseaudio-utils
        libssl-dev libcurl4-openssl-dev)
testing=(googletest libbenchmark-dev clang libclang-rt-14-dev sox ffmpeg zbar-tools
         gstreamer1.0-plugins-base-apps mediainfo)
release=(cmake ninja-build g++ ccache pkg-config g++-mingw-w64-x86-64-posix libssl-dev
         libcurl4-openssl-dev zip jq)

case "${1:-test}" in
    demo) wanted=("${common[@]}" googletest) ;;
    test) wanted=("${common[@]}" "${testing[@]}") ;;
    bench) wanted=("${common[@]}" "${testing[@]}" openbox) ;;
    release) wanted=("${release[@]}") ;;
    *) echo "usage: $0 test|demo|release|bench" >&2; exit 2 ;;
esac

# Several builds may ask at once; apt takes one at a time.
exec 9>/tmp/tovenmar-deps.lock
flock 9

missing=()
for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
