#!/usr/bin/env bash
# Runs every benchmark program and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
./build/bin/table_bench
bash bench/cli_bench.sh
bash bench/shape_bench.sh
bash bench/prepare_bench.sh
./build/bin/window_bench
./build/bin/largest_picture_bench all
./build/bin/scaling_bench
