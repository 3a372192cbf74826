#!/usr/bin/env bash
# Times quenzil-table on a 24-bit BMP (4096 x 4096 unless told otherwise) against what bounds it:
# - --fit 160x128 --dither diffuse -o FILE against Pillow decoding the same file (goal: at most
#   1.1 times), and the same on a photo-like JPEG of that size against Pillow's full decode of it
#   (goal: no slower than before the JPEG was read reduced, 0.3 to 0.4 times);
# - the plain table -o FILE against a durable copy of that finished table: cp to a temporary file
#   in the same folder, sync that file, rename it (goal: at most 2.5 times);
# - 200 pictures of 32 x 32 in one call against 200 calls (goal: at most a fifth);
# - peak memory of the plain table (goal: under 100 MB), of --dither diffuse (at most 1.5 times
#   the plain table's) and of --fit 320x240 (at most the plain table's).
# In a round every command runs once, so that a busy moment of a shared machine hits all alike;
# each keeps its best round. The files are written on the disk the build is on, not a tmpfs.
# Usage: bench/cli_bench.sh [SIDE] [RUNS]; TABLE=PROGRAM times another quenzil-table.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

python=/usr/bin/python3 # Debian's, with python3-pil
start_bench cli_bench "${1:-}" "${2:-}" "$python"
make_picture 32 "$work/small.bmp"
# Smooth colours with grain, as a camera's: a JPEG of about 3 MB at 4096 x 4096.
"$python" - "$side" "$work/photo.jpg" <<'PYTHON'
import sys
from PIL import Image
side = int(sys.argv[1])
across = Image.linear_gradient('L').rotate(90).resize((side, side))
down = Image.linear_gradient('L').resize((side, side))
grain = Image.effect_noise((side, side), 32)
channels = [Image.blend(c, grain, 0.12) for c in (across, down, Image.blend(across, down, 0.5))]
Image.merge('RGB', channels).save(sys.argv[2], quality=90)
PYTHON
mkdir "$work/many"
for ((i = 1; i <= 200; i++)); do cp "$work/small.bmp" "$work/many/p$i.bmp"; done
"$table" -o "$work/plain.txt" "$picture"

pillow() { "$python" -c 'import sys; from PIL import Image; Image.open(sys.argv[1]).load()' "$1"; }
durable_copy() { cp "$1" "$2.part" && sync "$2.part" && mv "$2.part" "$2"; }
each() { for ((i = 1; i <= 200; i++)); do "$table" -o "$work/p.txt" "$work/many/p$i.bmp"; done; }

declare -A best
for ((r = 0; r < runs; r++)); do
    for what in display pillow jpeg pillow_jpeg plain copy together each; do
        case $what in
        display) took=$(runs=1 best_of "$table" --fit 160x128 --dither diffuse -o "$work/d.txt" "$picture") ;;
        pillow) took=$(runs=1 best_of pillow "$picture") ;;
        jpeg) took=$(runs=1 best_of "$table" --fit 160x128 --dither diffuse -o "$work/j.txt" "$work/photo.jpg") ;;
        pillow_jpeg) took=$(runs=1 best_of pillow "$work/photo.jpg") ;;
        plain) took=$(runs=1 best_of "$table" -o "$work/table.txt" "$picture") ;;
        copy) took=$(runs=1 best_of durable_copy "$work/plain.txt" "$work/copy.txt") ;;
        together) took=$(runs=1 best_of "$table" -o "$work/many.txt" "$work"/many/p*.bmp) ;;
        each) took=$(runs=1 best_of each) ;;
        esac
        best[$what]=$(awk -v a="$took" -v b="${best[$what]:-$took}" 'BEGIN { print (a < b ? a : b) }')
    done
done
peak() { /usr/bin/time -f %M "$table" "$@" -o "$work/m.txt" "$picture" 2>&1 >/dev/null | tail -1; }
plain_peak=$(peak) diffuse_peak=$(peak --dither diffuse) fit_peak=$(peak --fit 320x240)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "picture: ${side} x ${side}, 24-bit BMP of $(stat -c %s "$picture") bytes; best of $runs rounds"
echo "--fit 160x128 --dither diffuse: ${best[display]} s, Pillow's decode ${best[pillow]} s," \
    "ratio $(ratio "${best[display]}" "${best[pillow]}") (goal: at most 1.1)"
echo "the same on a photo-like JPEG:  ${best[jpeg]} s, Pillow's decode ${best[pillow_jpeg]} s," \
    "ratio $(ratio "${best[jpeg]}" "${best[pillow_jpeg]}") (goal: 0.3 to 0.4, no slower than before)"
echo "plain table -o FILE:            ${best[plain]} s, durable copy ${best[copy]} s," \
    "ratio $(ratio "${best[plain]}" "${best[copy]}") (goal: at most 2.5)"
echo "200 pictures of 32 x 32:        one call ${best[together]} s, 200 calls ${best[each]} s," \
    "ratio $(ratio "${best[together]}" "${best[each]}") (goal: at most 0.2)"
echo "peak memory, plain table:       ${plain_peak} KB (goal: under 100 MB)"
echo "peak memory, --dither diffuse:  ${diffuse_peak} KB, $(ratio "$diffuse_peak" "$plain_peak") x plain (goal: at most 1.5)"
echo "peak memory, --fit 320x240:     ${fit_peak} KB, $(ratio "$fit_peak" "$plain_peak") x plain (goal: at most 1)"
