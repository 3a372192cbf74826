#!/usr/bin/env bash
# Times quenzil-table against ffmpeg on the same 24-bit BMP (4096 x 4096 unless told otherwise):
# ffmpeg writes the raw 3-3-2 bytes (-f rawvideo -pix_fmt rgb8), quenzil-table the text table of
# the same codes. Both write a file in the same scratch folder; each is run several times and
# the best time counts. Prints both times and their ratio.
# Usage: bench/cli_bench.sh [SIDE] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

side=${1:-4096}
runs=${2:-5}
table=./build/bin/quenzil-table
require_tools cli_bench "$table" ffmpeg

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
picture=$work/picture.bmp
make_picture "$side" "$picture"


ours=$(best_of "$table" -o "$work/table.txt" "$picture")
theirs=$(best_of ffmpeg -v error -y -i "$picture" -f rawvideo -pix_fmt rgb8 "$work/codes.raw")
ours_null=$(best_of sh -c '"$0" "$1" >/dev/null' "$table" "$picture")
theirs_null=$(best_of ffmpeg -v error -y -i "$picture" -f rawvideo -pix_fmt rgb8 -y /dev/null)

echo "picture: ${side} x ${side}, 24-bit BMP of $(stat -c %s "$picture") bytes; best of $runs runs"
echo "quenzil-table -o FILE:             ${ours} s  ($(stat -c %s "$work/table.txt") bytes of table)"
echo "ffmpeg -f rawvideo -pix_fmt rgb8:  ${theirs} s  ($(stat -c %s "$work/codes.raw") bytes of codes)"
awk -v a="$ours" -v b="$theirs" \
    'BEGIN { printf "ratio quenzil-table / ffmpeg:      %.2f (goal: at most 1)\n", a / b }'
echo "to /dev/null: quenzil-table ${ours_null} s, ffmpeg ${theirs_null} s"
