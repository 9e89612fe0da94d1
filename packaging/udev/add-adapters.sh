#!/bin/sh
# Prints 70-orvix-serial.rules with a ModemManager-ignore line for each adapter given as
# VID:PID (four hexadecimal digits each, as `lsusb` shows them):
#   packaging/udev/add-adapters.sh 1a86:7523 0403:6001 > 70-orvix-serial.rules
#   /usr/share/orvix/add-adapters.sh 1a86:7523 | sudo tee /etc/udev/rules.d/70-orvix-serial.rules
# The file in /etc/udev/rules.d overrides the packaged one of the same name, so it carries the
# packaged rules too.
set -eu
here=$(dirname "$0")
# Beside it in the source tree; installed, the helper is in share/orvix and the rules in
# lib/udev/rules.d of the same prefix.
rules=$here/70-orvix-serial.rules
[ -f "$rules" ] || rules=$here/../../lib/udev/rules.d/70-orvix-serial.rules
if [ ! -f "$rules" ]; then
  echo "add-adapters.sh: 70-orvix-serial.rules is neither beside it nor in $here/../../lib/udev/rules.d" >&2
  exit 66
fi
for id in "$@"; do
  if ! printf '%s\n' "$id" | grep -Eq '^[0-9A-Fa-f]{4}:[0-9A-Fa-f]{4}$'; then
    echo "add-adapters.sh: '$id' is not VID:PID (four hexadecimal digits each)" >&2
    exit 64
  fi
done
cat "$rules"
for id in "$@"; do
  id=$(printf '%s' "$id" | tr 'A-F' 'a-f')
  printf 'ACTION=="add|change", ATTRS{idVendor}=="%s", ATTRS{idProduct}=="%s", ENV{ID_MM_DEVICE_IGNORE}="1"\n' \
    "${id%%:*}" "${id##*:}"
done
