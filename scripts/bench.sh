#!/usr/bin/env bash
# Runs every benchmark once, side by side, and prints one table with the goals. Not part of the
# test command: it takes about four minutes and prints figures, it asserts nothing.
#   scripts/bench.sh [build-dir]        (default: build/, the default preset, built first)
# The raw output of each program is kept in the folder the table names at its end.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/bootstrap.sh bench
if [[ $build == build ]]; then
  scripts/build.sh default >/dev/null
else
  cmake --build "$build" >/dev/null
fi

out=$(mktemp -d /tmp/orvix-bench.XXXXXX)
sim_pid=""
cleanup() { [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$out}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
run() {  # run NAME PROGRAM ARGS...: keeps the output, shows the human lines
  local name=$1; shift
  echo "== $name: $*" >&2
  "$@" > "$out/$name.txt"
  grep -v '^RESULT ' "$out/$name.txt" >&2 || true
}
run wire "$build/bench/flash_bench" wire --runs 3
run turnaround "$build/bench/flash_bench" turnaround --runs 7
run log_unpaced "$build/bench/flash_bench" log --runs 7
run log_paced "$build/bench/flash_bench" log --baud 57600 --runs 1
run discovery "$build/bench/discovery_bench" --idle 10
run memory "$build/bench/memory_bench" --runs 10
# 32 simulators on threads of gang_bench, 32 pseudo-terminals, and two threads a port in orvix-flash.
run gang "$build/bench/gang_bench" --devices 32 --size 65536 --baud 57600 --runs 3
# The window's gang run (offscreen) against orvix-flash --all on the same eight paced simulators.
if [[ -x "$build/bench/window_gang_bench" ]]; then
  run window_gang "$build/bench/window_gang_bench" --devices 8 --size 65536 --baud 57600 --runs 3
fi

# Where the software time of a block goes: one unpaced full-image run under a profiler, against
# the simulator as a process of its own. perf when this machine's kernel gives it instruction
# counts, callgrind otherwise (virtual machines often have no counters).
head -c 65536 /dev/urandom > "$out/image.bin"
start_device() {
  mkfifo "$out/sim.fifo"
  "$build/tools/devsim/orvix-devsim" --timeout 300 > "$out/sim.fifo" &
  sim_pid=$!
  exec 3< "$out/sim.fifo"
  read -r device <&3
  rm -f "$out/sim.fifo"
}
stop_device() { wait "$sim_pid" || true; sim_pid=""; cat <&3 > /dev/null; exec 3<&-; }
frames=513  # 512 blocks and the checksum frame
if perf stat -e instructions -x, true 2>&1 | grep -q ',instructions' &&
   ! perf stat -e instructions -x, true 2>&1 | grep -q 'not supported'; then
  profiler=perf
  start_device
  ORVIX_PORTS="$device" perf record -q -g -o "$out/perf.data" -- \
    "$build/cli/orvix-flash" -q "$out/image.bin" 2>/dev/null
  stop_device
  perf report -i "$out/perf.data" --stdio --children --sort symbol 2>/dev/null > "$out/profile.txt"
  perf report -i "$out/perf.data" --stdio --no-children --sort symbol 2>/dev/null > "$out/self.txt"
else
  profiler=callgrind
  start_device
  ORVIX_PORTS="$device" valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.out" \
    "$build/cli/orvix-flash" -q "$out/image.bin" 2> "$out/valgrind.txt"
  stop_device
  # Every function, not the top 99 %: a small stage cut off would read 0/0.
  callgrind_annotate --auto=no --threshold=100 --inclusive=yes "$out/callgrind.out" \
    > "$out/profile.txt"
  callgrind_annotate --auto=no --threshold=100 "$out/callgrind.out" > "$out/self.txt"
fi
syscalls="n/a (no strace)"
if command -v strace > /dev/null; then
  start_device
  ORVIX_PORTS="$device" strace -f -c -o "$out/syscalls.txt" \
    "$build/cli/orvix-flash" -q "$out/image.bin" 2>/dev/null
  stop_device
  syscalls=$(awk -v f=$frames '$NF == "total" { printf "%.1f", $(NF-2) / f }' "$out/syscalls.txt")
fi
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# ---- The table.
declare -A r
while read -r _ key value; do r[$key]=$value; done < <(cat "$out"/*.txt | grep '^RESULT ')
verdict() { if awk "BEGIN { exit !($1) }"; then echo "met"; else echo "NOT met"; fi; }
# "a/b" pairs: met when every pair holds the same number twice.
same() {
  local pair
  for pair in "$@"; do [[ "${pair%/*}" == "${pair#*/}" ]] || { echo "NOT met"; return; }; done
  echo "met"
}
# Instructions of the whole process in the profiled functions, a block's share: inclusive
# (the function and what it calls) and self.
share() {
  local pattern=$1 inc self
  inc=$(grep -F -m1 "$pattern" "$out/profile.txt" | awk '{ gsub(",", "", $1); print $1 }')
  self=$(grep -F -m1 "$pattern" "$out/self.txt" | awk '{ gsub(",", "", $1); print $1 }')
  # A function renamed or gone must not pass for one that costs nothing.
  if [[ -z "$inc" && -z "$self" ]]; then printf 'not in the profile'; return; fi
  printf '%s/%s' "$(awk -v n="${inc:-0}" -v f=$frames 'BEGIN { printf "%.0f", n / f }')" \
                 "$(awk -v n="${self:-0}" -v f=$frames 'BEGIN { printf "%.0f", n / f }')"
}

