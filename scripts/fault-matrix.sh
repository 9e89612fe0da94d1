#!/usr/bin/env bash
# The fault matrix: each row is a whole orvix-flash run against orvix-devsim with one fault, or a
# pair of faults, and its outcome checked. For every row:
#   - exit 0 only when the device's memory equals the image and its checksum matched;
#   - otherwise the expected non-zero status and final text;
#   - the flasher ends within 12 s of the last sign of the device (the last frame it received,
#     or the hang-up), and leaves no process behind and no descriptor on any of the row's lines.
#
#   scripts/fault-matrix.sh [--quick] [--jobs N] [--build DIR] [--only REGEX]
# --quick runs the subset the test command runs. Needs a built tree (scripts/build.sh default).
set -uo pipefail
cd "$(dirname "$0")/.."

build=build
jobs=2
quick=0
only=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --quick) quick=1 ;;
    --jobs) jobs=$2; shift ;;
    --build) build=$2; shift ;;
    --only) only=$2; shift ;;
    *) echo "fault-matrix: unknown option $1" >&2; exit 64 ;;
  esac
  shift
done

flash=$PWD/$build/cli/orvix-flash
devsim=$PWD/$build/tools/devsim/orvix-devsim
for program in "$flash" "$devsim"; do
  [[ -x "$program" ]] || { echo "fault-matrix: $program is not built" >&2; exit 1; }
done

# The rows read the flasher's own Russian texts, whatever language the machine's locale names.
export ORVIX_LANG=ru
readonly kDone="Программирование завершено"
readonly kNoAnswer="Нет ответа от устройства"
readonly kNoConfirmation="Нет подтверждения контрольной суммы"
readonly kAborted="Прграммирование прервано"
readonly kLimit=12  # seconds from the device's last sign to the flasher's end

# One row: NAME QUICK SIZE "DEVICE OPTIONS" "FLASH OPTIONS" EXIT "FINAL TEXT" [SETUP...]
# SETUP words: echo-port, garbage-port, held-port (other lines beside the device), held (the
# device's own line held by another opener), kill-device=SEC (the device dies), sigint=SEC.
rows=()
row() { rows+=("$(printf '%s\x1f' "$@")"); }

