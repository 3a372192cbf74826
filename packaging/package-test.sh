#!/usr/bin/env bash
# Builds the Debian package from a build folder, has lintian check it, unpacks it into a temporary
# folder and checks what a user gets: both programs without the build tree's RPATH, the desktop
# entry, the icons, compressed manual pages that render without warnings, the copyright and
# changelog, the package's dependencies on Qt, and an unpacked quenzil-table that writes the same
# table as the build's own.
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

# lintian's errors fail the test (its exit status 2; 1 when it cannot run); its warnings are
# printed for whoever reads the log.
if command -v lintian >/dev/null; then
    status=0
    lintian --fail-on error "$deb" || status=$?
    [ $status -eq 0 ] || fail "lintian reports errors or cannot run (status $status)"
else
    fail "lintian is missing (scripts/install-deps.sh installs it)"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr

for file in bin/quenzil bin/quenzil-table share/applications/quenzil.desktop \
    share/icons/hicolor/scalable/apps/quenzil.svg share/icons/hicolor/48x48/apps/quenzil.png \
    share/man/man1/quenzil.1.gz share/man/man1/quenzil-table.1.gz \
    share/doc/quenzil/copyright share/doc/quenzil/changelog.gz; do
    [ -s "$usr/$file" ] || fail "the package lacks usr/$file"
done

# A dependency found by dpkg-shlibdeps; without the `file` tool CPack quietly leaves them out.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: '$depends'"
done

recommends=$(dpkg-deb -f "$deb" Recommends)
[[ $recommends == *qt6-image-formats-plugins* ]] ||
    fail "Recommends lacks qt6-image-formats-plugins: '$recommends'"

for program in quenzil quenzil-table; do
    [ -x "$usr/bin/$program" ] || continue
    if readelf -d "$usr/bin/$program" | grep -Eq 'RPATH|RUNPATH'; then
        fail "usr/bin/$program keeps an RPATH"
    fi
done

desktop-file-validate "$usr/share/applications/quenzil.desktop" || fail "the desktop entry is invalid"

# Each manual page renders without warnings and shows its options.
for page in quenzil quenzil-table; do
    file=$usr/share/man/man1/$page.1.gz
    [ -f "$file" ] || continue
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -P cat -l "$file" >"$work/page.txt" \
        2>"$work/page.err" || fail "man cannot render $page.1"
    [ ! -s "$work/page.err" ] || fail "$page.1 renders with warnings: $(cat "$work/page.err")"
    grep -q -- '--version' "$work/page.txt" || fail "the rendered $page.1 lacks its options"
done

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
