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
  -R '^(HandOver|Thread|Timer|Loop|DevSim[A-Za-z]*|PortRules|SerialOpen|SerialEvents|SerialTransfer|RSPack[A-Za-z]*|ComPing[A-Za-z]*|DiscoveryOverManyPorts|ExchangeEngine[A-Za-z]*)\.'

echo "== the packet channel, discovery and the engine under AddressSanitizer"
# Only these programs: the teardown order of ports, channels and threads is what they check.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVIX_SANITIZE=address,undefined -DORVIX_GUI=OFF >/dev/null
cmake --build build-asan -j"$(nproc)" --target channel_tests exchange_engine_tests
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 300 \
  -R '^(RSPack|ComPing|DiscoveryOverManyPorts|ExchangeEngine)[A-Za-z]*\.'

echo "== the Windows build under Wine"
scripts/wine-tests.sh