# Every fault alone.
row clean                    1  3000  ""                                   ""      0 "$kDone"
row silence                  1  3000  "--silent"                           "-w 3"  3 "$kNoAnswer"
row other-device-number      0  3000  "--device 7"                         "-d 5 -w 2" 3 "$kNoAnswer"
row drop-ping                0  3000  "--drop ping:1"                      ""      0 "$kDone"
row drop-block-once          1  3000  "--drop block:2"                     ""      0 "$kDone"
row drop-block-twice         1  3000  "--drop block:2 --drop block:3"      ""      1 "$kNoAnswer"
row drop-checksum-once       0  3000  "--drop checksum:1"                  ""      0 "$kDone"
row drop-checksum-twice      1  3000  "--drop checksum"                    ""      1 "$kNoConfirmation"
row corrupt-ping             0  3000  "--corrupt ping"                     ""      0 "$kDone"
row corrupt-block-once       0  3000  "--corrupt block:1"                  ""      0 "$kDone"
row corrupt-block-twice      0  3000  "--corrupt block:3 --corrupt block:4" "" 1 "$kNoAnswer"
row corrupt-checksum-once    1  3000  "--corrupt checksum:1"               ""      0 "$kDone"
row corrupt-checksum-twice   0  3000  "--corrupt checksum"                 ""      1 "$kNoConfirmation"
row wrong-device-ping        0  3000  "--other-device ping"                ""      0 "$kDone"
row wrong-device-block-once  0  3000  "--other-device block:2"             ""      0 "$kDone"
row wrong-device-block-always 0 3000  "--other-device block=9"             ""      1 "$kNoAnswer"
row wrong-device-checksum    0  3000  "--other-device checksum"            ""      0 "$kDone"
row command1-replies         1  3000  "--reply-command block=1"            ""      0 "$kDone"
row command3-replies         0  3000  "--reply-command block=3 --reply-command checksum=1" "" 0 "$kDone"
row command4-reply-once      0  3000  "--reply-command block:2=4"          ""      0 "$kDone"
row command4-replies         0  3000  "--reply-command block=4"            ""      1 "$kNoAnswer"
row garbage-instead-of-reply 0  3000  "--garbage block:2=40"               ""      0 "$kDone"
row garbage-twice            0  3000  "--garbage block:2=40 --garbage block:3=3" "" 1 "$kNoAnswer"
row garbage-at-discovery     0  3000  "--garbage ping:1"                   ""      3 "$kNoAnswer"
row delay-all-300ms          0  1000  "--delay 300"                        ""      0 "$kDone"
row delay-past-reply-timeout 0  3000  "--delay block:2=6000"               ""      0 "$kDone"
# Ping answers still on their way after the hand-over, to a device that loses what arrives while
# it is busy after a block: taken for a block's reply, one would send a block into that time.
row late-ping-answers-busy    1  4096  "--delay ping=120 --busy-after-block 20" "" 0 "$kDone"
row ping-answers-200ms-busy  0  4096  "--delay ping=200 --busy-after-block 20" "" 0 "$kDone"
row two-ping-answers-busy    0  4096  "--twice ping=2 --busy-after-block 20" ""  0 "$kDone"
row tiny-chunks              1  1000  "--split 1/20"                       ""      0 "$kDone"
row chunks-past-frame-timeout 0 1000  "--split 1/100"                      ""      3 "$kNoAnswer"
row device-frame-timeout     0  3000  "--frame-timeout 20"                 ""      0 "$kDone"
row echo-on-device-line      0  3000  "--echo"                             ""      0 "$kDone"
row hang-up-at-first-block   1  3000  "--hang-up-after 0"                  ""      1 "$kNoAnswer"
row hang-up-after-1          0  3000  "--hang-up-after 1"                  ""      1 "$kNoAnswer"
row hang-up-after-10         0  3000  "--hang-up-after 10"                 ""      1 "$kNoAnswer"
row hang-up-at-last-block    0  3000  "--hang-up-after 23"                 ""      1 "$kNoAnswer"
row pacing-57600             1 20000  "--baud 57600"                       ""      0 "$kDone"
row pacing-57600-full-image  0 65536  "--baud 57600"                       ""      0 "$kDone"
# Other lines beside the device, and lines the flasher cannot have.
row echo-port-beside         1  3000  ""                                   ""      0 "$kDone" echo-port
row garbage-port-beside      0  3000  ""                                   ""      0 "$kDone" garbage-port
row held-port-beside         0  3000  ""                                   ""      0 "$kDone" held-port
row device-port-held         1  3000  ""                                   ""      3 "$kNoAnswer" held
row all-three-beside         0  3000  ""                          "" 0 "$kDone" echo-port garbage-port held-port
row device-dies-in-discovery 0  3000  "--silent"                           "-w 20" 3 "$kNoAnswer" kill-device=1
row device-dies-mid-run      1 65536  "--baud 57600"                       ""      1 "$kNoAnswer" kill-device=3
row interrupted-mid-run      0 65536  "--baud 57600"                       ""      2 "$kAborted" sigint=2
# Pairs that matter.
row pacing-and-drop          0 20000  "--baud 57600 --drop block:5"        ""      0 "$kDone"
row pacing-and-hang-up       0 20000  "--baud 57600 --hang-up-after 50"    ""      1 "$kNoAnswer"
row pacing-and-tiny-chunks   0  3000  "--baud 57600 --split 1/10"          ""      0 "$kDone"
row tiny-chunks-and-corrupt  0  1000  "--split 1/20 --corrupt block:2"     ""      0 "$kDone"
row delay-and-garbage        0  3000  "--delay 300 --garbage block:3=5"    ""      0 "$kDone"
row drop-then-corrupt        1  3000  "--drop block:2 --corrupt block:3"   ""      1 "$kNoAnswer"
row drop-then-wrong-device   0  3000  "--drop block:2 --other-device block:3" "" 1 "$kNoAnswer"
row checksum-drop-then-corrupt 0 3000 "--drop checksum:1 --corrupt checksum:2" "" 1 "$kNoConfirmation"
row drop-with-ports-beside   0  3000  "--drop block:1"                     ""      0 "$kDone" echo-port held-port
row hang-up-with-echo-port   0  3000  "--hang-up-after 2"                  ""      1 "$kNoAnswer" echo-port

