#!/usr/bin/env bash
# Builds, once, the static Qt for 64-bit Windows that the cross-built window program links
# against. Debian ships no Qt for MinGW, so it is built from Debian's own source package of the
# host Qt (same version, Debian's patches) with Debian's MinGW-w64 and the host Qt's tools.
#   scripts/windows-qt.sh          (about 30 minutes on 2 cores; about 100 MB installed)
# The result goes to ${ORVIX_CACHE:-$HOME/.cache/orvix}/qt-6.4.2-mingw64, outside the work tree;
# a stamp there records the version and the options, and a complete cache makes this a no-op.
#   scripts/windows-qt.sh --check  (exit 0 when the cache is complete, 1 when not; builds nothing)
# Prints the prefix last, for -DORVIX_WINDOWS_QT=... in the cross build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

version=6.4.2
cache=${ORVIX_CACHE:-$HOME/.cache/orvix}
prefix=$cache/qt-$version-mingw64
work=$cache/qt-$version-mingw64.work
stamp=$prefix/orvix-qt.stamp

# Only what the window program uses: Core, Gui, Widgets and the windows platform plugin with
# its styles. Debian's source has no wintab, so tablet events stay off; Direct2D off needs the
# source fix below.
options=(-xplatform win32-g++ -release -static -nomake tests -nomake examples
         -no-opengl -no-dbus -no-icu -no-vulkan -no-feature-sql -no-feature-network
         -no-feature-xml -no-feature-concurrent -no-feature-printsupport
         -no-feature-tabletevent -no-feature-direct2d -no-freetype -no-fontconfig
         -qt-harfbuzz -qt-pcre -qt-zlib -qt-libpng -no-libjpeg -no-gif -no-zstd)
# cross.patch serves Debian's own multi-arch cross builds and pins paths this build does not
# have; force_shared_libzstd.patch wants a shared zstd, which a static Qt without zstd lacks.
skipped_patches=(cross.patch force_shared_libzstd.patch)
own_patch=$root/scripts/qt-directwrite-without-direct2d.patch

started=$SECONDS
say() {
  local elapsed=$((SECONDS - started))
  printf 'windows-qt: [%d:%02d] %s\n' $((elapsed / 60)) $((elapsed % 60)) "$*"
}

sudo=""
[[ $(id -u) -ne 0 ]] && sudo=sudo

check_only=0
case "${1:-}" in
  --check) check_only=1 ;;
  "") ;;
  *) echo "usage: scripts/windows-qt.sh [--check]" >&2; exit 64 ;;
esac

if [[ $check_only -eq 0 ]]; then
  "$root/scripts/bootstrap.sh" wine winqt
fi
compiler=$(x86_64-w64-mingw32-g++-posix --version 2>/dev/null | head -n 1)
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)
expected_stamp=$(printf 'qt %s (Debian source %s)\ncompiler %s\nskipped patches %s\nown patch %s\nconfigure %s\n' \
  "$version" "$host_qt" "$compiler" "${skipped_patches[*]}" "$(sha256sum <"$own_patch" | cut -c1-16)" \
  "${options[*]}")

if [[ $check_only -eq 1 ]]; then
  [[ -f $stamp && "$(cat "$stamp")" == "$expected_stamp" ]]
  exit
fi

mkdir -p "$cache"
# A second caller (two test runs at once) waits for the first instead of building beside it.
exec 9>"$cache/qt-$version-mingw64.lock"
flock 9

if [[ -f $stamp && "$(cat "$stamp")" == "$expected_stamp" ]]; then
  say "complete, nothing to do"
  echo "$prefix"
  exit 0
fi
if [[ $host_qt != "$version"* ]]; then
  echo "windows-qt: the host Qt is $host_qt, but its tools must match Qt $version" >&2
  exit 1
fi

