#!/usr/bin/env bash
# The whole test suite: installs what it needs, builds, runs every test, then the Windows build
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh wine
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

echo "== build and unit/integration tests"
scripts/build.sh build
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 300

echo "== thread-heavy tests under ThreadSanitizer"
scripts/build.sh build-tsan -DORVIX_SANITIZE=thread -DORVIX_GUI=OFF
ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" --timeout 300 \
  -R '^(HandOver|Thread|Timer|Loop|DevSim[A-Za-z]*|PortRules|SerialOpen|SerialEvents|SerialTransfer)\.'

echo "== the Windows build under Wine"
scripts/wine-tests.sh
