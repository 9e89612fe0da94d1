#!/usr/bin/env bash
# The Windows build under Wine: cross-builds build-win with MinGW-w64, makes a throw-away Wine
# prefix, maps COM ports to pseudo-terminals whose far ends run on Linux, and runs
#   - the core unit tests as Windows programs,
#   - the serial port's tests through those COM ports (a looped-back line, a line that never
#     reads, a device that hangs up, and one run of Wine without the modem-line shim),
#   - the port list against the registry, and the port identity and setup check through SetupAPI,
#   - one complete orvix-flash.exe run against orvix-devsim, whose memory must equal the image,
#   - the window program orvix.exe on an X display, when it was built (scripts/wine-window-tests.sh;
#     it needs the Qt for Windows that scripts/windows-qt.sh builds),
#   - then the installer and the zip of scripts/package-windows.sh in a fresh prefix of their own
#     (scripts/wine-install-tests.sh; they need orvix.exe too).
# Prints "N passed, N failed" last and exits non-zero when anything failed. Only when Wine cannot
# start at all does it print a SKIPPED line instead (and exit 0).
#   scripts/wine-tests.sh            (logs: build-win/wine-logs/)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/bootstrap.sh wine || exit 1

jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
linux_build=${ORVIX_LINUX_BUILD:-build}
win_build=build-win
logs=$root/$win_build/wine-logs

echo "== wine: building the Linux far ends and the Windows programs"
if [[ ! -f $linux_build/CMakeCache.txt ]]; then
  cmake --preset default -B "$linux_build" >/dev/null || exit 1
fi
cmake --build "$linux_build" -j"$jobs" --target orvix-devsim wine_tiocm_preload wine_hold_line \
  >/dev/null || { echo "wine-tests: the Linux helpers did not build" >&2; exit 1; }
mkdir -p "$win_build"
cmake --preset windows >"$win_build/configure.txt" ||
  { cat "$win_build/configure.txt"; exit 1; }
# Whether the window program is built, and with which Qt; an orvix.exe left by an earlier
# configure with a Qt does not count.
grep -F 'orvix.exe' "$win_build/configure.txt" | sed 's/^-- /   /'
window_built=0
grep -q '^-- orvix.exe is built' "$win_build/configure.txt" && window_built=1
cmake --build "$win_build" -j"$jobs" >/dev/null ||
  { cmake --build "$win_build" -j1 2>&1 | tail -30; echo "wine-tests: the Windows build failed" >&2; exit 1; }

devsim=$root/$linux_build/tools/devsim/orvix-devsim
preload=$root/$linux_build/tests/wine/libwine_tiocm_preload.so
hold_line=$root/$linux_build/tests/wine/wine_hold_line

