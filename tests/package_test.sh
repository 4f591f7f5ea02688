#!/usr/bin/env bash
# Makes the Debian package of a build and checks it as a user would get it:
# the name, the control fields (the libraries found by dpkg-shlibdeps among
# them), every file it holds and nothing else, and the binary unpacked from
# it running without a configuration.
#
# usage: package_test.sh <build dir> <source dir> <version>
# Needs cpack, dpkg-deb and dpkg-shlibdeps (dpkg-dev), gzip.
set -euo pipefail

build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
version=$3
work=$(mktemp -d)
failures=0
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The package goes to a folder of its own (cpack still leaves its install
# manifests in the build folder).
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  echo "FAIL: cpack -G DEB"
  exit 1
}
arch=$(dpkg --print-architecture)
deb=$work/out/orvek_${version}_${arch}.deb
[ -f "$deb" ] || { ls -l "$work/out"; echo "FAIL: no $(basename "$deb")"; exit 1; }

# --- control fields -----------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = orvek ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', expected $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
for name in Maintainer Section Description; do
  [ -n "$(field "$name")" ] || fail "the $name field is empty"
done
# Nothing made up: no placeholder address, and no Homepage unless one is given.
if dpkg-deb -f "$deb" | grep -n '\.example\b'; then fail "the control file names a placeholder address"; fi
homepage=$(sed -n 's/^ORVEK_PACKAGE_HOMEPAGE:STRING=//p' "$build/CMakeCache.txt")
[ "$(field Homepage)" = "$homepage" ] || fail "the Homepage field is '$(field Homepage)', the build gives '$homepage'"
depends=$(field Depends)
# Debian 12 names them libcurl4 (or libcurl3-gnutls/-nss) and libncursesw6.
for library in 'libcurl[0-9a-z-]*' 'libncursesw[0-9]+'; do
  grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends names no ${library%%\[*} package: $depends"
done

# --- the files, all of them ---------------------------------------------------
dpkg-deb -x "$deb" "$work/root"
expected="./usr/bin/orvek
./usr/share/doc/orvek/README.md
./usr/share/doc/orvek/copyright
./usr/share/doc/orvek/docs/compression.md
./usr/share/doc/orvek/docs/many-screens.md
./usr/share/doc/orvek/docs/orvek.rc
./usr/share/doc/orvek/docs/orvek.service
./usr/share/doc/orvek/docs/screenshot.png
./usr/share/doc/orvek/docs/supervision.md
./usr/share/doc/orvek/docs/troubleshooting.md
./usr/share/doc/orvek/orvek.conf.sample
./usr/share/man/man1/orvek.1.gz"
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort)
if [ "$listed" != "$expected" ]; then
  fail "the package's files differ from the expected list"
  diff <(echo "$expected") <(echo "$listed") || true
fi
[ -x "$work/root/usr/bin/orvek" ] || fail "usr/bin/orvek is not executable"
gzip -dc "$work/root/usr/share/man/man1/orvek.1.gz" | cmp -s - "$source/docs/orvek.1" ||
  fail "the compressed manual page is not docs/orvek.1"
# Every file the manual's examples copy from is one the package installs.
copied=$(sed -n 's|^# cp \(/[^ ]*\) .*|\1|p' "$source/docs/orvek.1")
[ -n "$copied" ] || fail "the manual page's examples copy no file (the check below found nothing to check)"
for file in $copied; do
  [ -f "$work/root$file" ] || fail "the manual page's example copies $file, which the package does not install"
done
doc=$work/root/usr/share/doc/orvek
cmp -s "$doc/orvek.conf.sample" "$source/docs/orvek.conf.sample" || fail "usr/share/doc/orvek/orvek.conf.sample differs"
for file in troubleshooting.md supervision.md compression.md many-screens.md screenshot.png; do
  cmp -s "$doc/docs/$file" "$source/docs/$file" || fail "usr/share/doc/orvek/docs/$file differs from docs/$file"
