#!/usr/bin/env bash
# A run of mksfx create cut off by a signal that no one typed leaves no
# temporary behind, and an older output as it was: SIGPIPE when the reader
# of its -v lines goes away (mksfx create -v ... | head -2), SIGXFSZ when
# the output reaches the file size limit (ulimit -f). It ends by the signal,
# as any program that writes to a closed pipe does.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p many
# Many entries: more lines of -v than a pipe and the output buffer hold
# (64 KiB and 4 KiB), so that a write meets the closed pipe whenever head
# ends.
python3 - <<'PY'
for i in range(3000):
    with open(f"many/file-{i:05d}.txt", "w") as f:
        f.write(f"file {i}\n")
PY
head -c 1000000 /dev/urandom > big.bin
printf 'old program' > old.exe

temporaries() { find . -maxdepth 1 -name '*mksfx-*' | sort; }

# SIGPIPE, over a new output and over an old one.
for output in new.exe old.exe; do
  set +o pipefail
  "$MKSFX" create -v --stub "$STUB" -o "$output" many | head -2 > head.txt
  rc=${PIPESTATUS[0]}
  set -o pipefail
  [ "$rc" -eq $((128 + 13)) ] || fail "$output: exit $rc, not SIGPIPE's 141"
  [ "$(wc -l < head.txt)" -eq 2 ] && grep -q "adding: many/file-00000.txt" head.txt || fail "$output: head read $(cat head.txt)"
  [ -z "$(temporaries)" ] || fail "$output: temporaries left after SIGPIPE: $(temporaries)"
done
[ ! -e new.exe ] || fail "new.exe was left after SIGPIPE"
[ "$(cat old.exe)" = "old program" ] || fail "old.exe was changed"
echo "SIGPIPE: nothing left behind"

# SIGXFSZ: a limit of 200 KiB on files, a program of a megabyte.
rc=0
(ulimit -f 200 && exec "$MKSFX" create -q --store --stub "$STUB" -o old.exe big.bin) 2>err.txt || rc=$?
[ "$rc" -eq $((128 + 25)) ] || fail "exit $rc, not SIGXFSZ's 153: $(cat err.txt)"
[ -z "$(temporaries)" ] || fail "temporaries left after SIGXFSZ: $(temporaries)"
[ "$(cat old.exe)" = "old program" ] || fail "old.exe was changed"
echo "SIGXFSZ: nothing left behind"

# Without a limit and with a reader to the end, the same runs succeed.
"$MKSFX" create -v --stub "$STUB" -o new.exe many | cat > all.txt
grep -q "adding: many/file-02999.txt" all.txt || fail "-v to a pipe read whole: $(tail -2 all.txt)"
"$MKSFX" create -q --store --stub "$STUB" -o old.exe big.bin
python3 "$CHECK" new.exe
python3 "$CHECK" old.exe
echo "runs cut off by a pipe or a size limit leave nothing behind"
