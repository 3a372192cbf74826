#!/usr/bin/env bash
# Times quenzil-table --decode of the plain table of a 24-bit BMP (4096 x 4096 unless told
# otherwise: a 226 MB table) into its picture, against the command writing that table with -o
# (goal: at most 2 times), and prints the peak memory of both. The picture is made as in
# bench/cli_bench.sh. In a round each command runs once, so that a busy moment of a shared
# machine hits both alike; each keeps its best round.
# Usage: bench/decode_bench.sh [SIDE] [RUNS]; TABLE=PROGRAM times another quenzil-table.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

start_bench decode_bench "${1:-}" "${2:-}"
"$table" -o "$work/table.txt" "$picture"

declare -A best
for ((r = 0; r < runs; r++)); do
    for what in write decode; do
        case $what in
        write) took=$(runs=1 best_of "$table" -o "$work/table.txt" "$picture") ;;
        decode) took=$(runs=1 best_of "$table" --decode --width "$side" -o "$work/d.png" \
            "$work/table.txt") ;;
        esac
        best[$what]=$(awk -v a="$took" -v b="${best[$what]:-$took}" 'BEGIN { print (a < b ? a : b) }')
    done
done
peak() { /usr/bin/time -f %M "$table" "$@" 2>&1 >/dev/null | tail -1; }
write_peak=$(peak -o "$work/table.txt" "$picture")
decode_peak=$(peak --decode --width "$side" -o "$work/d.png" "$work/table.txt")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "table of ${side} x ${side}: $(stat -c %s "$work/table.txt") bytes; best of $runs rounds"
echo "table -o FILE:          ${best[write]} s, peak ${write_peak} KB"
echo "--decode -o OUT.png:    ${best[decode]} s, peak ${decode_peak} KB," \
    "ratio $(ratio "${best[decode]}" "${best[write]}") (goal: at most 2)"