rm -rf "$logs"
mkdir -p "$logs"
work=$(mktemp -d /tmp/orvix-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The window's checks read its Russian texts: Windows would choose by the UI language, which a
# fresh prefix takes from the machine's locale.
export ORVIX_LANG=ru
unset DISPLAY WAYLAND_DISPLAY
far_ends=()

# Stops and reaps the processes whose ids the array named $1 holds, then empties it.
stop_all() {
  local -n pids=$1
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  pids=()
}
stop_far_ends() { stop_all far_ends; }

cleanup() {
  stop_far_ends
  declare -F stop_window_helpers >/dev/null && stop_window_helpers
  declare -F stop_install_helpers >/dev/null && stop_install_helpers
  if [[ -d $WINEPREFIX ]]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

passed=0
failed=0
skipped=0
note() { echo "   $*"; }
pass() { passed=$((passed + 1)); note "ok   $*"; }
fail() { failed=$((failed + 1)); note "FAIL $*"; }

# Starts a far end whose first output line names its pseudo-terminal, and stores that path in
# the variable named first. The far end's process id is then last in far_ends.
start_far_end() {
  local variable=$1 name=$2
  shift 2
  "$@" >"$logs/$name.txt" 2>&1 &
  far_ends+=($!)
  local line=""
  for _ in $(seq 50); do
    line=$(head -n 1 "$logs/$name.txt" 2>/dev/null)
    [[ -n $line ]] && break
    sleep 0.1
  done
  [[ $line == */dev/pts/* ]] || { echo "wine-tests: $name did not start: $line" >&2; return 1; }
  printf -v "$variable" '%s' "/dev/pts/${line##*/dev/pts/}"
}

# Runs a GoogleTest program under Wine and adds its counts; a program that ends without its
# summary counts as one failure.
run_gtest() {
  local name=$1; shift
  local log=$logs/$name.txt
  timeout 300 wine "$@" </dev/null >"$log" 2>&1
  local rc=$?
  local p f s
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -n 1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log" | tail -n 1)
  s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log" | tail -n 1)
  p=${p:-0} f=${f:-0} s=${s:-0}
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + s))
  if [[ $p -eq 0 && $f -eq 0 && $s -eq 0 ]] || [[ $rc -ne 0 && $f -eq 0 ]]; then
    failed=$((failed + 1))
    note "FAIL $name ended with status $rc without its results (log: $log)"
    tail -n 5 "$log" | sed 's/^/        /'
    return
  fi
  note "$name: $p passed, $f failed$([[ $s -gt 0 ]] && echo ", $s skipped")"
  [[ $f -gt 0 ]] && grep '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u | sed 's/^/        /'
}

echo "== wine: a fresh prefix"
mkdir -p "$WINEPREFIX" "$work/links"
if ! timeout 300 wineboot -i </dev/null >"$logs/wineboot.txt" 2>&1; then
  tail -n 5 "$logs/wineboot.txt" | sed 's/^/   /'
  echo "wine-tests: SKIPPED: Wine cannot start here (wineboot -i failed, see $logs/wineboot.txt)"
  exit 0
fi
wineserver -w

echo "== wine: COM ports on pseudo-terminals"
start_far_end loop_pty loop "$devsim" --name COM11 --echo --silent --serve --timeout 900 &&
  start_far_end hold_pty hold "$hold_line" 900 &&
  start_far_end hangup_pty hangup "$devsim" --name COM13 --hang-up-after 0 --timeout 900 ||
  exit 1
ln -s "$loop_pty" "$work/links/com11"
ln -s "$hold_pty" "$work/links/com12"
ln -s "$hangup_pty" "$work/links/com13"
ln -s /nonexistent "$work/links/com14"
for n in 11 12 13 14; do
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /d "$work/links/com$n" /f \
    </dev/null >>"$logs/wine-setup.txt" 2>&1 || { echo "wine-tests: reg add failed" >&2; exit 1; }
done
# Wine reads the port map when its server starts. The server opens the ptys without O_NOCTTY:
# setsid keeps them from becoming our controlling terminal; outputs go to files, as the helper
# processes of the first command hold on to them.
wineserver -k >/dev/null 2>&1
wineserver -w
setsid wineserver -p 120 </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1
note "COM11 echo ($loop_pty), COM12 never reads ($hold_pty), COM13 hangs up ($hangup_pty)"

export LD_PRELOAD=$preload
echo "== wine: core unit tests"
for t in runtime/runtime_tests link/link_tests serial/serial_tests exchange/exchange_tests \
         cli/cli_tests app/hex_text_tests; do
  run_gtest "$(basename "$t")" "$win_build/tests/$t.exe"
done
ORVIX_WINE_PORTS="COM11 COM12 COM13 COM14" run_gtest win32_tests "$win_build/tests/wine/win32_tests.exe"

echo "== wine: the serial port through COM ports"
ORVIX_WINE_LOOP_PORT=COM11 ORVIX_WINE_HOLD_PORT=COM12 ORVIX_WINE_HANGUP_PORT=COM13 \
  run_gtest serial_wine_tests "$win_build/tests/wine/serial_wine_tests.exe" \
  --gtest_filter=-WineBare.*
# Wine as it is: every WaitCommEvent on a pty cancelled, the modem status refused.
(unset LD_PRELOAD; ORVIX_WINE_BARE_PORT=COM11 run_gtest serial_wine_tests_bare \
  "$win_build/tests/wine/serial_wine_tests.exe" --gtest_filter=WineBare.*
 echo "$passed $failed $skipped" >"$work/bare-counts")
read -r passed failed skipped <"$work/bare-counts"

echo "== wine: orvix-flash.exe programs orvix-devsim"
# Only the device is left on the line: an echoing port would answer the pings with themselves.
stop_far_ends
rm -f "$work/links/com11" "$work/links/com12" "$work/links/com13" "$work/links/com14"
head -c 20000 /dev/urandom >"$work/image.bin"
if start_far_end flash_pty devsim "$devsim" --name COM14 --device 5 --timeout 120 \
     --save "$work/memory.bin"; then
  sim_pid=${far_ends[-1]}
  ln -s "$flash_pty" "$work/links/com14"
  image=$(winepath -w "$work/image.bin" 2>/dev/null </dev/null) || image=$work/image.bin
  timeout 180 wine "$win_build/cli/orvix-flash.exe" --device 5 --wait 60 "$image" \
    </dev/null >"$logs/orvix-flash.txt" 2>&1
  flash_status=$?
  wait "$sim_pid"
  sim_status=$?
  far_ends=()
  if [[ $flash_status -eq 0 && $sim_status -eq 0 ]] && cmp -s "$work/image.bin" "$work/memory.bin"
  then
    pass "orvix-flash.exe: the device's memory equals the 20000-byte image"
  else
    fail "orvix-flash.exe exit $flash_status, simulator exit $sim_status, memory $(
      cmp -s "$work/image.bin" "$work/memory.bin" && echo equal || echo differs) (logs: $logs)"
    tail -n 5 "$logs/orvix-flash.txt" | sed 's/^/        /'
  fi
