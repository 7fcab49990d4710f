#!/usr/bin/env bash
# mksfx's side of unattended installs: --admin and --highest rewrite the
# execution level of the stub's manifest in place (read back by list and by
# a PE reader of the tests' own, the XML still well-formed, the program the
# same size, a signed program too); the folder macros that the destination
# and the run command may hold, and the refusal of other {tokens} and of
# %VARIABLES%; the warning when --run names a program in the destination
# that the archive does not hold; "/?" and -h; the hint at --stub when the
# stub cannot be read.
source "$KORVI_SOURCE/tests/tool/lib.sh"
READ_MANIFEST="$KORVI_SOURCE/tests/tool/read_manifest.py"
mkdir -p tree/bin
printf 'x' > tree/readme.txt
printf 'MZ' > tree/bin/Setup.exe

# Execution levels: the stub's own, then each option's.
mksfx create -q --stub "$STUB" -o plain.exe -C tree .
mksfx list plain.exe | grep -qx "execution level: asInvoker" || fail "plain: $(mksfx list plain.exe)"
[ "$(python3 "$READ_MANIFEST" --level plain.exe)" = asInvoker ] || fail "plain's manifest"
for option in --admin --highest; do
  want=$([ $option = --admin ] && echo requireAdministrator || echo highestAvailable)
  mksfx create -q --stub "$STUB" -o "level$option.exe" $option -C tree .
  mksfx list "level$option.exe" | grep -qx "execution level: $want" || fail "$option: $(mksfx list "level$option.exe")"
  [ "$(python3 "$READ_MANIFEST" --level "level$option.exe")" = "$want" ] || fail "$option: the PE reader says otherwise"
  python3 "$READ_MANIFEST" "level$option.exe" | python3 -c "import sys, xml.dom.minidom; xml.dom.minidom.parseString(sys.stdin.read().strip())" \
    || fail "$option: the manifest is no longer well-formed XML"
  [ "$(stat -c %s "level$option.exe")" = "$(stat -c %s plain.exe)" ] || fail "$option changed the program's size"
  # Only bytes of the level's room differ from the plain program: at most 21.
  changed=$(cmp -l plain.exe "level$option.exe" | wc -l || true)
  [ "$changed" -ge 1 ] && [ "$changed" -le 21 ] || fail "$option changed $changed bytes"
  mksfx test -q "level$option.exe" >/dev/null || fail "mksfx test level$option.exe"
  zip_readers_pass "level$option.exe"
done
# Given twice is the same; both together are not.
mksfx create -q --stub "$STUB" -o twice.exe --admin --admin -C tree . || fail "--admin twice"
usage_error "give one of --admin and --highest" both.exe -- create --stub "$STUB" -o both.exe --admin --highest -C tree .
usage_error "give one of --admin and --highest" both.exe -- create --stub "$STUB" -o both.exe --highest --admin --highest -C tree .
# A stub without a manifest (make_stub.py without one) cannot take a level.
python3 "$KORVI_SOURCE/tests/tool/make_stub.py" bare-stub.exe "$KORVI_STUB_SIZE"
fails_cleanly "the stub has no application manifest" bare.exe -- create --stub bare-stub.exe -o bare.exe --admin -C tree .
mksfx create -q --stub bare-stub.exe -o bare.exe -C tree .
mksfx list bare.exe | grep -q "^execution level: none" || fail "no manifest: $(mksfx list bare.exe)"
# Signed: the level is written into the stub before osslsigncode signs.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 -subj "/CN=Korvi test signer" \
  >/dev/null 2>&1 || fail "openssl could not make a certificate"
mksfx create -q --stub "$STUB" -o signed.exe --admin --sign-cert cert.pem --sign-key key.pem -C tree .
osslsigncode verify -CAfile cert.pem signed.exe >verify.txt 2>&1 || fail "verify: $(cat verify.txt)"
[ "$(python3 "$READ_MANIFEST" --level signed.exe)" = requireAdministrator ] || fail "signed: the level"

# Folder macros: the whole list in the destination and the run command.
for macro in '{win}' '{sys}' '{temp}' '{pf}' '{pf32}' '{appdata}' '{localappdata}' '{commonappdata}' \
             '{desktop}' '{documents}' '{profile}'; do
  mksfx create -q --stub "$STUB" -o macro.exe --dest "$macro\\Acme" --run "$macro\\tool.exe|><readme.txt" -C tree . \
    || fail "$macro refused"
  mksfx list macro.exe | grep -qF "destination \"$macro\\Acme\"" || fail "$macro: $(mksfx list macro.exe)"
