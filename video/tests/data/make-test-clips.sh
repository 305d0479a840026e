#!/bin/sh
# Makes the video tests' own clips (needs python3 and Debian's ffmpeg with libx264).
#   blocks_h264_320x640.h264  30 pictures of 4 x 8 flat luma blocks (80 x 80) whose levels the
#                             tests know: 16 + (37 * (bx + 4 * by) + 11 * picture) mod 220.
#                             No colour description in the stream, so no decoder converts it.
#   phone_h264_1280x720.h264  a phone-like 720p stream (moving test pattern, 1 s, 30 fps) for
#                             the decoder's time per picture.
set -e
cd "$(dirname "$0")"
common="-hide_banner -loglevel error -y"
python3 - <<'PY' | ffmpeg $common -f rawvideo -pix_fmt yuv420p -s 320x640 -r 30 -i - \
  -c:v libx264 -profile:v high -tune zerolatency -preset veryfast -qp 8 \
  -x264-params "keyint=10:min-keyint=10:scenecut=0:bframes=0:repeat-headers=1" \
  -f h264 blocks_h264_320x640.h264
import sys
w, h = 320, 640
for k in range(30):
    luma = bytearray(w * h)
    for y in range(h):
        for x in range(w):
            luma[y * w + x] = 16 + (37 * (x // 80 + 4 * (y // 80)) + 11 * k) % 220
    sys.stdout.buffer.write(bytes(luma) + bytes([128]) * (w * h // 2))
PY
ffmpeg $common -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=1" -pix_fmt yuv420p \
  -c:v libx264 -profile:v high -tune zerolatency -preset veryfast \
  -x264-params "keyint=30:min-keyint=30:scenecut=0:bframes=0:repeat-headers=1" -b:v 2000k \
  -f h264 phone_h264_1280x720.h264
