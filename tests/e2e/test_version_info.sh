#!/usr/bin/env bash
# The stub's version resource, as Windows' version calls read it: the stub's
# own names and versions, and a product's own written by mksfx create
# --version-info into its copy of the stub, which still extracts.
source "$KORVI_SOURCE/tests/e2e/lib.sh"
mkdir -p src
printf 'x' > src/x.txt
"$MKSFX" create --stub "$STUB" -q -o plain.exe --auto --dest "$WORK_WIN\\plain" -C src x.txt
"$MKSFX" create --stub "$STUB" -q -o acme.exe --auto --dest "$WORK_WIN\\acme" -C src x.txt \
  --version-info "ProductName=Acme Widgets" --version-info ProductVersion=2.5 \
  --version-info FileVersion=2.5.1.7 --version-info "CompanyName=Acme Ltd." \
  --version-info "FileDescription=Acme Widgets Setup" --version-info OriginalFilename=acme-setup.exe

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
expect_file "$WORK/acme/x.txt" x
echo "version resources read as written"
