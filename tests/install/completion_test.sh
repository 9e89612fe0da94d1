#!/usr/bin/env bash
# The bash completion scripts as bash-completion loads them: each registers its function, and
# the function offers what a user expects at each place of a command line.
#   completion_test.sh COMPLETIONS_DIR FLASHER_DIR
set -u
completions=$(cd "$1" && pwd) flasher_dir=$(cd "$2" && pwd)
export LC_ALL=C  # one order for the offers
framework=/usr/share/bash-completion/bash_completion
if [[ ! -r $framework ]]; then
  echo "completion: SKIPPED: $framework missing (scripts/bootstrap.sh installs bash-completion)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Found by command name, as bash-completion finds the installed files on first use.
mkdir -p "$work/data/bash-completion"
ln -s "$completions" "$work/data/bash-completion/completions"
export BASH_COMPLETION_USER_DIR=$work/data/bash-completion
# shellcheck source=/dev/null
source "$framework"
failed=0
for command in orvix-flash orvix-devsim; do
  __load_completion "$command" || { echo "FAIL: bash-completion finds no file for $command"; failed=1; }
done
registered=$(complete -p orvix-flash orvix-devsim 2>&1)
[[ $registered == *"-F _orvix_flash orvix-flash"*"-F _orvix_devsim orvix-devsim"* ]] ||
  { echo "FAIL: not registered as expected: $registered"; failed=1; }

# The ports come from the flasher itself, whose list follows ORVIX_PORTS.
export PATH=$flasher_dir:$PATH ORVIX_PORTS="COM5=/dev/null;COM9=/dev/zero"
cd "$work" && touch fw.hex fw.bin notes.txt

# Completes LINE (the word under the cursor is its last, empty after a space) and prints the
# offers sorted, one line.
offers() {
  local line=$1 function=$2
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line COMP_POINT=${#line}
  COMPREPLY=()
  "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

# LINE | function | the offers exactly, or "has: W..." for some that must be among them
while IFS='|' read -r line function want; do
  [[ -z $line || $line == \#* ]] && continue
  got=$(offers "$line" "$function")
  if [[ $want == has:* ]]; then
    for word in ${want#has:}; do
      [[ " $got " == *" $word "* ]] || { echo "FAIL: '$line': no $word among: $got"; failed=1; }
    done
  elif [[ $got != "$want" ]]; then
    echo "FAIL: '$line': offers '$got', expected '$want'"
    failed=1
  fi
done <<'CASES'
orvix-flash --|_orvix_flash|has: --port --port-filter --format --reset --reset-ms --baud --wait --list-ports --check --json --all --expect --log --version
orvix-flash -|_orvix_flash|has: -p -d -b -f -w -q -h
orvix-flash --re|_orvix_flash|--reset --reset-ms
orvix-flash -p |_orvix_flash|COM5 COM9
orvix-flash --port COM9|_orvix_flash|COM9
orvix-flash -f |_orvix_flash|auto bin ihex srec
orvix-flash --format i|_orvix_flash|ihex
orvix-flash --reset |_orvix_flash|dtr rts
orvix-flash -b 11|_orvix_flash|115200
orvix-flash --baud 9|_orvix_flash|921600 9600
orvix-flash --port-filter v|_orvix_flash|vid=
orvix-flash -d |_orvix_flash|
orvix-flash -p COM5 fw|_orvix_flash|fw.bin fw.hex
orvix-devsim --|_orvix_devsim|has: --name --line --timeout --save --expect --drop --baud --serve --help
orvix-devsim --drop b|_orvix_devsim|block
orvix-devsim --baud 57|_orvix_devsim|57600
orvix-devsim --expect fw.h|_orvix_devsim|fw.hex
CASES

[[ $failed -eq 0 ]] && echo "completion: every case offers what it should"
exit $failed
