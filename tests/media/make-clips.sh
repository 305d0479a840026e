#!/bin/sh
# Makes the test clips kept beside this script (needs Debian's ffmpeg with libx264/libx265).
# Raw Annex-B elementary streams as a phone's real-time encoder sends them: no B-frames, a key
# frame every 30 frames, parameter sets in front of each key frame.
#   phone_h264_320x640.h264   H.264 High, 320x640, 30 fps, 3 s, moving test pattern
#   phone_h264_640x360.h264   H.264 High, 640x360 (a landscape shape), 30 fps, 2 s
#   phone_hevc_320x640.h265   HEVC Main, 320x640, 30 fps, 1 s
# With `real-size DIR` it makes instead, into DIR, the clips of a phone's real size that the
# end-to-end benchmark plays (too big to keep here; they are made when the benchmark runs):
#   phone_h264_1080x2400_60.h264  portrait, H.264 High, 60 fps, 4 s, 12 Mbit/s, key frame every 60
#   phone_h264_1920x1080_60.h264  landscape, the same
set -e
common="-hide_banner -loglevel error -y"
if [ "${1:-}" = real-size ]; then
    out="${2:?usage: make-clips.sh real-size DIR}"
    mkdir -p "$out"
    for size in 1080x2400 1920x1080; do
        file="$out/phone_h264_${size}_60.h264"
        [ -s "$file" ] && continue
        # Moving content over the whole picture, so every frame costs the encoder and decoder
        # what a scrolling phone screen does.
        ffmpeg $common -f lavfi -i "testsrc2=size=$size:rate=60:duration=4" -pix_fmt yuv420p \
          -c:v libx264 -profile:v high -tune zerolatency -preset veryfast \
          -x264-params "keyint=60:min-keyint=60:scenecut=0:bframes=0:repeat-headers=1" \
          -b:v 12M -maxrate 16M -bufsize 4M -f h264 "$file.tmp"
        mv "$file.tmp" "$file"
    done
    exit 0
fi
cd "$(dirname "$0")"
ffmpeg $common -f lavfi -i "testsrc2=size=320x640:rate=30:duration=3" -pix_fmt yuv420p \
  -c:v libx264 -profile:v high -tune zerolatency -preset veryfast \
  -x264-params "keyint=30:min-keyint=30:scenecut=0:bframes=0:repeat-headers=1" -b:v 600k \
  -f h264 phone_h264_320x640.h264
ffmpeg $common -f lavfi -i "testsrc2=size=640x360:rate=30:duration=2" -pix_fmt yuv420p \
  -c:v libx264 -profile:v high -tune zerolatency -preset veryfast \
  -x264-params "keyint=30:min-keyint=30:scenecut=0:bframes=0:repeat-headers=1" -b:v 600k \
  -f h264 phone_h264_640x360.h264
ffmpeg $common -f lavfi -i "testsrc2=size=320x640:rate=30:duration=1" -pix_fmt yuv420p \
  -c:v libx265 -preset veryfast -x265-params "keyint=30:min-keyint=30:scenecut=0:bframes=0:repeat-headers=1:log-level=error" \
  -b:v 400k -f hevc phone_hevc_320x640.h265
