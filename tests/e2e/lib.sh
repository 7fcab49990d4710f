# Shared helpers of the end-to-end test scripts. Each test works in its own
# folder C:\e2e\<test> of the prefix, seen from Linux as $WORK.
set -euo pipefail
: "${WINEPREFIX:?}" "${KORVI_WIN32:?}" "${KORVI_HOST_TOOLS:?}" "${KORVI_SOURCE:?}"

TEST_NAME=$(basename "$0" .sh)
TEST_NAME=${TEST_NAME#test_}
WORK="$WINEPREFIX/drive_c/e2e/$TEST_NAME"
WORK_WIN="C:\\e2e\\$TEST_NAME"
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"

STUB="$KORVI_WIN32/sfx.exe"
MKSFX="$KORVI_HOST_TOOLS/mksfx"
[ -x "$MKSFX" ] || { echo "FAIL: no host mksfx at $MKSFX (build the host preset first)"; exit 1; }

fail() { echo "FAIL: $*"; exit 1; }

# make_sfx OUT.exe ZIP [mksfx options...]: the self-extracting file in $WORK.
make_sfx() {
  local out=$1 zip=$2
  shift 2
  "$MKSFX" --stub "$STUB" --zip "$zip" --out "$WORK/$out" "$@"
}

# drive [--hold PATH] PROGRAM STEP...: runs sfxdrive under Wine from $WORK.
# Its output goes through a file: Wine's services started on the way must
# not hold the test's own output open.
drive() {
  local log="$WORK/sfxdrive.log" rc=0
  wine "$KORVI_WIN32/sfxdrive.exe" "$@" </dev/null >"$log" 2>&1 || rc=$?
  cat "$log"
  return $rc
}

# expect_file PATH CONTENT: the file exists and holds exactly CONTENT.
expect_file() {
  [ -f "$1" ] || fail "missing file $1"
  [ "$(cat "$1")" = "$2" ] || fail "$1 holds '$(cat "$1")', not '$2'"
}
