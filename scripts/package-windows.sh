#!/usr/bin/env bash
# The Windows packages, cross-built here from the windows preset's build (build-win, the
# programs the Wine tests run): in build-win/packages/
#   orvix-VERSION-win64-setup.exe   the installer (NSIS): Program Files\Orvix, a Start-menu entry,
#                                   an uninstaller in the installed programs list, /S for silence
#   orvix-VERSION-win64.zip         the same programs and documents in one folder
# The window program is the product: without a Qt for Windows (scripts/windows-qt.sh) there is
# no orvix.exe, and the script says so in one line, makes nothing and exits 0.
#   scripts/package-windows.sh
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh wine || exit 1
started=$SECONDS
dir=build-win
out=$dir/packages
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))

mkdir -p "$dir"
cmake --preset windows >"$dir/configure.txt" 2>&1 ||
  { cat "$dir/configure.txt"; echo "package-windows: configuring $dir failed" >&2; exit 1; }
# Packages left from an earlier run would pass for this build's.
rm -rf "$out"
if ! grep -q '^-- orvix.exe is built' "$dir/configure.txt"; then
  echo "package-windows: SKIPPED: no Qt for Windows in the cache, so no orvix.exe, the program" \
    "the packages are for (scripts/windows-qt.sh builds it); nothing made"
  exit 0
fi
cmake --build "$dir" -j"$jobs" --target orvix orvix-flash >"$dir/package-build.txt" 2>&1 ||
  { tail -n 30 "$dir/package-build.txt"; echo "package-windows: the build failed" >&2; exit 1; }
# strip stamps each Windows program with the time it runs, once per package: one fixed time
# keeps the installer's programs and the zip's the same bytes, and the packages reproducible.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
(cd "$dir" && cpack -B packages) >"$dir/cpack.txt" 2>&1 ||
  { tail -n 20 "$dir/cpack.txt"; echo "package-windows: cpack failed (log: $dir/cpack.txt)" >&2
    exit 1; }
for package in "$out"/orvix-*-win64-setup.exe "$out"/orvix-*-win64.zip; do
  [[ -f $package ]] || { echo "package-windows: cpack made no $package" >&2; exit 1; }
  echo "package-windows: $package ($(( $(stat -c %s "$package") / 1024 )) KiB)"
done
echo "package-windows: made in $((SECONDS - started)) s"
