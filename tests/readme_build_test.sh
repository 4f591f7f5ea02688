#!/usr/bin/env bash
# Runs the README's package build ("As a Debian package": configure, build,
# cpack) word for word in a clone, as a user does after scripts/test.sh, and
# checks that it makes the package. The commands are read from the README, so
# that the check follows the text; the install line (sudo) is left out.
#
# usage: readme_build_test.sh <clone>
set -euo pipefail
cd "$1"

# The indented lines of the first block after the heading.
commands=$(awk '
  /^### As a Debian package/ { inside = 1; next }
  inside && /^    / { sub(/^    /, ""); print; seen = 1; next }
  inside && seen { exit }
' README.md | grep -v '^sudo ')
[ -n "$commands" ] || { echo "FAIL: no package build commands found in README.md"; exit 1; }
grep -q 'cpack' <<<"$commands" || { echo "FAIL: the README's package build runs no cpack: $commands"; exit 1; }

# A package from an earlier run would pass for this one.
rm -f build/orvek_*.deb
echo "$commands"
if ! bash -euo pipefail -c "$commands"; then
  echo "FAIL: the README's package build failed"
  exit 1
fi
ls build/orvek_*.deb >/dev/null 2>&1 || { echo "FAIL: the README's package build made no build/orvek_*.deb"; exit 1; }
echo "the README's package build: $(basename build/orvek_*.deb)"
