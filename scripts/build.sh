#!/usr/bin/env bash
# Configures and builds one of the configurations CMakePresets.json names (default, release,
# asan, tsan, fuzz, windows) in its own folder: scripts/build.sh PRESET [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1; shift
cmake --preset "$preset" "$@" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
