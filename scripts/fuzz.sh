#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# in build-fuzz/ and runs each for a fixed number of inputs, starting from its seed corpus in
# fuzz/corpus/. New inputs the fuzzer keeps go to a scratch folder, never into the repository.
#   scripts/fuzz.sh [RUNS]     (default 20000 inputs per target)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20000}
scripts/bootstrap.sh sanitizers

targets=(frames hex_text port_map port_order placement_ini ihex srec)
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM
for target in "${targets[@]}"; do
  mkdir -p "$scratch/$target"
  log="$scratch/$target.log"
  # A fixed seed: the same inputs each time, so a failure here repeats on the next run.
  if build-fuzz/fuzz/fuzz_"$target" -runs="$runs" -seed=1 -max_len=4096 -print_final_stats=1 \
       -artifact_prefix="$scratch/$target-" "$scratch/$target" "fuzz/corpus/$target" \
       > "$log" 2>&1; then
    echo "fuzz $target: $runs inputs, $(grep -o 'cov: [0-9]*' "$log" | tail -n1), no failure"
  else
    echo "fuzz $target: FAILED" >&2
    tail -n 40 "$log" >&2
    for crash in "$scratch/$target"-*; do
      [[ -f "$crash" ]] && { echo "input (hex):"; od -An -tx1 "$crash" | head -n 20; } >&2
    done
    exit 1
  fi
done