cat <<EOF

Orvix benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC')
machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)
load average (1, 5, 15 min): $load_before before, $load_after after

| # | Figure | Measured | Goal | |
|---|---|---|---|---|
| 1 | Full image (65,536 bytes) at 57,600 baud: wire-time limit / whole orvix-flash time, quiet start included (median of 3) | ${r[wire.limit_s]} s / ${r[wire.measured_s]} s = **${r[wire.ratio]}** | >= 0.965 | $(verdict "${r[wire.ratio]} >= 0.965") |
| 1a | ... from the first block on, at the device: the blocks' and the checksum's wire-time limit / first block's first byte to the checksum reply's last | ${r[wire.blocks.limit_s]} s / ${r[wire.blocks.measured_s]} s = **${r[wire.blocks.ratio]}** | >= 0.985 | $(verdict "${r[wire.blocks.ratio]} >= 0.985") |
| 1b | ... quiet start: the device's ping answer to the first block, at the device (median) | ${r[wire.quiet_start_ms]} ms | | |
| 1c | ... of the time beyond the line: host turnaround per block (reply's last byte to next frame, seen at the device) | ${r[wire.host_turnaround_ms]} ms | | |
| 1d | ... the simulated device's replies leaving late (its own error), in all | ${r[wire.sim_late_s]} s | | |
| 1e | ... start-up, discovery and teardown | ${r[wire.rest_s]} s | | |
| 2 | Unpaced: time per block, first block to checksum at the device (host, kernel and simulator together; median of 7) | **${r[turnaround.wall_ms_per_block]} ms** | <= 0.2 ms | $(verdict "${r[turnaround.wall_ms_per_block]} <= 0.2") |
| 2a | ... CPU of orvix-flash per block, beyond a one-block run | ${r[turnaround.cpu_ms_per_block]} ms | | |
| 2b | ... system calls of orvix-flash per block (strace -c) | $syscalls | | |
| 3 | Discovery, device on COM32 of 32: start to first block | ${r[discovery.first_block_ms]} ms | | |
| 3a | 32 ports pinged 10 s, no device: CPU of the process | **${r[discovery.idle_cpu_pct]} %** of one core (${r[discovery.idle_pings_per_s]} pings/s) | < 3 % | $(verdict "${r[discovery.idle_cpu_pct]} < 3") |
| 3b | ... time to end once it gives up (32 open ports) | ${r[discovery.stop_s]} s | | |
| 3c | Engine in process, 32 ports, run that found the device: descriptors / threads before -> after | ${r[discovery.found.fds_before_after]} / ${r[discovery.found.threads_before_after]} (teardown ${r[discovery.found.teardown_s]} s) | equal | $(same "${r[discovery.found.fds_before_after]}" "${r[discovery.found.threads_before_after]}") |
| 3d | ... run stopped with no device | ${r[discovery.stopped.fds_before_after]} / ${r[discovery.stopped.threads_before_after]} (teardown ${r[discovery.stopped.teardown_s]} s) | equal | $(same "${r[discovery.stopped.fds_before_after]}" "${r[discovery.stopped.threads_before_after]}") |
| 4 | Peak resident size of orvix-flash, full image | **${r[memory.flash_peak_rss_kib]} KiB** | < 8192 KiB | $(verdict "${r[memory.flash_peak_rss_kib]} < 8192") |
| 4a | Ten full-image runs in one process (${r[memory.runs_driver]}): resident after run 2 -> after run 10 | ${r[memory.runs_rss_run2_kib]} -> ${r[memory.runs_rss_last_kib]} KiB (**${r[memory.runs_growth_kib]} KiB**) | no growth | $(verdict "${r[memory.runs_growth_kib]} <= 0") |
| 5 | Frame log, unpaced (median of 7): with --log vs without | ${r[log.unpaced.with_s]} s vs ${r[log.unpaced.without_s]} s = **${r[log.unpaced.slower_pct]} %** | <= 5 % slower | $(verdict "${r[log.unpaced.slower_pct]} <= 5") |
| 5a | Frame log at 57,600 baud: with --log vs without | ${r[log.paced.with_s]} s vs ${r[log.paced.without_s]} s = **${r[log.paced.slower_pct]} %** | <= 5 % slower | $(verdict "${r[log.paced.slower_pct]} <= 5") |
| 6 | Gang mode, ${r[gang.devices]} devices at 57,600 baud, 65,536 bytes (median of 3): gang run / single run, wall | ${r[gang.gang_s]} s / ${r[gang.single_s]} s = **${r[gang.wall_ratio]}** | <= 1.05 | $(verdict "${r[gang.wall_ratio]} <= 1.05") |
| 6a | ... CPU of orvix-flash, gang / single: ${r[gang.gang_cpu_s]} s / ${r[gang.single_cpu_s]} s = ${r[gang.cpu_ratio]}; a device's share in the gang against a single run | **${r[gang.cpu_per_device_ms]} ms** vs $(awk -v s="${r[gang.single_cpu_s]}" 'BEGIN { printf "%.1f", s * 1000 }') ms | no more than a single run | $(verdict "${r[gang.cpu_per_device_ms]} <= ${r[gang.single_cpu_s]} * 1000") |
| 7 | Gang mode in the window, ${r[window_gang.devices]:-n/a} devices at 57,600 baud, 65,536 bytes (median of 3): Load to the count / orvix-flash --all, whole process, same simulators | ${r[window_gang.window_s]:-n/a} s / ${r[window_gang.flash_s]:-n/a} s = **${r[window_gang.ratio]:-n/a}** | <= 1.02 | $( [[ -n "${r[window_gang.ratio]:-}" ]] && verdict "${r[window_gang.ratio]} <= 1.02" || echo "not built" ) |

Where a block's software time goes ($profiler, unpaced full image; instructions per block,
including what each calls / in the function itself):

