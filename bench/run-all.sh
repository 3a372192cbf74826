#!/usr/bin/env bash
# Runs every benchmark program and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
./build/bin/table_bench
bash bench/cli_bench.sh
bash bench/shape_bench.sh
bash bench/decode_bench.sh
bash bench/prepare_bench.sh
./build/bin/window_bench
./build/bin/window_bench --zoom 4096
./build/bin/window_bench --preview 4096
./build/bin/largest_picture_bench all
./build/bin/scaling_bench
