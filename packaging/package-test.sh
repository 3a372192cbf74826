#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a temporary folder and checks
# what a user gets: both programs without the build tree's RPATH, the desktop entry, the icons
# and a manual page that renders without warnings, the package's dependencies on Qt, and an
# unpacked quenzil-table that writes the same table as the build's own.
#
#   package-test.sh BUILD_DIR BUILT_QUENZIL_TABLE
set -euo pipefail

build=$1
built_table=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/quenzil-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM # a test timeout cleans up too

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
debs=("$work"/out/quenzil_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single quenzil_*.deb" >&2; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr

for file in bin/quenzil bin/quenzil-table share/applications/quenzil.desktop \
    share/icons/hicolor/scalable/apps/quenzil.svg share/icons/hicolor/48x48/apps/quenzil.png \
    share/man/man1/quenzil-table.1; do
    [ -s "$usr/$file" ] || fail "the package lacks usr/$file"
done

# A dependency found by dpkg-shlibdeps; without the `file` tool CPack quietly leaves them out.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: '$depends'"
done

for program in quenzil quenzil-table; do
    [ -x "$usr/bin/$program" ] || continue
    if readelf -d "$usr/bin/$program" | grep -Eq 'RPATH|RUNPATH'; then
        fail "usr/bin/$program keeps an RPATH"
    fi
done

desktop-file-validate "$usr/share/applications/quenzil.desktop" || fail "the desktop entry is invalid"

page=$usr/share/man/man1/quenzil-table.1
if [ -f "$page" ]; then
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -P cat -l "$page" >"$work/page.txt" \
        2>"$work/page.err" || fail "man cannot render the manual page"
    [ ! -s "$work/page.err" ] || fail "the manual page renders with warnings: $(cat "$work/page.err")"
    grep -q -- '--version' "$work/page.txt" || fail "the rendered manual page lacks its options"
fi

# A 2 x 2 24-bit BMP, rows bottom-up: red, green over blue, white.
picture=$work/four.bmp
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0' >"$picture"
printf '\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0' >>"$picture"
printf '\xff\0\0\xff\xff\xff\0\0\0\0\xff\0\xff\0\0\0' >>"$picture"

if [ -x "$usr/bin/quenzil-table" ]; then
    "$built_table" "$picture" >"$work/built.txt"
    "$usr/bin/quenzil-table" "$picture" >"$work/packaged.txt" ||
        fail "the unpacked quenzil-table failed"
    printf 'Picture:\r\nData &B11100000 , &B00011100 , &B00000011 , &B11111111' >"$work/expected.txt"
    cmp -s "$work/packaged.txt" "$work/built.txt" ||
        fail "the unpacked quenzil-table's table differs from the build's"
    cmp -s "$work/packaged.txt" "$work/expected.txt" ||
        fail "the unpacked quenzil-table's table is wrong: $(od -c "$work/packaged.txt")"
    version=$("$usr/bin/quenzil-table" --version)
    [ "$version" = "quenzil-table $(dpkg-deb -f "$deb" Version)" ] ||
        fail "quenzil-table says '$version', the package $(dpkg-deb -f "$deb" Version)"
fi

[ $failures -eq 0 ] || exit 1
echo "package test passed"
