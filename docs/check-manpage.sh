#!/bin/sh
# Fails when mandoc, or groff when given, has anything to say about the
# manual page at warning level, or when either renders a quoted word with
# blanks inside its quotes (groff's mdoc pads a macro's text to a column's
# width inside a table), or when the key table's columns run together.
# usage: check-manpage.sh <mandoc> <page> [<groff>]
mandoc=$1 page=$2 groff=$3
failed=0
out=$("$mandoc" -Tlint -W warning "$page" 2>&1) || failed=1
[ -n "$out" ] && { printf 'mandoc: %s\n' "$out"; failed=1; }
renderers="mandoc"
if [ -n "$groff" ]; then
  out=$("$groff" -mandoc -ww -z "$page" 2>&1) || failed=1
  [ -n "$out" ] && { printf 'groff: %s\n' "$out"; failed=1; }
  renderers="mandoc groff"
fi
for renderer in $renderers; do
  if [ "$renderer" = groff ]; then
    text=$(LC_ALL=C.UTF-8 "$groff" -mandoc -Tutf8 -P-c "$page" 2>/dev/null)
  else
    text=$(LC_ALL=C.UTF-8 "$mandoc" -Tutf8 "$page" 2>/dev/null)
  fi
  # Overstrike (bold and underline) out, then look for "‘ " and " ’".
  blanks=$(printf '%s\n' "$text" | sed 's/.\x08//g' | grep -n '‘ \| ’')
  [ -n "$blanks" ] && { printf '%s: blanks inside quotes:\n%s\n' "$renderer" "$blanks"; failed=1; }
done
# The configuration keys' table at 80 and 100 columns: each row is the key,
# its value and its meaning, apart by two blanks at least (a key wider than
# its column runs the value into the meaning).
for width in 80 100; do
  text=$(LC_ALL=C.UTF-8 "$mandoc" -Tutf8 -O width=$width "$page" 2>/dev/null | sed 's/.\x08//g')
  for key in server username password passwordfile digest newcgi verify cafile pin maxage exclude; do
    printf '%s\n' "$text" | grep -Eq "^ +$key {2,}[^ ]+( [^ ]+)* {2,}[^ ]" ||
      { printf 'mandoc at %s columns: the key table row of %s is not key, value, meaning\n' "$width" "$key"; failed=1; }
  done
done
exit $failed
