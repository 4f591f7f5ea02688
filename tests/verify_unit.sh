#!/usr/bin/env bash
# Checks a systemd unit with `systemd-analyze verify` as it would be
# installed: in a scratch root holding the system's own units, the unit in
# /etc/systemd/system and the binary at the path the unit names, so that
# neither this machine's files nor its lack of them decide.
#
# usage: verify_unit.sh <unit file> <binary> <path of the binary in the root>
# Exit status 0 when the unit verifies, 1 when it does not, 77 when this
# machine has no systemd-analyze or no systemd units to verify against.
set -euo pipefail

unit=$1 binary=$2 binary_path=$3
command -v systemd-analyze >/dev/null || { echo "no systemd-analyze here"; exit 77; }
[ -d /usr/lib/systemd/system ] || { echo "no /usr/lib/systemd/system here"; exit 77; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/usr/lib/systemd" "$root/etc/systemd/system" "$root$(dirname "$binary_path")"
cp -a /usr/lib/systemd/system "$root/usr/lib/systemd/"
cp "$unit" "$root/etc/systemd/system/$(basename "$unit")"
cp "$binary" "$root$binary_path"
# --man=no: the manual page named in Documentation= is not installed here.
if ! out=$(systemd-analyze verify --man=no --root="$root" "/etc/systemd/system/$(basename "$unit")" 2>&1); then
  printf '%s\n' "$out"
  exit 1
fi
# A warning alone leaves the status at 0; the unit must draw none.
[ -z "$out" ] || { printf '%s\n' "$out"; exit 1; }