| Stage | Function | Instructions per block |
|---|---|---|
| event thread wake and pump | TLinuxSerialBackend::WaitEvents | $(share 'TLinuxSerialBackend::WaitEvents') |
| hand-over, event thread side | orvix::RunOnMainThread | $(share 'orvix::RunOnMainThread(') |
| hand-over, main thread side (runs the dispatch) | orvix::RunPendingHandOvers | $(share 'orvix::RunPendingHandOvers()') |
| receive event dispatch | TCustomSerialPort::DispatchEvents | $(share 'TCustomSerialPort::DispatchEvents') |
| packet channel: received bytes | TRSPack::PortRxChar | $(share 'TRSPack::PortRxChar') |
| read from the queue | TCustomSerialPort::ReceiveBytes | $(share 'TCustomSerialPort::ReceiveBytes') |
| assembler (runs the transfer for a complete frame) | FrameAssembler::Feed | $(share 'FrameAssembler::Feed') |
| transfer: received frame | TTransfer::PacketReceived | $(share 'TTransfer::PacketReceived') |
| transfer: reply rules (runs the next frame) | TTransfer::HandleReply | $(share 'TTransfer::HandleReply') |
| transfer: next block | TTransfer::SendBlock | $(share 'TTransfer::SendBlock()') |
| progress to the front ends | TEventFan::Progress | $(share 'TEventFan::Progress') |
| frame out: encode and write | TRSPack::SendPacket | $(share 'TRSPack::SendPacket') |
| frame encoding | orvix::EncodePacket | $(share 'orvix::EncodePacket') |
| write | TCustomSerialPort::SendBytes | $(share 'TCustomSerialPort::SendBytes') |
| write to the line | TLinuxSerialBackend::Write | $(share 'TLinuxSerialBackend::Write(') |
| allocation | malloc + free | $(share 'malloc.c:malloc ') + $(share 'malloc.c:free ') |
| whole process (start-up included) | total | $(grep -m1 'PROGRAM TOTALS' "$out/self.txt" 2>/dev/null | awk -v f=$frames '{ gsub(",", "", $1); printf "%.0f", $1 / f }') |

Reproduce: scripts/bench.sh   (raw output and the profile: $out)
EOF
