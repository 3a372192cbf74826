#!/usr/bin/env bash
# Makes the screenshots of the README's "Settings" with the built window program under a virtual
# X display, its settings in a folder of their own (a 160 x 128 display filled, diffusion,
# hexadecimal numbers, the label Logo, the picture at 2x):
#   docs/screenshot-window.png    the window made larger, docs/preview-original.png loaded at 2x
#                                 and its table
#   docs/screenshot-settings.png  the Table settings dialog with its preview, opened with Ctrl+T
# Usage: docs/make-screenshots.sh [QUENZIL]   (build/bin/quenzil by default)
set -euo pipefail

docs=$(cd "$(dirname "$0")" && pwd)

if [[ ${1:-} == --inside ]]; then
    # Under the virtual display: work the window as a person would.
    program=$2
    "$program" &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true' EXIT
    # The first window whose title is $1, waited for up to 10 s.
    windowNamed() {
        for _ in $(seq 50); do
            xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 && return 0
            sleep 0.2
        done
        echo "make-screenshots: the window '$1' did not appear" >&2
        return 1
    }
    gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null; }
    window=$(windowNamed Tavro)
    # Larger than it opens, so that the picture at 2x has room beside the table.
    xdotool windowsize --sync "$window" 1100 500
    sleep 0.5
    # The column of controls keeps its distance from the right edge.
    right=$((1100 - 564))
    click() { xdotool mousemove --sync --window "$window" "$(($1 + right))" "$2" click 1; }

    click 508 18 # Load Bitmap
    dialog=$(windowNamed Open)
    xdotool windowfocus --sync "$dialog"
    xdotool type --delay 20 "$docs/preview-original.png"
    # A completion list may take the first Return.
    for _ in $(seq 20); do
        xdotool key Return
        sleep 0.3
        gone Open && break
    done
    gone Open || { echo "make-screenshots: the file dialog did not close" >&2; exit 1; }

    click 508 46 # RGB-Tabelle
    sleep 2
    import -window "$window" "$docs/screenshot-window.png"

    xdotool windowfocus --sync "$window"
    xdotool key ctrl+t
    settings=$(windowNamed 'Table settings')
    sleep 0.5
    import -window "$settings" "$docs/screenshot-settings.png"
    exit 0
fi

program=$(realpath "${1:-$docs/../build/bin/quenzil}")
for tool in xvfb-run xdotool import; do
    if ! command -v "$tool" >/dev/null; then
        echo "make-screenshots: $tool is missing (Debian: xvfb, xdotool, imagemagick)" >&2
        exit 1
    fi
done
[[ -x $program ]] || { echo "make-screenshots: build $program first (make)" >&2; exit 1; }

config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
mkdir -p "$config/QUENZIL"
printf '[table]\ndither=diffuse\nfill=160x128\nlabel=Logo\nradix=hex\n\n[window]\nzoom=2\n' \
    >"$config/QUENZIL/quenzil.conf"

# The settings are read at the start, so no settings of the user's reach the pictures.
XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=xcb timeout 120 \
    xvfb-run --auto-servernum --server-args='-screen 0 1280x1024x24' \
    bash "$docs/make-screenshots.sh" --inside "$program"
echo "docs/screenshot-window.png docs/screenshot-settings.png written"
