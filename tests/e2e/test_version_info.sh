#!/usr/bin/env bash
# The stub's version resource, as Windows' version calls read it: the stub's
# own names and versions, and a product's own written by mksfx create
# --version-info into its copy of the stub, which still extracts. A version
# text that goes on after its numbers ("2.5 beta") stays as given, and the
# fixed version Windows compares comes from its leading numbers, with a
# warning; one with a part above 65535 is refused.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
printf 'x' > src/x.txt
"$MKSFX" create --stub "$STUB" -q -o plain.exe --auto --dest "$WORK_WIN\\plain" -C src x.txt
"$MKSFX" create --stub "$STUB" -q -o acme.exe --auto --dest "$WORK_WIN\\acme" -C src x.txt \
  --version-info "ProductName=Acme Widgets" --version-info ProductVersion=2.5 \
  --version-info FileVersion=2.5.1.7 --version-info "CompanyName=Acme Ltd." \
  --version-info "FileDescription=Acme Widgets Setup" --version-info OriginalFilename=acme-setup.exe
"$MKSFX" create --stub "$STUB" -q -o beta.exe --auto --dest "$WORK_WIN\\beta" -C src x.txt \
  --version-info "FileVersion=2.5 beta" --version-info "ProductVersion=3.1-rc2" 2>beta.txt
grep -qx "mksfx: warning: --version-info FileVersion=2.5 beta: the text stays as given; the fixed file version, which Windows compares, is 2.5.0.0, from its leading numbers" beta.txt \
  || fail "no warning for FileVersion=2.5 beta: $(cat beta.txt)"
grep -q "ProductVersion=3.1-rc2: .*fixed product version, which Windows compares, is 3.1.0.0" beta.txt || fail "ProductVersion: $(cat beta.txt)"
rc=0
"$MKSFX" create --stub "$STUB" -q -o refused.exe -C src x.txt --version-info FileVersion=65536.0.0.0 2>refused.txt || rc=$?
[ $rc -eq 2 ] && grep -q "65536 is more than 65535; a version is one to four numbers 0-65535" refused.txt || fail "65536.0.0.0: exit $rc, $(cat refused.txt)"
[ ! -e refused.exe ] || fail "refused.exe written"

drive "$WORK_WIN\\plain.exe" exit 0 \
  version "$WORK_WIN\\plain.exe" ProductName "Korvi EXE" \
  version "$WORK_WIN\\plain.exe" FileDescription "Korvi EXE self-extracting archive" \
  version "$WORK_WIN\\plain.exe" FIXED 1.0.0.0 >/dev/null || fail "the stub's own"
drive "$WORK_WIN\\acme.exe" exit 0 \
  version "$WORK_WIN\\acme.exe" ProductName "Acme Widgets" \
  version "$WORK_WIN\\acme.exe" ProductVersion 2.5 \
  version "$WORK_WIN\\acme.exe" FileVersion 2.5.1.7 \
  version "$WORK_WIN\\acme.exe" FIXED 2.5.1.7 \
  version "$WORK_WIN\\acme.exe" CompanyName "Acme Ltd." \
  version "$WORK_WIN\\acme.exe" FileDescription "Acme Widgets Setup" \
  version "$WORK_WIN\\acme.exe" OriginalFilename acme-setup.exe \
  version "$WORK_WIN\\acme.exe" InternalName sfx >/dev/null || fail "the product's own"
drive "$WORK_WIN\\beta.exe" exit 0 \
  version "$WORK_WIN\\beta.exe" FileVersion "2.5 beta" \
  version "$WORK_WIN\\beta.exe" ProductVersion 3.1-rc2 \
  version "$WORK_WIN\\beta.exe" FIXED 2.5.0.0 >/dev/null || fail "a version with text after its numbers"
expect_file "$WORK/acme/x.txt" x
expect_file "$WORK/beta/x.txt" x
echo "version resources read as written"