done
list='{win}, {sys}, {temp}, {pf}, {pf32}, {appdata}, {localappdata}, {commonappdata}, {desktop}, {documents}, {profile}'
usage_error "the destination holds {programfiles}, which the stub does not know; its macros are $list" m.exe -- \
  create --stub "$STUB" -o m.exe --dest '{programfiles}\Acme' -C tree .
usage_error "the run command holds {ext}, the destination itself" m.exe -- \
  create --stub "$STUB" -o m.exe --run '{ext}\bin\Setup.exe' -C tree .
usage_error "the destination holds %ProgramFiles%, but the stub expands no environment variables; its macros are $list" \
  m.exe -- create --stub "$STUB" -o m.exe --dest '%ProgramFiles%\Acme' -C tree .
usage_error "the run command holds %WINDIR%" m.exe -- create --stub "$STUB" -o m.exe --run '%WINDIR%\notepad.exe' -C tree .
# The caption is shown as it is; a lone "%" is no variable.
mksfx create -q --stub "$STUB" -o caption.exe --caption 'Acme {beta} 100%' --dest 'C:\100% Acme' -C tree . \
  || fail "caption or lone % refused"

# --run with "><": a warning, not an error, when the archive lacks the program.
mksfx create -q --stub "$STUB" -o run.exe --run '><bin\setup.exe|/S' -C tree . 2>err.txt || fail "found: exit $?"
[ ! -s err.txt ] || fail "a warning for a program the archive holds (case aside): $(cat err.txt)"
rc=0; mksfx create -q --stub "$STUB" -o run2.exe --run '><install.exe|/S' -C tree . 2>err.txt || rc=$?
[ $rc -eq 0 ] || fail "a missing run program is an error: exit $rc"
grep -qx "mksfx: warning: --run names install.exe in the destination, but the archive holds no install.exe; the stub will find no program to run there" err.txt \
  || fail "no warning: $(cat err.txt)"
[ -f run2.exe ] || fail "the program was not written"
rc=0; mksfx create -q --stub "$STUB" -o run3.exe --run '><readme.txt' -x readme.txt -C tree . 2>err.txt || rc=$?
[ $rc -eq 0 ] && grep -q "holds no readme.txt" err.txt || fail "an excluded run program: exit $rc, $(cat err.txt)"
# The destination itself, a folder of the archive, a program of the system's: no warning.
for run in '><' '><bin' 'notepad.exe|><readme.txt' '{win}\notepad.exe'; do
  mksfx create -q --stub "$STUB" -o run4.exe --run "$run" -C tree . 2>err.txt
  [ ! -s err.txt ] || fail "--run '$run' warned: $(cat err.txt)"
done
# From a .zip: its entries are the archive's.
(cd tree && zip -q -r ../src.zip .)
mksfx create -q --stub "$STUB" -o zip.exe --run '><BIN\SETUP.EXE' src.zip 2>err.txt
[ ! -s err.txt ] || fail "a .zip's entry: $(cat err.txt)"
mksfx create -q --stub "$STUB" -o zip2.exe --run '><missing.exe' src.zip 2>err.txt
grep -q "holds no missing.exe" err.txt || fail "a .zip without the program: $(cat err.txt)"

# Help as Windows programs are asked for it, and -h.
for ask in '/?' -h '-?' --help; do
  mksfx "$ask" >help.txt 2>err.txt || fail "mksfx $ask: exit $?, $(cat err.txt)"
  grep -q "^Usage: mksfx create -o PROGRAM.exe" help.txt || fail "mksfx $ask: $(head -3 help.txt)"
done
grep -q -- "--admin" help.txt && grep -q -- "--highest" help.txt && grep -q "{commonappdata}" help.txt || fail "help lacks the new options"

# No stub where it is looked for: the message names --stub.
fails_cleanly "cannot read the stub nostub.exe: No such file or directory (without --stub, mksfx takes sfx.exe beside itself; give it with --stub FILE" \
  out.exe -- create --stub nostub.exe -o out.exe -C tree .
cp "$MKSFX" ./lonely-mksfx
rc=0; ./lonely-mksfx create -o out.exe -C tree . 2>err.txt || rc=$?
[ $rc -eq 1 ] && grep -qF "cannot read the stub $WORK/sfx.exe" err.txt && grep -q -- "--stub FILE" err.txt \
  || fail "the default stub: exit $rc, $(cat err.txt)"
echo "execution levels, macros, run programs and help as documented"