work=$(mktemp -d /tmp/orvix-fault-matrix.XXXXXX)
trap 'rm -rf "$work"' EXIT

now() { echo "$EPOCHREALTIME"; }
# Seconds from $1 to $2, to a tenth.
seconds_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

# Starts orvix-devsim in the background with the given options; sets sim_pid and sim_entry.
start_device() {
  local dir=$1 name=$2; shift 2
  local out="$dir/$name.out"
  "$devsim" --name "$name" --timeout 120 "$@" > "$out" 2> "$dir/$name.err" &
  sim_pid=$!
  sim_entry=""
  for _ in $(seq 200); do
    sim_entry=$(head -n1 "$out" 2>/dev/null)
    [[ "$sim_entry" == *=* ]] && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "device $name did not start: $(cat "$dir/$name.err")"
  return 1
}

# Holds a line open with an exclusive flock, as another program using the port would.
hold_line() {
  local path=$1
  ( exec 9< "$path" && flock -n 9 && exec sleep 300 ) &
  held_pid=$!
}

# Descriptors on the line `path` held by processes other than the listed ones.
holders() {
  local path=$1; shift
  local fd pid
  find /proc/[0-9]*/fd -maxdepth 1 -lname "$path" 2>/dev/null | while read -r fd; do
    pid=${fd#/proc/}; pid=${pid%%/*}
    [[ " $* " == *" $pid "* ]] || echo "$pid"
  done | sort -u
}

run_row() {
  local index=$1
  IFS=$'\x1f' read -r -a f <<< "${rows[$index]}"
  local name=${f[0]} size=${f[2]} sim_options=${f[3]} flash_options=${f[4]}
  local want_exit=${f[5]} want_text=${f[6]}
  local setup=("${f[@]:7}")
  local dir="$work/$name"
  mkdir -p "$dir"
  local result="$work/$name.result"
  local problems=()
  local pids=() lines=() sim_pid sim_entry held_pid
  local map="" device_pid="" device_line="" kill_after="" sigint_after=""

  head -c "$size" /dev/urandom > "$dir/image.bin"
  # shellcheck disable=SC2086
  if ! start_device "$dir" COM1 --save "$dir/memory.bin" $sim_options; then
    echo "FAIL $name: the device did not start" > "$result"
    return
  fi
  device_pid=$sim_pid; pids+=("$sim_pid"); map=$sim_entry
  device_line=${sim_entry#*=}; lines+=("$device_line")

  local word
  for word in "${setup[@]}"; do
    case "$word" in
      echo-port)
        start_device "$dir" COM2 --echo --silent || problems+=("echo port did not start")
        pids+=("$sim_pid"); map+=";$sim_entry"; lines+=("${sim_entry#*=}") ;;
      garbage-port)
        start_device "$dir" COM3 --garbage any=60 || problems+=("garbage port did not start")
        pids+=("$sim_pid"); map+=";$sim_entry"; lines+=("${sim_entry#*=}") ;;
      held-port)
        start_device "$dir" COM4 || problems+=("held port did not start")
        pids+=("$sim_pid"); map+=";$sim_entry"; lines+=("${sim_entry#*=}")
        hold_line "${sim_entry#*=}"; pids+=("$held_pid") ;;
      held)
        hold_line "$device_line"; pids+=("$held_pid") ;;
      kill-device=*) kill_after=${word#*=} ;;
      sigint=*) sigint_after=${word#*=} ;;
    esac
  done
  sleep 0.2  # the holders take their locks

  # The frame log goes through a FIFO, so each received frame is stamped with its arrival.
  mkfifo "$dir/log.fifo"
  while IFS= read -r line; do
    printf '%s %s\n' "$EPOCHREALTIME" "$line"
  done < "$dir/log.fifo" > "$dir/log.txt" &
  local reader=$!

  local started flash_pid flash_exit ended
  started=$(now)
  # shellcheck disable=SC2086
  ORVIX_PORTS="$map" timeout -k 5 90 "$flash" --log "$dir/log.fifo" $flash_options \
    "$dir/image.bin" > "$dir/flash.out" 2> "$dir/flash.err" &
  flash_pid=$!
  if [[ -n "$kill_after" ]]; then
    sleep "$kill_after"
    kill -KILL "$device_pid" 2>/dev/null
    now > "$dir/device-died"
  fi
  if [[ -n "$sigint_after" ]]; then
    sleep "$sigint_after"
    kill -INT "$flash_pid" 2>/dev/null  # timeout passes it on to the flasher
  fi
  { wait "$flash_pid"; } 2> /dev/null; flash_exit=$?  # quiet about the device killed above
  ended=$(now)
  # A flasher that never opened its log leaves the reader waiting for a writer.
  exec {unblock}<> "$dir/log.fifo"; exec {unblock}>&-
  wait "$reader"

  # What is left: nothing but the row's own helpers may hold any of its lines.
  local line leftover
  for line in "${lines[@]}"; do
    leftover=$(holders "$line" "${pids[@]}")
    [[ -z "$leftover" ]] || problems+=("$line still open in process $leftover")
  done
  if pgrep -f "$dir/image.bin" > /dev/null; then problems+=("a flasher process is left"); fi

  # The verdict.
  local final
  # The result text: the figures of the run follow it.
  final=$(grep -x -F -e "$kDone" -e "$kNoAnswer" -e "$kNoConfirmation" -e "$kAborted" \
    "$dir/flash.err" | tail -n1)
  [[ "$flash_exit" == "$want_exit" ]] || problems+=("exit $flash_exit, expected $want_exit")
  [[ "$final" == "$want_text" ]] || problems+=("final text '$final', expected '$want_text'")
  if [[ "$flash_exit" == 0 ]]; then
    local sim_exit
    for _ in $(seq 100); do kill -0 "$device_pid" 2>/dev/null || break; sleep 0.05; done
    kill -TERM "$device_pid" 2>/dev/null
    wait "$device_pid"; sim_exit=$?
    [[ "$sim_exit" == 0 ]] || problems+=("success reported, but the device's checksum did not match ($sim_exit)")
    cmp -s "$dir/image.bin" "$dir/memory.bin" || problems+=("success reported, but the memory differs from the image")
  fi

  # Timing: from the last frame received, a hang-up or death of the device, or the start.
  local last_sign=$started stamp
  stamp=$(grep ' <- ' "$dir/log.txt" | tail -n1 | cut -d' ' -f1)
  [[ -n "$stamp" ]] && last_sign=$stamp
  [[ -f "$dir/device-died" ]] && last_sign=$(cat "$dir/device-died")
  local after
  after=$(seconds_between "$last_sign" "$ended")
  if awk -v a="$after" -v l="$kLimit" 'BEGIN { exit !(a > l) }'; then
    problems+=("ended ${after} s after the device's last sign")
  fi

  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done

  local total
  total=$(seconds_between "$started" "$ended")
  if [[ ${#problems[@]} -eq 0 ]]; then
    printf 'ok   %-28s exit %s  %5s s  %5s s after the last sign\n' "$name" "$flash_exit" \
      "$total" "$after" > "$result"
  else
    {
      printf 'FAIL %-28s %s\n' "$name" "$(IFS=';'; echo "${problems[*]}")"
      sed 's/^/       flash: /' "$dir/flash.err" | tail -n 8
    } > "$result"
  fi
}

selected=()
for i in "${!rows[@]}"; do
  IFS=$'\x1f' read -r -a f <<< "${rows[$i]}"
  [[ $quick -eq 1 && "${f[1]}" != 1 ]] && continue
  [[ -n "$only" && ! "${f[0]}" =~ $only ]] && continue
  selected+=("$i")
done

echo "fault matrix: ${#selected[@]} rows, $jobs at a time"
matrix_started=$(now)
running=0
for i in "${selected[@]}"; do
  if [[ $running -ge $jobs ]]; then
    wait -n
    running=$((running - 1))
  fi
  run_row "$i" &
  running=$((running + 1))
done
wait

failed=0
for i in "${selected[@]}"; do
  IFS=$'\x1f' read -r -a f <<< "${rows[$i]}"
  result="$work/${f[0]}.result"
  if [[ -f "$result" ]]; then cat "$result"; else echo "FAIL ${f[0]}: no result"; fi
  [[ -f "$result" ]] && grep -q '^ok ' "$result" || failed=$((failed + 1))
done
echo "fault matrix: $(seconds_between "$matrix_started" "$(now)") s"
echo "fault-matrix: $(( ${#selected[@]} - failed )) passed, $failed failed"
[[ $failed -eq 0 ]]
