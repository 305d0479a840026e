#!/bin/sh
# Makes the test clips kept beside this script (needs Debian's ffmpeg with libx264/libx265).
# Raw Annex-B elementary streams as a phone's real-time encoder sends them: no B-frames, a key
# frame every 30 frames, parameter sets in front of each key frame.
#   phone_h264_320x640.h264   H.264 High, 320x640, 30 fps, 3 s, moving test pattern
#   phone_h264_640x360.h264   H.264 High, 640x360 (a landscape shape), 30 fps, 2 s
#   phone_hevc_320x640.h265   HEVC Main, 320x640, 30 fps, 1 s
#   colour_<matrix>_<range>.h264  H.264, 320x640, 10 pictures of eight flat colour patches
#                             (160x160: 2 across, 4 down), converted from RGB with BT.601 or BT.709
#                             in the limited or full range and tagged so in the stream's VUI;
#                             colour_untagged.h264 the same in BT.601, limited, without tags
#   colour_<...>.txt          ffmpeg's decode of the first picture of that clip: the RGB of
#                             each patch's middle, one "x y r g b" line per patch
#   colour_bt709_full.h265    the same patches in HEVC, tagged BT.709 full range
# With `real-size DIR` it makes instead, into DIR, the clips of a phone's real size that the
# end-to-end benchmark plays (too big to keep here; they are made when the benchmark runs):
#   phone_h264_1080x2400_60.h264  portrait, H.264 High, 60 fps, 4 s, 12 Mbit/s, key frame every 60
#   phone_h264_1920x1080_60.h264  landscape, the same
# With `ladder DIR` it makes into DIR the ladder of clips the phone simulator's sender picks from
# as the stream options ask (its phone option ladder=DIR): H.264 at 1080x2400, 720x1600 and
# 540x1200, at 60 and 30 fps, at two to four bitrates each, 2 s each, named
# WIDTHxHEIGHT_FPS_KBPSk.h264. Clips of one size and frame rate share their parameter sets and
# the places of their key pictures (headers that do not depend on the content, one level, a key
# picture every second), so that a sender switches between them at a key picture without a new
# configuration. `small-ladder DIR` makes a small one for the tests (320x640 and 160x320).
set -e
common="-hide_banner -loglevel error -y"
ladder_clip() {  # DIR WIDTH HEIGHT FPS KBPS
    file="$1/${2}x${3}_${4}_${5}k.h264"
    [ -s "$file" ] && return 0
    ffmpeg $common -f lavfi -i "testsrc2=size=${2}x${3}:rate=$4:duration=2" -pix_fmt yuv420p \
      -c:v libx264 -profile:v high -level 5.1 -tune zerolatency -preset veryfast \
      -x264-params "keyint=$4:min-keyint=$4:scenecut=0:bframes=0:repeat-headers=1:stitchable=1" \
      -b:v "${5}k" -maxrate "$(( $5 * 4 / 3 ))k" -bufsize "$(( $5 / 3 ))k" -f h264 "$file.$$.tmp"
    mv "$file.$$.tmp" "$file"
}
if [ "${1:-}" = ladder ] || [ "${1:-}" = small-ladder ]; then
    out="${2:?usage: make-clips.sh ladder|small-ladder DIR}"
    mkdir -p "$out"
    if [ "$1" = small-ladder ]; then
        set -- "320 640 30 600" "320 640 30 300" "320 640 15 300" "160 320 30 200"
    else
        # Down to 3 Mbit/s at the phone's own size, as a phone's encoder goes, so that a cut of
        # the bitrate alone can bring the stream under a slow link.
        set -- "1080 2400 60 24000" "1080 2400 60 12000" "1080 2400 60 6000" "1080 2400 60 3000" \
               "1080 2400 30 12000" "1080 2400 30 6000" "1080 2400 30 3000" \
               "720 1600 60 10000" "720 1600 60 5000" "720 1600 60 2500" \
               "720 1600 30 5000" "720 1600 30 2500" \
               "540 1200 60 6000" "540 1200 60 3000" "540 1200 30 3000" "540 1200 30 1500"
    fi
    for rung in "$@"; do
        # shellcheck disable=SC2086
        ladder_clip "$out" $rung
    done
    exit 0
fi
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

# The colour patches: eight flat colours, the frame repeated ten times.
patches() {
    python3 - <<'PY'
import sys
colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255),
           (255, 255, 0), (0, 255, 255), (255, 0, 255), (128, 128, 128)]
w, h = 320, 640
rows = [b"".join(bytes(colours[r * 2 + x // 160]) for x in range(w)) for r in range(4)]
frame = b"".join(rows[y // 160] for y in range(h))
sys.stdout.buffer.write(frame * 10)
PY
}
for clip in bt601_limited bt601_full bt709_limited bt709_full untagged; do
    case $clip in
        bt601_*) matrix=bt601 tags="-colorspace smpte170m -color_primaries smpte170m -color_trc smpte170m" ;;
        bt709_*) matrix=bt709 tags="-colorspace bt709 -color_primaries bt709 -color_trc bt709" ;;
        *) matrix=bt601 tags="" ;;  # as players take an untagged picture below 720 lines
    esac
    case $clip in
        *_full) r=pc tags="$tags -color_range pc" ;;
        *_limited) r=tv tags="$tags -color_range tv" ;;
        *) r=tv ;;
    esac
    patches | ffmpeg $common -f rawvideo -pix_fmt rgb24 -s 320x640 -r 30 -i - \
      -vf "scale=out_color_matrix=$matrix:out_range=$r,format=yuv420p" $tags \
      -c:v libx264 -profile:v high -tune zerolatency -preset veryfast -qp 10 \
      -x264-params "keyint=10:min-keyint=10:scenecut=0:bframes=0:repeat-headers=1" \
      -f h264 "colour_$clip.h264"
    # ffmpeg converts by the stream's own tags (BT.601, limited range, without them).
    ffmpeg $common -i "colour_$clip.h264" -frames:v 1 -f rawvideo -pix_fmt rgb24 - | python3 -c '
import sys
d = sys.stdin.buffer.read()
for r in range(4):
    for c in range(2):
        x, y = c * 160 + 80, r * 160 + 80
        print(x, y, *d[(y * 320 + x) * 3:(y * 320 + x) * 3 + 3])
' > "colour_$clip.txt"
done
patches | ffmpeg $common -f rawvideo -pix_fmt rgb24 -s 320x640 -r 30 -i - \
  -vf "scale=out_color_matrix=bt709:out_range=pc,format=yuv420p" \
  -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range pc \
  -c:v libx265 -preset veryfast -x265-params "keyint=10:min-keyint=10:scenecut=0:bframes=0:repeat-headers=1:log-level=error" \
  -f hevc colour_bt709_full.h265
