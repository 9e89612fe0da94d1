#!/usr/bin/env bash
# The main job, headless: builds, starts the simulated device on a pseudo-terminal, programs a
# sample image into it with orvix-flash, and checks that the device's memory equals the image.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh default

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

head -c 20000 /dev/urandom > "$work/image.bin"
mkfifo "$work/sim.out"
build/tools/devsim/orvix-devsim --name COM9 --device 5 --timeout 120 \
  --save "$work/memory.bin" > "$work/sim.out" &
sim_pid=$!
exec 3< "$work/sim.out"
read -r entry <&3
echo "device simulator: $entry"

ORVIX_PORTS="$entry" build/cli/orvix-flash --device 5 --log "$work/frames.txt" "$work/image.bin"
wait "$sim_pid" && sim_status=0 || sim_status=$?
sim_pid=""
cat <&3
echo "frames exchanged: $(wc -l < "$work/frames.txt") (frame log lines)"
if [[ $sim_status -eq 0 ]] && cmp -s "$work/image.bin" "$work/memory.bin"; then
  echo "demo: the device's memory equals the image ($(stat -c %s "$work/image.bin") bytes)"
else
  echo "demo: FAILED: the device's memory differs from the image" >&2
  exit 1
fi
