# Shared helpers of mksfx's shell tests. Each test works in its own folder
# $TOOL_WORK/<test> with a stand-in stub (make_stub.py) as $STUB.
set -euo pipefail
: "${MKSFX:?}" "${KORVI_SOURCE:?}" "${KORVI_STUB_SIZE:?}" "${TOOL_WORK:?}"

TEST_NAME=$(basename "$0" .sh)
TEST_NAME=${TEST_NAME#test_}
WORK="$TOOL_WORK/$TEST_NAME"
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"
export TZ=UTC LC_ALL=C.UTF-8

STUB="$WORK/stub.exe"
python3 "$KORVI_SOURCE/tests/tool/make_stub.py" "$STUB" "$KORVI_STUB_SIZE" "$KORVI_SOURCE/Dialog/sfx.manifest"
CHECK="$KORVI_SOURCE/tests/tool/check_sfx.py"

fail() { echo "FAIL: $*"; exit 1; }

mksfx() { "$MKSFX" "$@"; }

# zip_readers_pass FILE [PASSWORD]: unzip -t, 7z t and Python's zipfile all
# pass, and neither unzip nor 7-Zip says a word of warning.
zip_readers_pass() {
  local file=$1 pw=${2:-} out
  if [ -n "$pw" ]; then out=$(unzip -t -P "$pw" "$file" 2>&1) || fail "unzip -t $file: $out"
  else out=$(unzip -t "$file" 2>&1) || fail "unzip -t $file: $out"; fi
  if grep -qi "warning" <<<"$out"; then fail "unzip -t $file warns: $out"; fi
  grep -q "No errors detected" <<<"$out" || fail "unzip -t $file: $out"
  out=$(7z t ${pw:+-p"$pw"} "$file" 2>&1) || fail "7z t $file: $out"
  if grep -qi "warning" <<<"$out"; then fail "7z t $file warns: $out"; fi
  grep -q "Everything is Ok" <<<"$out" || fail "7z t $file: $out"
  python3 - "$file" "$pw" <<'PY' || fail "Python's zipfile on $file"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
if sys.argv[2]:
    z.setpassword(sys.argv[2].encode("cp1252"))
bad = z.testzip()
sys.exit(1 if bad else 0)
PY
}

# fails_cleanly EXPECTED_TEXT OUTPUT -- MKSFX_ARGS...: mksfx exits with 1
# (2 with usage_error, below) with one line on stderr naming the reason
# (containing EXPECTED_TEXT), nothing on stdout, and leaves OUTPUT as it was
# (absent, or its old bytes) with no temporary beside it.
fails_cleanly() {
  local expected=$1 output=$2 before="" rc=0 existed=0
  shift 3
  if [ -e "$output" ] || [ -L "$output" ]; then existed=1; fi
  # A FIFO or device is not read here; the test checks what it is after.
  if [ -f "$output" ]; then before=$(sha256sum "$output"); fi
  "$MKSFX" "$@" >stdout.txt 2>stderr.txt || rc=$?
  [ "$rc" -ne 0 ] || fail "mksfx $* succeeded"
  [ "$rc" -eq "${EXPECTED_STATUS:-1}" ] || fail "mksfx $*: exit $rc, not ${EXPECTED_STATUS:-1}: $(cat stderr.txt)"
  [ "$(wc -l <stderr.txt)" -eq 1 ] || fail "mksfx $*: not one line on stderr: $(cat stderr.txt)"
  grep -q "^mksfx: " stderr.txt || fail "mksfx $*: $(cat stderr.txt)"
  grep -qF -- "$expected" stderr.txt || fail "mksfx $*: '$(cat stderr.txt)' does not say '$expected'"
  [ ! -s stdout.txt ] || fail "mksfx $* printed: $(cat stdout.txt)"
  if [ -n "$before" ]; then [ "$(sha256sum "$output")" = "$before" ] || fail "$output was changed"
  elif [ $existed -eq 0 ]; then [ ! -e "$output" ] || fail "$output was left behind"; fi
  local dir
  dir=$(dirname "$output")
  ! ls "$dir" 2>/dev/null | grep -q "mksfx-" || fail "a temporary was left in $dir: $(ls "$dir")"
  echo "refused as expected: $(cat stderr.txt)"
}

# usage_error EXPECTED_TEXT OUTPUT -- MKSFX_ARGS...: as fails_cleanly, with
# exit status 2.
usage_error() { EXPECTED_STATUS=2 fails_cleanly "$@"; }

# test_fails EXPECTED_TEXT FILE [MKSFX_TEST_ARGS...]: mksfx test FILE exits
# with 1 and says why on stdout, its one stream; nothing on stderr.
test_fails() {
  local expected=$1 file=$2 rc=0
  shift 2
  "$MKSFX" test "$@" "$file" >test.txt 2>err.txt || rc=$?
  [ "$rc" -eq 1 ] || fail "mksfx test $file: exit $rc: $(cat test.txt err.txt)"
  [ ! -s err.txt ] || fail "mksfx test $file wrote to stderr: $(cat err.txt)"
  grep -qF -- "$expected" test.txt || fail "mksfx test $file: '$(cat test.txt)' does not say '$expected'"
}
