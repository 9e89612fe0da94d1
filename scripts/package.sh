#!/usr/bin/env bash
# Builds the Debian package from a plain Release build (warnings are not errors, no tests) in
# build-release/: build-release/orvix_<version>_amd64.deb, its dependencies worked out from the
# binaries. With --check it then proves the package: the files it must hold, lintian without an
# error, the desktop entry valid, the version the programs print.
#   scripts/package.sh [--check]
#   apt install ./build-release/orvix_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
check=false
case "${1:-}" in
  --check) check=true ;;
  "") ;;
  *) echo "usage: scripts/package.sh [--check]" >&2; exit 64 ;;
esac
scripts/bootstrap.sh package

dir=build-release
cmake --preset release >/dev/null
# Warnings are not errors here, as in any packager's build; the count shows them all the same.
cmake --build --preset release -j"$(nproc)" | tee "$dir/build.log"
echo "package: $(grep -c 'warning:' "$dir/build.log" || true) compiler warnings in the Release build"
rm -f "$dir"/orvix_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/orvix_*_amd64.deb)
echo "package: $deb"
$check || exit 0

failed=0
fail() { echo "package: FAIL: $*" >&2; failed=1; }

contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./||')
for path in usr/bin/orvix usr/bin/orvix-flash usr/bin/orvix-devsim \
            usr/share/applications/orvix.desktop \
            usr/share/icons/hicolor/scalable/apps/orvix.svg \
            usr/share/icons/hicolor/48x48/apps/orvix.png \
            usr/share/icons/hicolor/256x256/apps/orvix.png \
            usr/share/man/man1/orvix.1.gz usr/share/man/man1/orvix-flash.1.gz \
            usr/share/man/man1/orvix-devsim.1.gz \
            usr/share/doc/orvix/copyright usr/share/doc/orvix/README.md \
            usr/share/doc/orvix/json-output.md usr/share/doc/orvix/docs/flasher.md \
            usr/lib/udev/rules.d/70-orvix-serial.rules usr/share/orvix/add-adapters.sh \
            usr/share/bash-completion/completions/orvix-flash \
            usr/share/bash-completion/completions/orvix-devsim; do
  grep -qxF "$path" <<<"$contents" || fail "$path is not in the package"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
# The helper is run by name from where it lies, and finds the rules from there.
dpkg-deb -c "$deb" | grep -q '^-rwxr-xr-x .*/usr/share/orvix/add-adapters.sh$' ||
  fail "usr/share/orvix/add-adapters.sh is not executable in the package"
"$unpacked/usr/share/orvix/add-adapters.sh" 0403:6001 | grep -q 'idProduct}=="6001"' ||
  fail "the installed add-adapters.sh does not write the rules"
desktop-file-validate "$unpacked/usr/share/applications/orvix.desktop" ||
  fail "desktop-file-validate rejects the desktop entry"
for size in 48 256; do
  file "$unpacked/usr/share/icons/hicolor/${size}x${size}/apps/orvix.png" |
    grep -q "PNG image data, $size x $size" || fail "the ${size} px icon is not ${size} x ${size}"
done

# Lintian's informational and warning tags are shown; only an error fails. (As root it warns
# that it runs as root; that line is not about the package.)
lintian "$deb" 2>&1 | tee "$unpacked/lintian.txt"
grep -q '^E: ' "$unpacked/lintian.txt" && fail "lintian reports errors"

version=$(dpkg-deb -f "$deb" Version)
printed=$("$dir/cli/orvix-flash" --version)
[[ $printed == "orvix-flash $version" ]] || fail "orvix-flash --version prints '$printed', the package is $version"

[[ $failed -eq 0 ]] || exit 1
echo "package: contents, udev rules and helper, desktop entry, icons, lintian and version checked"