done
# The README: the source's, but for its links to the developers' documents,
# which are plain text in the package.
plain_links() { sed -E 's/\[([^]]*)\]\(([^)]*)\)/\1/g; s/ \(in the source tree\)//g' "$1"; }
cmp -s <(plain_links "$doc/README.md") <(plain_links "$source/README.md") ||
  fail "usr/share/doc/orvek/README.md is not the source's README"

# The supervision files: the source's, with the package's paths.
for file in orvek.rc orvek.service; do
  sed -e 's|/usr/local/bin/orvek|/usr/bin/orvek|g' -e 's|/usr/local/etc/orvek.conf|/etc/orvek.conf|g' \
    "$source/docs/$file" | cmp -s - "$doc/docs/$file" || fail "docs/$file is not the source's with the package's paths"
  grep -q '/usr/bin/orvek' "$doc/docs/$file" || fail "docs/$file does not name /usr/bin/orvek"
  grep -q '/etc/orvek.conf' "$doc/docs/$file" || fail "docs/$file does not name /etc/orvek.conf"
  if grep -n '/usr/local/bin\|/usr/local/etc/orvek' "$doc/docs/$file"; then fail "docs/$file names /usr/local paths"; fi
done
set +e
verified=$("$source/tests/verify_unit.sh" "$doc/docs/orvek.service" "$work/root/usr/bin/orvek" /usr/bin/orvek 2>&1)
status=$?
set -e
case $status in
  0) ;;
  77) echo "note: the unit is not verified: $verified" ;;
  *) fail "systemd-analyze verify on the packaged orvek.service: $verified" ;;
esac

# Every relative link of the shipped README and guides leads to a shipped
# file, and every anchor of the README to one of its headings.
links=0
for page in "$doc/README.md" "$doc"/docs/*.md; do
  for target in $(grep -o '](\([^)#]*\))' "$page" | sed 's/^](//; s/)$//' | grep -v '^[a-z]*://'); do
    links=$((links + 1))
    [ -e "$(dirname "$page")/$target" ] || fail "$(basename "$page") links $target, which the package lacks"
  done
done
[ "$links" -gt 5 ] || fail "only $links relative links found in the shipped README and guides"
for anchor in $(grep -o '](#[^)]*)' "$doc/README.md" | sed 's/^](#//; s/)$//'); do
  grep '^#' "$doc/README.md" | tr 'A-Z ' 'a-z-' | sed 's/^#*-//; s/[^a-z0-9-]//g' | grep -qx "$anchor" ||
    fail "README.md links #$anchor, which is none of its headings"
done

# --- the unpacked binary, no configuration ------------------------------------
# Run from an empty folder: no ./orvek.conf. Should this machine have one of
# its own in /etc or /usr/local/etc, the search would find it; name a missing
# file instead, which ends the same way.
args=()
for found in /etc/orvek.conf /usr/local/etc/orvek.conf; do
  if [ -e "$found" ]; then
    echo "note: $found exists here; running with -c naming a missing file"
    args=(-c "$work/missing/orvek.conf")
  fi
done
mkdir "$work/empty"
set +e
message=$(cd "$work/empty" && "$work/root/usr/bin/orvek" "${args[@]}" </dev/null 2>"$work/stderr")
status=$?
set -e
[ "$status" -eq 2 ] || fail "the packaged orvek without a configuration: exit status $status, expected 2"
[ "$message" = "Could not find orvek.conf, exiting." ] || fail "the packaged orvek without a configuration printed '$message'"
[ ! -s "$work/stderr" ] || fail "the packaged orvek wrote to standard error: $(cat "$work/stderr")"

if [ "$failures" -ne 0 ]; then
  echo "package test: $failures check(s) failed"
  exit 1
fi
echo "package test: $(basename "$deb") holds $(wc -l <<<"$listed") files; Depends: $depends"
