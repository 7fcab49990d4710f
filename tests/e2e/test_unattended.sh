#!/usr/bin/env bash
# mksfx's side of unattended installs, under Wine: programs made with
# --admin (requireAdministrator) and --highest (highestAvailable) still start
# and extract (Wine runs every program with the rights it has and asks for no
# elevation), and the manifest read back from each file, by a PE reader of
# the tests' own and by mksfx list, names the level asked for; the stub's
# own says asInvoker. mksfx.exe answers "/?" and -h with its help.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
READ_MANIFEST="$KORVI_SOURCE/tests/tool/read_manifest.py"
mkdir -p src
printf 'x' > src/x.txt

[ "$(python3 "$READ_MANIFEST" --level "$STUB")" = asInvoker ] || fail "the stub's own level"
for option in --admin --highest; do
  name=${option#--}
  want=$([ $option = --admin ] && echo requireAdministrator || echo highestAvailable)
  "$MKSFX" create --stub "$STUB" -q -o "$name.exe" $option --auto --dest "$WORK_WIN\\$name" -C src x.txt
  [ "$(python3 "$READ_MANIFEST" --level "$name.exe")" = "$want" ] || fail "$name.exe: $(python3 "$READ_MANIFEST" "$name.exe")"
  "$MKSFX" list "$name.exe" | grep -qx "execution level: $want" || fail "$name.exe: $("$MKSFX" list "$name.exe")"
  # Started by CreateProcess (sfxdrive), as a script or a deployment tool would.
  drive "$WORK_WIN\\$name.exe" exit 0 >/dev/null || fail "$name.exe did not start or end with 0 under Wine"
  expect_file "$WORK/$name/x.txt" x
  # And by Wine's loader from the command line.
  rm -rf "$WORK/$name"
  rc=0; wine "$WORK_WIN\\$name.exe" </dev/null >/dev/null 2>&1 || rc=$?
  [ $rc -eq 0 ] || fail "wine $name.exe: exit $rc"
  expect_file "$WORK/$name/x.txt" x
done

for ask in '/?' -h; do
  wine "$KORVI_WIN32/mksfx.exe" "$ask" </dev/null >help.log 2>&1 || fail "mksfx.exe $ask: $(cat help.log)"
  grep -q "^Usage: mksfx create -o PROGRAM.exe" help.log || fail "mksfx.exe $ask: $(head -3 help.log)"
  grep -q -- "--admin" help.log || fail "mksfx.exe $ask: no --admin in $(cat help.log)"
done
echo "elevated programs start under Wine with the level read back; mksfx.exe /? and -h show the help"