# apt-get source needs a deb-src entry; ours goes into a file of its own, made from the Debian
# entries already there, so the system's own lists stay as they were.
ensure_deb_src() {
  if apt-cache showsrc qt6-base 2>/dev/null | grep -qx "Version: $host_qt"; then
    return
  fi
  local list=/etc/apt/sources.list.d/orvix-deb-src.sources
  local entries
  entries=$(
    for f in /etc/apt/sources.list.d/*.sources; do
      [[ -f $f ]] || continue
      # deb822 stanzas: keep the Debian ones, as source entries.
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /URIs:[^\n]*debian/ && /Types:[^\n]*deb( |$|\n)/ {
             sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [[ -f $f ]] || continue
      # One-line entries: "deb [options] URI suite components" becomes a stanza.
      awk '$1 == "deb" && /debian/ {
             i = 2; if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
             printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i + 1)
             for (j = i + 2; j <= NF; j++) printf " %s", $j
             printf "\n\n" }' "$f"
    done)
  if [[ -z $entries ]]; then
    echo "windows-qt: no Debian archive entry found in /etc/apt to make a deb-src entry from" >&2
    exit 1
  fi
  say "adding source entries in $list"
  printf '%s\n' "$entries" | $sudo tee "$list" >/dev/null
  $sudo apt-get update -qq
}

fetch_source() {
  rm -rf "$work"
  mkdir -p "$work/download"
  say "downloading Debian's qt6-base $host_qt source"
  # The download folder must be readable by apt's sandbox user.
  chmod 755 "$work" "$work/download"
  (cd "$work/download" && apt-get source -qq --download-only "qt6-base=$host_qt" >/dev/null 2>&1) ||
    { echo "windows-qt: apt-get source qt6-base=$host_qt failed" >&2; exit 1; }
  # apt has checked the download against the archive's signed index; dpkg-source's own signature
  # check would only complain about the uploader's key missing here.
  (cd "$work/download" && dpkg-source -q --no-check --skip-patches -x ./*.dsc "$work/src" >/dev/null)
  rm -rf "$work/download"

  local applied=0 patch
  while read -r patch _; do
    [[ -z $patch || $patch == \#* ]] && continue
    [[ " ${skipped_patches[*]} " == *" $patch "* ]] && continue
    patch -d "$work/src" -p1 -s --no-backup-if-mismatch <"$work/src/debian/patches/$patch"
    applied=$((applied + 1))
  done <"$work/src/debian/patches/series"
  patch -d "$work/src" -p1 -s --no-backup-if-mismatch <"$own_patch"
  say "applied $applied of Debian's patches (not ${skipped_patches[*]}) and our Direct2D fix"
}

configure_qt() {
  say "configuring (the log is $work/configure.log)"
  mkdir -p "$work/build"
  (cd "$work/build" &&
   "$work/src/configure" -prefix "$prefix" -qt-host-path /usr "${options[@]}" -- -G Ninja \
     -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
     -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$work/configure.log" 2>&1) ||
    { tail -n 40 "$work/configure.log" >&2; echo "windows-qt: configure failed" >&2; exit 1; }
}

# Ninja's step lines go to the log; the terminal sees one line per tenth of the way.
build_qt() {
  say "building (the log is $work/build.log)"
  set +o pipefail
  cmake --build "$work/build" --parallel "$(nproc)" 2>&1 | tee "$work/build.log" |
    awk '
      match($0, /^\[[0-9]+\/[0-9]+\]/) {
        split(substr($0, 2, RLENGTH - 2), n, "/")
        tenth = int(10 * n[1] / n[2])
        if (tenth > shown) {
          shown = tenth
          printf "windows-qt: built %d of %d steps\n", n[1], n[2]; fflush()
        }
      }'
  local status=${PIPESTATUS[0]}
  set -o pipefail
  if [[ $status -ne 0 ]]; then
    grep -E -m 20 -B2 -A10 'FAILED:|error:' "$work/build.log" >&2 || tail -n 40 "$work/build.log" >&2
    echo "windows-qt: the build failed" >&2
    exit 1
  fi
}

install_qt() {
  say "installing into $prefix"
  rm -rf "$prefix"
  cmake --install "$work/build" >"$work/install.log" 2>&1 ||
    { tail -n 20 "$work/install.log" >&2; echo "windows-qt: install failed" >&2; exit 1; }
  printf '%s\n' "$expected_stamp" >"$stamp"
  rm -rf "$work"
}

ensure_deb_src
# A build folder left by an interrupted run of the same options carries on where it stopped.
if [[ ! -f $work/build/build.ninja || ! -f $work/options ||
      "$(cat "$work/options")" != "$expected_stamp" ]]; then
  fetch_source
  configure_qt
  printf '%s\n' "$expected_stamp" >"$work/options"
fi
build_qt
install_qt
say "done: $(du -sh "$prefix" | cut -f1) in $prefix"
# Kept apart from the stamp, which must stay the same from one build to the next.
printf 'built in %d min on %d cores, %s installed\n' $(((SECONDS - started) / 60)) "$(nproc)" \
  "$(du -sh "$prefix" | cut -f1)" >"$prefix/orvix-qt-build.txt"
echo "$prefix"
