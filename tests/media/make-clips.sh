#!/bin/sh
# Makes the test clips kept beside this script (needs Debian's ffmpeg with libx264/libx265).
# Raw Annex-B elementary streams as a phone's real-time encoder sends them: no B-frames, a key
# frame every 30 frames, parameter sets in front of each key frame.
#   phone_h264_320x640.h264   H.264 High, 320x640, 30 fps, 3 s, moving test pattern
#   phone_h264_640x360.h264   H.264 High, 640x360 (a landscape shape), 30 fps, 2 s
#   phone_hevc_320x640.h265   HEVC Main, 320x640, 30 fps, 1 s
set -e
cd "$(dirname "$0")"
common="-hide_banner -loglevel error -y"
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
