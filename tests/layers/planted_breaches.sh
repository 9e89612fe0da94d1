#!/usr/bin/env bash
# Copies the layers of the tree, plants one breach at a time and checks that
# scripts/check-layers.sh fails naming it; the untouched copy must pass.
#   tests/layers/planted_breaches.sh ROOT
set -uo pipefail
root=$1
check=$root/scripts/check-layers.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fresh_copy() {
  rm -rf "$scratch/tree"
  mkdir -p "$scratch/tree"
  (cd "$root" && cp -r runtime serial link channel exchange app cli "$scratch/tree/")
}

# expect_breach DESCRIPTION TEXT-THE-REPORT-MUST-HOLD: the tree in $scratch/tree must fail.
expect_breach() {
  local what=$1 needle=$2 out
  if out=$(bash "$check" "$scratch/tree" 2>&1); then
    echo "FAIL: not found: $what"
    failures=$((failures + 1))
  elif [[ $out != *"$needle"* ]]; then
    echo "FAIL: $what reported without '$needle':"
    echo "$out"
    failures=$((failures + 1))
  else
    echo "ok: $what"
  fi
}

# expect_pass DESCRIPTION: the tree in $scratch/tree must pass.
expect_pass() {
  local out
  if out=$(bash "$check" "$scratch/tree" 2>&1); then
    echo "ok: $1"
  else
    echo "FAIL: $1: reported:"
    echo "$out"
    failures=$((failures + 1))
  fi
}

plant() {
  fresh_copy
  printf '%s\n' "$2" >> "$scratch/tree/$1"
}

fresh_copy
expect_pass "the untouched copy passes"

plant exchange/exchange.h '#include "app/main_window.h"'
expect_breach "exchange/ including app/" "exchange/exchange.h:"
plant serial/serial_port.cpp '#include "channel/com_ping.h"'
expect_breach "serial/ including channel/" "serial/ includes channel/com_ping.h"
plant runtime/thread.cpp '  #  include "link/frame.h"'
expect_breach "runtime/ including link/, spaced out" "runtime/ includes link/frame.h"
plant serial/com_thread.h '#include "link/frame.h"'
expect_breach "serial/ including link/" "serial/ includes link/frame.h"
plant cli/main.cpp '#include "app/hex_text.h"'
expect_breach "cli/ including app/" "cli/ includes app/hex_text.h"
plant exchange/exchange.cpp '#include "runtime/qt/qt_loop.h"'
expect_breach "exchange/ including the Qt loop" "exchange/ includes runtime/qt/qt_loop.h"
plant channel/rs_pack.h '#include <QString>'
expect_breach "Qt in channel/" "includes <QString>, but channel/ builds without Qt"
plant runtime/handover.cpp '#include <QtCore/QObject>'
expect_breach "Qt in runtime/" "but runtime/ builds without Qt"
plant exchange/frame_log.cpp '#include "ui_exchange_window.h"'
expect_breach "a generated form in exchange/" "generated form ui_exchange_window.h"
plant exchange/CMakeLists.txt 'target_link_libraries(orvix_exchange PUBLIC
                      orvix_app)'
expect_breach "exchange/ linking the window library" "links orvix_app from app/"
plant link/CMakeLists.txt 'target_link_libraries(orvix_link PUBLIC Qt6::Core)'
expect_breach "link/ linking Qt" "links Qt6::Core"
plant serial/CMakeLists.txt 'set(CMAKE_AUTOMOC ON)'
expect_breach "Qt set up in serial/" "sets up Qt"

# What the check must leave alone: the Qt binding of the loop using Qt, the windows using any
# layer below them.
fresh_copy
printf '%s\n' '#include <QTimer>' >> "$scratch/tree/runtime/qt/qt_loop.cpp"
printf '%s\n' '#include "channel/com_ping.h"' >> "$scratch/tree/app/main.cpp"
expect_pass "Qt in runtime/qt and a window using channel/ pass"

if ((failures > 0)); then
  echo "planted breaches: $failures failure(s)"
  exit 1
fi
echo "planted breaches: every one found"
