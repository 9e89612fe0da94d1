#!/usr/bin/env bash
# The window program installed into a folder its user cannot write, as /usr/bin is:
#   - closed, it writes its ini file with the nine placement keys into $XDG_CONFIG_HOME/orvix,
#     making the folder, and shows no error box;
#   - started with /l, a run against the installed simulator writes out.txt into
#     $XDG_STATE_HOME/orvix and programs the device;
#   - nothing is written beside the executable.
#   installed_window_test.sh CMAKE BUILD_DIR PLUGIN_DIR
set -uo pipefail
cmake=$1 build=$2 plugins=$3

work=$(mktemp -d /tmp/orvix-installed.XXXXXX)
sim_pid=""
cleanup() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

prefix=$work/prefix
if ! "$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  exit 1
fi
chmod 555 "$prefix/bin"
ls "$prefix/bin" >"$work/bin-before.txt"

# The user's side: home, runtime folder, the image. XDG_CONFIG_HOME and XDG_STATE_HOME do not
# exist yet; the program makes what it needs.
user=$work/user
mkdir -p "$user/home" "$user/runtime"
chmod 700 "$user/runtime"
head -c 3000 /dev/urandom >"$user/image.bin"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  # Root writes through any folder mode: be an ordinary user, as the program's users are.
  chmod 755 "$work"
  chown -R 65534:65534 "$user"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi

run_window() {
  local log=$1; shift
  timeout 120 "${as_user[@]}" env QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH="$plugins" \
    QT_QPA_GENERIC_PLUGINS=orvixdriver HOME="$user/home" XDG_RUNTIME_DIR="$user/runtime" \
    XDG_CONFIG_HOME="$user/config" XDG_STATE_HOME="$user/state" "$@" "$prefix/bin/orvix" \
    ${window_argument:+"$window_argument"} >"$log" 2>&1
}

check_window_log() {
  local log=$1 rc=$2
  [[ $rc -eq 0 ]] || fail "the window program ended with status $rc"
  grep -q '^driver: closing' "$log" || fail "the window was never closed by the driver"
  if grep -q '^driver: message box' "$log" || grep -q 'Unable to write' "$log"; then
    fail "an error box appeared: $(grep -E '^driver: message box|Unable to write' "$log")"
  fi
}

echo "== a plain start and close"
window_argument=""
run_window "$work/first.txt"
check_window_log "$work/first.txt" $?
ini=$user/config/orvix/orvix.ini
if [[ -f $ini ]]; then
  keys=$(awk -F= '/^\[/ { in_section = ($0 == "[TfmMain]") } in_section && /=/ { print $1 }' "$ini" |
    sed 's/([0-9]*x[0-9]*)$/(WxH)/' | tr '\n' ' ')
  expected="FormVersion Flags ShowCmd PixelsPerInch MinMaxPos(WxH) MinMaxPos NormPos(WxH) NormPos Visible "
  [[ $keys == "$expected" ]] || fail "the ini file's keys are '$keys', not '$expected'"
else
  fail "no ini file at $ini"
fi

echo "== a run with /l against the simulator"
"${as_user[@]}" "$prefix/bin/orvix-devsim" --timeout 100 --save "$user/memory.bin" \
  >"$user/sim.txt" 2>&1 &
sim_pid=$!
map=""
for _ in $(seq 100); do
  map=$(head -n 1 "$user/sim.txt" 2>/dev/null)
  [[ $map == COM*=/dev/* ]] && break
  sleep 0.1
done
[[ $map == COM*=/dev/* ]] || { cat "$user/sim.txt"; fail "the simulator did not start"; exit 1; }
window_argument=/l
run_window "$work/second.txt" ORVIX_PORTS="$map" ORVIX_DRIVE_IMAGE="$user/image.bin"
check_window_log "$work/second.txt" $?
grep -q '^driver: status: Программирование завершено$' "$work/second.txt" ||
  fail "the run did not finish: $(grep '^driver: status' "$work/second.txt")"
wait "$sim_pid"
sim_pid=""
cmp -s "$user/image.bin" "$user/memory.bin" || fail "the simulator's memory differs from the image"
log=$user/state/orvix/out.txt
if [[ -f $log ]]; then
  head -n 1 "$log" | grep -q '^-> D1 ' || fail "out.txt does not start with a sent frame"
  [[ $(grep -c '^<- ' "$log") -ge 25 ]] || fail "out.txt holds fewer replies than the run had"
else
  fail "no out.txt at $log"
fi

ls "$prefix/bin" >"$work/bin-after.txt"
cmp -s "$work/bin-before.txt" "$work/bin-after.txt" ||
  fail "files appeared beside the executable: $(comm -13 "$work/bin-before.txt" "$work/bin-after.txt")"

if [[ $failures -gt 0 ]]; then
  for f in "$work/first.txt" "$work/second.txt" "$user/sim.txt"; do
    [[ -f $f ]] && { echo "--- $f"; tail -n 20 "$f"; }
  done
  exit 1
fi
echo "installed window: ini file, out.txt and run as expected"
