#!/usr/bin/env bash
# A run of mksfx create ended by SIGINT, SIGTERM or SIGHUP in the middle of
# its work leaves no temporary beside the output (one file or many volumes),
# leaves an older output as it was, and ends by the signal, as a killed
# program does. One that was told to ignore SIGINT keeps ignoring it.
source "$KORVI_SOURCE/tests/tool/lib.sh"
mkdir -p tree
# Words that take about 3 s at the highest level on two threads.
python3 -c "import random; random.seed(1); w = 'a run of words that the compressor takes its time with'.split()
print(' '.join(random.choice(w) for _ in range(3000000)))" > tree/numbers.txt
head -c 300000 /dev/urandom > tree/a-random.bin
printf 'old program' > old.exe

python3 - "$MKSFX" "$STUB" <<'PY'
import glob, os, signal, subprocess, sys, time
mksfx, stub = sys.argv[1], sys.argv[2]

def temporaries():
    return glob.glob("*mksfx-*")

def interrupt(sig, output, extra=(), temps_wanted=1, ignore=False):
    for f in glob.glob(os.path.splitext(output)[0] + ".z*"):
        os.remove(f)
    before = open(output, "rb").read() if os.path.exists(output) else None
    args = [mksfx, "create", "-q", "--stub", stub, "-o", output, "--level", "12", *extra, "tree"]
    preexec = (lambda: signal.signal(signal.SIGINT, signal.SIG_IGN)) if ignore else None
    p = subprocess.Popen(args, stderr=subprocess.PIPE, preexec_fn=preexec)
    deadline = time.time() + 60
    while len(temporaries()) < temps_wanted:
        if p.poll() is not None or time.time() > deadline:
            sys.exit(f"FAIL: {sig.name}: the run ended before its temporaries were there: {p.stderr.read()}")
        time.sleep(0.01)
    time.sleep(0.3)  # well inside the compression of numbers.txt
    p.send_signal(sig)
    if ignore:
        try:
            p.wait(timeout=1)
            sys.exit(f"FAIL: an ignored SIGINT ended the run ({p.returncode})")
        except subprocess.TimeoutExpired:
            pass
        p.terminate()
        sig = signal.SIGTERM
    p.wait(timeout=60)
    if p.returncode != -sig:
        sys.exit(f"FAIL: {sig.name}: exit {p.returncode}, not killed by the signal: {p.stderr.read()}")
    if temporaries():
        sys.exit(f"FAIL: {sig.name}: temporaries left: {temporaries()}")
    after = open(output, "rb").read() if os.path.exists(output) else None
    if after != before:
        sys.exit(f"FAIL: {sig.name}: {output} was changed")
    if glob.glob(os.path.splitext(output)[0] + ".z*"):
        sys.exit(f"FAIL: {sig.name}: volumes left: {glob.glob('*.z*')}")
    print(f"{'SIGINT ignored, then ' if ignore else ''}{sig.name} {' '.join(extra)}: nothing left behind")

interrupt(signal.SIGINT, "new.exe")
interrupt(signal.SIGTERM, "old.exe")
interrupt(signal.SIGHUP, "new.exe")
# Split: the random file fills several volumes before numbers.txt.
interrupt(signal.SIGTERM, "split.exe", ("--split", "64k"), temps_wanted=4)
interrupt(signal.SIGINT, "new.exe", ignore=True)
PY
[ ! -e new.exe ] || fail "new.exe was left"
[ "$(cat old.exe)" = "old program" ] || fail "old.exe was changed"
echo "interrupted runs leave nothing behind"
