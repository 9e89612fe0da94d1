#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
# Safe to run again and again; a newcomer's clean Debian 12 and CI start here.
#   scripts/bootstrap.sh [extra-group...]   groups: wine (the Windows cross build, its installer and
#                                       the Wine tests),
#                                       winqt (building Qt for Windows from Debian's source),
#                                       winwindow (the window program's tests under Wine on Xvfb),
#                                       naming (clang-tidy, for scripts/check-naming.sh),
#                                       bench (the profiler and strace for scripts/bench.sh),
#                                       package (what scripts/package.sh uses to make and check
#                                       the Debian package)
set -euo pipefail

# scdoc and rsvg-convert make the manual pages and the icons; man-db renders the pages in a test.
# binutils: the image loader's tests convert binaries to Intel HEX and S-record with objcopy.
packages=(g++ cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev libcli11-dev
          qt6-base-dev qt6-qpa-plugins libgl-dev binutils scdoc librsvg2-bin man-db
          fonts-dejavu-core fonts-liberation
          umockdev util-linux  # port listing under a mocked /sys; setpriv for the setup check
          nlohmann-json3-dev   # the tests parse the flasher's JSON lines
          bash-completion      # the completion scripts are tried under its helpers
          # The catalogues: lupdate and lrelease, Qt's own Russian for its dialogs, and python3
          # for the console programs' tables and the completeness check.
          qt6-l10n-tools qt6-translations-l10n python3)
for group in "$@"; do
  case "$group" in
    # nsis: the Windows installer; locales: the sources Wine's language checks compile
    wine) packages+=(g++-mingw-w64-x86-64 wine wine64 nsis locales) ;;
    winqt) packages+=(dpkg-dev patch qt6-base-dev-tools) ;;
    winwindow) packages+=(xvfb xauth openbox wmctrl xdotool imagemagick fonts-liberation) ;;
    sanitizers) packages+=(clang libclang-rt-14-dev) ;;
    naming) packages+=(clang-tidy) ;;  # run-clang-tidy and its identifier-naming check
    bench) packages+=(valgrind strace) ;;
    package) packages+=(dpkg-dev file lintian desktop-file-utils) ;;
    *) echo "bootstrap: unknown group '$group'" >&2; exit 64 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "bootstrap: installing ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "bootstrap: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
