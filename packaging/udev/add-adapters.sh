#!/bin/sh
# Prints 70-orvix-serial.rules with a ModemManager-ignore line for each adapter given as
# VID:PID (four hexadecimal digits each, as `lsusb` shows them):
#   packaging/udev/add-adapters.sh 1a86:7523 0403:6001 > 70-orvix-serial.rules
set -eu
here=$(dirname "$0")
for id in "$@"; do
  if ! printf '%s\n' "$id" | grep -Eq '^[0-9A-Fa-f]{4}:[0-9A-Fa-f]{4}$'; then
    echo "add-adapters.sh: '$id' is not VID:PID (four hexadecimal digits each)" >&2
    exit 64
  fi
done
cat "$here/70-orvix-serial.rules"
for id in "$@"; do
  id=$(printf '%s' "$id" | tr 'A-F' 'a-f')
  printf 'ACTION=="add|change", ATTRS{idVendor}=="%s", ATTRS{idProduct}=="%s", ENV{ID_MM_DEVICE_IGNORE}="1"\n' \
    "${id%%:*}" "${id##*:}"
done
