#!/usr/bin/env bash
# The main job, for now: builds everything and shows the frame codec on sample packets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh build
build/cli/orvix-frame-sample
