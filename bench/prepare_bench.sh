#!/usr/bin/env bash
# Times quenzil-table's picture preparation on the 24-bit BMP of cli_bench.sh (4096 x 4096 unless
# told otherwise) against the plain table of the same picture: --dither diffuse, --dither ordered
# and --fit 320x240, each writing its table to a file. The runs take turns, each round starting
# with another, so that a busy moment of a shared machine hits all of them alike, and each starts
# with nothing left to write back to disk; the best time of each counts. Prints the times and
# their ratios to the plain table.
# Usage: bench/prepare_bench.sh [SIDE] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

start_bench prepare_bench "${1:-}" "${2:-7}"

names=(plain diffuse ordered fit)
options=("" "--dither diffuse" "--dither ordered" "--fit 320x240")
declare -A best
for ((run = 0; run < runs; run++)); do
    # Each round starts one further along, so that no variant always follows the same one.
    for ((turn = 0; turn < ${#names[@]}; turn++)); do
        i=$(((run + turn) % ${#names[@]}))
        # The previous table goes to disk first, so that its writing back does not slow this run.
        rm -f "$work/table.txt"
        sync
        start=$(now)
        # shellcheck disable=SC2086 # the options split into words on purpose
        "$table" ${options[$i]} -o "$work/table.txt" "$picture"
        took=$(($(now) - start))
        name=${names[$i]}
        if [ -z "${best[$name]:-}" ] || [ "$took" -lt "${best[$name]}" ]; then
            best[$name]=$took
        fi
    done
done

seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
ratio() { awk -v a="$1" -v b="${best[plain]}" 'BEGIN { printf "%.2f", a / b }'; }
echo "picture: ${side} x ${side}, 24-bit BMP; best of $runs runs each, taking turns"
echo "plain table:          $(seconds "${best[plain]}") s"
echo "--dither diffuse:     $(seconds "${best[diffuse]}") s  $(ratio "${best[diffuse]}") x plain (goal: at most 1.5)"
echo "--dither ordered:     $(seconds "${best[ordered]}") s  $(ratio "${best[ordered]}") x plain (goal: at most 1.2)"
echo "--fit 320x240:        $(seconds "${best[fit]}") s  $(ratio "${best[fit]}") x plain (goal: at most 1)"
