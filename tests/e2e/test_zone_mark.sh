#!/usr/bin/env bash
# The mark of the web. On Windows a downloaded program carries the stream
# "<program>:Zone.Identifier"; Wine has no streams and keeps such a name as a
# file of that name, which lets this test give the program a mark and read
# the marks the stub hands on. A program without a mark writes nothing but
# the archive's files; one from the internet (zone 3) gives each file it
# writes the same mark; one from the intranet (zone 1) gives none. Marks
# that a careless reading would take for none mark the files with the
# stub's own short mark: a ZoneId line after the first 4 KiB, in lower case
# with blanks, a number past 32 bits that wraps to 0, and a stream that is
# there but cannot be read (a folder under its name).
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src/sub
printf 'a' > src/a.txt
printf 'b' > src/sub/b.exe
MARK=$'[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.org/\r\nHostUrl=https://example.org/get/setup.exe\r\n'
SHORT=$'[ZoneTransfer]\r\nZoneId=3\r\n'
LONG_URL="HostUrl=https://example.org/$(printf 'x%.0s' $(seq 5000))"

cases="none internet intranet late wrapped unreadable"
for case in $cases; do
  "$MKSFX" create --stub "$STUB" -q -o "$case.exe" --auto --dest "$WORK_WIN\\$case" -C src a.txt sub/b.exe
done
printf '%s' "$MARK" > 'internet.exe:Zone.Identifier'
printf '[ZoneTransfer]\r\nZoneId=1\r\n' > 'intranet.exe:Zone.Identifier'
printf '[ZoneTransfer]\r\n%s\r\nzoneid = 3\r\n' "$LONG_URL" > 'late.exe:Zone.Identifier'
printf '[ZoneTransfer]\r\nZoneId=4294967296\r\n' > 'wrapped.exe:Zone.Identifier'
mkdir 'unreadable.exe:Zone.Identifier'

for case in $cases; do
  drive "$WORK_WIN\\$case.exe" exit 0 >/dev/null || fail "$case"
  expect_file "$WORK/$case/a.txt" a
  expect_file "$WORK/$case/sub/b.exe" b
done
for case in none intranet; do
  found=$(find "$case" -name '*:Zone.Identifier')
  [ -z "$found" ] || fail "$case: marks written: $found"
done
for f in a.txt sub/b.exe; do
  [ "$(cat "internet/$f:Zone.Identifier")" = "$(printf '%s' "$MARK")" ] || fail "internet/$f: mark '$(cat "internet/$f:Zone.Identifier" 2>&1)'"
  for case in late wrapped unreadable; do
    printf '%s' "$SHORT" | cmp -s - "$case/$f:Zone.Identifier" || fail "$case/$f: mark '$(cat "$case/$f:Zone.Identifier" 2>&1)'"
  done
done
[ "$(find internet -type f | wc -l)" -eq 4 ] || fail "internet: $(find internet -type f)"
echo "marks handed on from zone 3 only, and wherever the zone is in doubt"
