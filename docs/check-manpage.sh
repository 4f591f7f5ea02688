#!/bin/sh
# Fails when mandoc has anything to say about the manual page at warning
# level or above. usage: check-manpage.sh <mandoc> <page>
out=$("$1" -Tlint -W warning "$2" 2>&1)
status=$?
[ -n "$out" ] && printf '%s\n' "$out"
[ "$status" -eq 0 ] && [ -z "$out" ]
