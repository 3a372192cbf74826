#!/usr/bin/env bash
# Runs every benchmark program and prints their figures.
set -euo pipefail
cd "$(dirname "$0")/.."
./build/bin/table_bench
./build/bin/window_bench