else
  fail "orvix-devsim did not start"
fi

echo "== wine: orvix-flash.exe --all programs two devices at once"
rm -f "$work/links/com13" "$work/links/com14"
gang_ok=1
for n in 13 14; do
  if start_far_end gang_pty "devsim$n" "$devsim" --name "COM$n" --device 5 --timeout 120 \
       --save "$work/memory$n.bin"; then
    ln -s "$gang_pty" "$work/links/com$n"
  else
    gang_ok=0
  fi
done
if [[ $gang_ok -eq 1 ]]; then
  gang_sims=("${far_ends[@]}")
  image=$(winepath -w "$work/image.bin" 2>/dev/null </dev/null) || image=$work/image.bin
  timeout 180 wine "$win_build/cli/orvix-flash.exe" --all --expect 2 --wait 60 --json \
    --device 5 "$image" \
    </dev/null >"$logs/orvix-flash-all.jsonl" 2>"$logs/orvix-flash-all.txt"
  gang_status=$?
  sims_status=0
  for pid in "${gang_sims[@]}"; do wait "$pid" || sims_status=1; done
  far_ends=()
  summary=$(tail -n 1 "$logs/orvix-flash-all.jsonl" | tr -d '\r')
  if [[ $gang_status -eq 0 && $sims_status -eq 0 && $summary == *'"finished":2'* ]] &&
     cmp -s "$work/image.bin" "$work/memory13.bin" && cmp -s "$work/image.bin" "$work/memory14.bin"
  then
    pass "orvix-flash.exe --all: both memories equal the image, the JSON summary counts two"
  else
    fail "orvix-flash.exe --all exit $gang_status, simulators $sims_status, summary $summary" \
      "(logs: $logs)"
    tail -n 5 "$logs/orvix-flash-all.txt" | sed 's/^/        /'
  fi
else
  fail "orvix-devsim did not start for the gang run"
fi
# A link left to a closed pseudo-terminal would reach the next far end given the same number.
stop_far_ends
rm -f "$work/links/com13" "$work/links/com14"

echo "== wine: orvix-flash.exe in English and in Russian, as the locale chooses"
# Wine takes Windows' UI language from the Unix locale it starts in, which must exist: the two
# are compiled here (the locales package's sources), as a machine with only C.UTF-8 lacks them.
export LOCPATH=$work/locales
mkdir -p "$LOCPATH"
for locale in en_US ru_RU; do localedef -i "$locale" -f UTF-8 "$LOCPATH/$locale.UTF-8" 2>/dev/null; done
refused=$(winepath -w "$work/no-such-image.bin" 2>/dev/null </dev/null) || refused=$work/none.bin
# Each: the arguments, the exit status, a Russian text it shows in Russian.
language_runs=("-d 300 x.bin|64|неверный номер устройства \"300\""
               "--help|0|Код выхода:"
               "$refused|66|Не удается открыть файл"
               "--port COM12 --wait 1 $(winepath -w "$work/image.bin" 2>/dev/null </dev/null)|3|Нет ответа от устройства")
for locale in en_US.UTF-8 ru_RU.UTF-8; do
  wrong=()
  for run in "${language_runs[@]}"; do
    IFS='|' read -r args status russian <<<"$run"
    read -r -a words <<<"$args"
    out=$(env -u ORVIX_LANG -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=$locale \
      timeout 120 wine "$win_build/cli/orvix-flash.exe" "${words[@]}" </dev/null 2>&1)
    got=$?
    out=${out//$'\r'/}
    [[ $got -eq $status ]] || wrong+=("'$args' exit $got, not $status")
    if [[ $locale == ru_* ]]; then
      [[ $out == *"$russian"* ]] || wrong+=("'$args' does not say '$russian'")
    elif LC_ALL=C grep -q $'[\xd0\xd1]' <<<"$out"; then
      wrong+=("'$args' shows Cyrillic: $(head -n 1 <<<"$out")")
    fi
  done
  if [[ ${#wrong[@]} -eq 0 ]]; then
    pass "orvix-flash.exe under LANG=$locale: ${#language_runs[@]} runs in its language, same exits"
  else
    fail "orvix-flash.exe under LANG=$locale: ${wrong[*]}"
  fi
done

source "$root/scripts/wine-window-tests.sh"
source "$root/scripts/wine-install-tests.sh"

echo "wine: $passed passed, $failed failed$([[ $skipped -gt 0 ]] && echo ", $skipped skipped")"
[[ $failed -eq 0 ]]
