#!/bin/sh
# Fails when groff warns about a manual page (a broken macro, an unknown
# escape, a line it cannot fill), and when the usage screen of tavo names a
# command letter or a switch letter that tavo(1) does not describe.
# Arguments: tavo, its library, the folder of the configured pages.
set -eu
# The usage screen is Shift_JIS bytes: text tools read them as bytes.
export LC_ALL=C
tavo=$1 library=$2 pages=$3
status=0

for page in "$pages/tavo.1" "$pages/unlha32.3"; do
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: groff warns:"
    echo "$warnings"
    status=1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$tavo" "$work/tavo"
cp "$library" "$work/libunlha32.so"
usage=$("$work/tavo" | grep -a 'Tavo \[')
commands=$(echo "$usage" | sed 's/.*Tavo \[\([a-z]*\)\].*/\1/')
switches=$(echo "$usage" | sed 's/.*\] \[-\([a-z-]*\)\[.*/\1/')
[ -n "$commands" ] && [ -n "$switches" ] || { echo "no letters in the usage line: $usage"; exit 1; }

# The page as text: each entry's tag starts a line after seven blanks.
text=$(groff -man -Tascii -P-cbou "$pages/tavo.1" 2>/dev/null)
section() { echo "$text" | sed -n "/^$1\$/,/^[A-Z]/p"; }
for letter in $(echo "$commands" | fold -w1); do
  section COMMANDS | grep -q "^       $letter\( \|\$\)" || { echo "tavo(1) does not describe the command $letter"; status=1; }
done
for letter in $(echo "$switches" | fold -w1); do
  section SWITCHES | grep -q -- "^       -$letter" || { echo "tavo(1) does not describe the switch -$letter"; status=1; }
done
exit $status
