#!/usr/bin/env bash
# Times the shaped tables of quenzil-table side by side, each the best of RUNS runs:
# - the plain table of a 4096 x 4096 24-bit BMP written with -o to a file, against cp copying the
#   finished table file on the same disk (goal: at most 1.3 times the copy), and its peak memory
#   (goal: under 100 MB);
# - the same picture with --rle and with --radix hex (goal: no slower than the plain table);
# - 200 pictures of 32 x 32 in one call against 200 separate calls (goal: at most one fifth).
# The pictures are made as in bench/cli_bench.sh.
# Usage: bench/shape_bench.sh [SIDE] [RUNS]; TABLE=PROGRAM times another quenzil-table.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

start_bench shape_bench "${1:-}" "${2:-}"
small=$work/small.bmp
make_picture 32 "$small"
mkdir "$work/many" "$work/each"
for ((i = 1; i <= 200; i++)); do cp "$small" "$work/many/p$i.bmp"; done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

"$table" -o "$work/plain.txt" "$picture"
copy() { rm -f "$work/copy.txt" && cp "$work/plain.txt" "$work/copy.txt"; }
# One round runs each of the 4096 x 4096 commands once, so that all meet the same load on the
# machine; each keeps its best round.
declare -A best
for ((r = 0; r < runs; r++)); do
    for what in plain copy stdout rle hex; do
        case $what in
        plain) took=$(runs=1 best_of "$table" -o "$work/table.txt" "$picture") ;;
        copy) took=$(runs=1 best_of copy) ;;
        stdout) took=$(runs=1 best_of sh -c '"$0" "$1" >"$2"' "$table" "$picture" "$work/out.txt") ;;
        rle) took=$(runs=1 best_of "$table" --rle -o "$work/rle.txt" "$picture") ;;
        hex) took=$(runs=1 best_of "$table" --radix hex -o "$work/hex.txt" "$picture") ;;
        esac
        best[$what]=$(awk -v a="$took" -v b="${best[$what]:-$took}" 'BEGIN { print (a < b ? a : b) }')
    done
done
plain=${best[plain]} copied=${best[copy]} stdout=${best[stdout]} rle=${best[rle]} hex=${best[hex]}
memory=$(/usr/bin/time -f %M "$table" -o "$work/table.txt" "$picture" 2>&1 >/dev/null | tail -1)
each() {
    for ((i = 1; i <= 200; i++)); do "$table" -o "$work/each/p$i.txt" "$work/many/p$i.bmp"; done
}
separate=$(best_of each)
together=$(best_of "$table" -o "$work/many.txt" "$work"/many/p*.bmp)

size() { stat -c %s "$1"; }
echo "picture: ${side} x ${side}, 24-bit BMP; best of $runs runs"
echo "plain table -o FILE:      ${plain} s, peak ${memory} KB ($(size "$work/table.txt") bytes)"
echo "cp of the table file:     ${copied} s"
echo "ratio table / cp:         $(ratio "$plain" "$copied") (goal: at most 1.3; memory under 100 MB)"
echo "plain table > stdout:     ${stdout} s"
echo "--rle -o FILE:            ${rle} s, $(ratio "$rle" "$plain") of plain (goal: at most 1)" \
    "($(size "$work/rle.txt") bytes)"
echo "--radix hex -o FILE:      ${hex} s, $(ratio "$hex" "$plain") of plain (goal: at most 1)" \
    "($(size "$work/hex.txt") bytes)"
echo "200 pictures of 32 x 32:  one call ${together} s, 200 calls ${separate} s," \
    "ratio $(ratio "$together" "$separate") (goal: at most 0.2)"
