#!/bin/sh
# Draws tovenmar.ico (16 to 256 pixels) with ImageMagick: a teal tile with a phone whose screen
# streams to the right. Run again after changing the drawing; the .ico is kept in the tree.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
convert -size 256x256 xc:none \
  -fill '#0f766e' -draw 'roundrectangle 8,8 247,247 52,52' \
  -fill '#14b8a6' -draw 'roundrectangle 8,8 247,200 52,52' \
  -fill '#0f766e' -draw 'rectangle 8,150 247,200' \
  -fill white -draw 'roundrectangle 58,40 142,216 16,16' \
  -fill '#134e4a' -draw 'roundrectangle 66,58 134,192 6,6' \
  -fill white -draw 'circle 100,204 100,199' \
  -fill '#5eead4' -draw 'polygon 82,96 82,154 124,125' \
  -fill white -draw 'polygon 162,92 214,125 162,158' \
  -fill white -draw 'rectangle 150,116 166,134' \
  "$tmp/icon256.png"
for s in 16 24 32 48 64 128; do
  convert "$tmp/icon256.png" -resize ${s}x${s} "$tmp/icon$s.png"
done
convert "$tmp/icon16.png" "$tmp/icon24.png" "$tmp/icon32.png" "$tmp/icon48.png" \
  "$tmp/icon64.png" "$tmp/icon128.png" "$tmp/icon256.png" tovenmar.ico
cp "$tmp/icon256.png" tovenmar-256.png
rm -rf "$tmp"
