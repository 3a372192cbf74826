# Shared by the benchmark scripts; sourced, not run.

# require_tools NAME TOOL...: stops the benchmark NAME when a tool is missing.
require_tools() {
    local name=$1
    shift
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "$name: $tool is missing (make bench builds the programs and installs the tools)" >&2
            exit 1
        fi
    done
}

# make_picture SIDE FILE: a SIDE x SIDE 24-bit BMP of ffmpeg's colourful test pattern.
make_picture() {
    ffmpeg -v error -f lavfi -i "testsrc2=size=${1}x${1}" -frames:v 1 -pix_fmt bgr24 "$2"
}

# start_bench NAME [SIDE] [RUNS] [TOOL...]: sets side (4096 by default), runs (5), table ($TABLE, or
# the build's quenzil-table) and work (a folder on the disk the build is on, not a tmpfs, removed
# at the end), stops when the command or a tool is missing, and makes $picture, a SIDE x SIDE BMP.
start_bench() {
    local name=$1
    side=${2:-4096}
    runs=${3:-5}
    table=${TABLE:-$PWD/build/bin/quenzil-table}
    require_tools "$name" "$table" ffmpeg /usr/bin/time "${@:4}"
    work=$(mktemp -d "$PWD/build/$name.XXXXXX")
    trap 'rm -rf "$work"' EXIT
    picture=$work/picture.bmp
    make_picture "$side" "$picture"
}

now() { date +%s%N; }

# best_of COMMAND...: the shortest wall time of $runs runs, in seconds.
best_of() {
    local best=
    for ((i = 0; i < runs; i++)); do
        local start end
        start=$(now)
        "$@"
        end=$(now)
        local took=$((end - start))
        if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
    done
    awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}
