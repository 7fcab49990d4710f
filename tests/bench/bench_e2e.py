#!/usr/bin/env python3
"""End-to-end benchmark: how long the files take to appear.

Makes its corpora itself (one 200 MB file of mixed content; a tree of 12,000
small files in deep folders) and zips each once with Info-ZIP zip. Then, on
two places, a tmpfs (/dev/shm) and a disk (under the build tree), with the
archives and the programs made from them on the same place as the output,
it times in one run: the stub under Wine in automatic mode, `unzip -o -qq`
and `7z x -y` on the host, and writeloop (tests/bench/writeloop.cpp), which
writes the same files under the same Wine with nothing but CreateDirectoryA,
CreateFileA, WriteFile, SetFileTime and CloseHandle. Each is run once to warm
up (its output is compared with the corpus then) and then --runs times, in
turns, with its output removed and the disks synced before each run; the
medians are reported.

The stub, unzip and 7z are timed as whole processes. writeloop times its own
loop (its blob of contents is read before); the start of a Wine process,
measured here as the median of runs of writeloop that do nothing, is added
to its time, so that both sides of that ratio pay for one process start.

It also times the Inflate decoder alone on the 200 MB archive's data (the
i686 benchmark inflate_bench.exe --zip, under the same Wine, against zlib
and libdeflate), for the decoder's share of the stub's time, and reports
the stub's peak memory for a 16 MB and a 256 MB archive.

    bench_e2e.py WIN32_BUILD HOST_TOOLS WORK [--runs N]

Run it through scripts/bench-e2e.sh, which builds what it needs and gives it
a display and a Wine prefix. Targets are reported, not asserted."""
import argparse
import filecmp
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("win32")
parser.add_argument("tools")
parser.add_argument("work")
parser.add_argument("--runs", type=int, default=3)
parser.add_argument("--cold-desktop", action="store_true")
ARGS = parser.parse_args()
WIN32, TOOLS, WORK = (os.path.abspath(a) for a in (ARGS.win32, ARGS.tools, ARGS.work))
TMPFS = "/dev/shm/korvi-bench-e2e"
TARGETS = {"unzip": 2.0, "7z": 1.3}  # at least this many times faster
TREE_TARGET = 1.3                    # at most this many times the write loop


def words(rng, size):
    vocab = [b"archive", b"window", b"folder", b"extract", b"the", b"of", b"file", b"code", b"int",
             b"return", b"struct", b"static", b"const", b"void", b"uint32_t", b"#include", b"{", b"}", b";"]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(vocab) + (b"\n" if rng.random() < 0.1 else b" ")
    return bytes(out[:size])


def make_big(path, size):
    """Mixed content: text-like runs, random runs and long repeats."""
    rng = random.Random(200)
    with open(path, "wb") as f:
        written = 0
        while written < size:
            kind = rng.random()
            n = min(size - written, rng.randint(1 << 16, 1 << 20))
            if kind < 0.6:
                block = words(rng, n)
            elif kind < 0.85:
                block = rng.randbytes(n)
            else:
                block = bytes([rng.randrange(256)]) * n
            f.write(block)
            written += n


def make_tree(root, files):
    rng = random.Random(10000)
    for i in range(files):
        depth = 1 + i % 4
        parts = [f"d{(i // (7 ** k)) % 7}" for k in range(depth)]
        folder = os.path.join(root, *parts)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"f{i}.txt"), "wb") as f:
            f.write(words(rng, rng.randint(200, 6000)))


def zip_tree(source, archive):
    if not os.path.exists(archive):
        subprocess.run(["zip", "-q", "-r", "-X", archive + ".part", "."], cwd=source, check=True)
        os.replace(archive + ".part", archive)


def zip_tree_piped(source, archive):
    """The same data as zip_tree's, written to a pipe: bit 3, no sizes in the
    local headers, a data descriptor after each entry."""
    if not os.path.exists(archive):
        with open(archive + ".part", "wb") as out:
            subprocess.run("zip -q -r -X - . | cat", shell=True, cwd=source, check=True, stdout=out)
        os.replace(archive + ".part", archive)


def windows_path(path):
    """The path as a Win32 program under Wine names it, on drive Z:."""
    return "Z:" + path.replace("/", "\\")


def run(command, cwd=None):
    """Seconds that the command takes, as a whole process."""
    start = time.monotonic()
    subprocess.run(command, cwd=cwd, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return time.monotonic() - start


def same_tree(a, b):
    cmp = filecmp.dircmp(a, b)
    if cmp.left_only or cmp.right_only or cmp.funny_files:
        return False
    if filecmp.cmpfiles(a, b, cmp.common_files, shallow=False)[1:] != ([], []):
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in cmp.common_dirs)


def index_for_writeloop(tree, index, blob):
    if os.path.exists(index) and os.path.exists(blob):
        return
    with open(index, "w") as ix, open(blob, "wb") as bl:
        for folder, dirs, files in os.walk(tree):
            dirs.sort()
            rel = os.path.relpath(folder, tree)
            if rel != ".":
                ix.write("D " + rel.replace("/", "\\") + "\n")
            for name in sorted(files):
                data = open(os.path.join(folder, name), "rb").read()
                bl.write(data)
                ix.write(f"F {len(data)} " + os.path.join(rel, name).replace("/", "\\").lstrip(".\\") + "\n")


def hold_desktop():
    """Keeps the Wine desktop open for the whole run, as the desktop of
    Windows always is, by a program left open on it (Wine's notepad). Without
    one, Wine ends the virtual desktop's process about a second after the
    last window closes and starts it again for the next GUI program: 0.1 to
    0.25 s of each stub run that unzip, 7z and the console write loop never
    pay. --cold-desktop measures that way instead."""
    holder = subprocess.Popen(["wine", "notepad"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    for _ in range(100):
        if any(b"explorer.exe" in command for command in process_commands()):
            break
        time.sleep(0.1)
    time.sleep(1)
    return holder


def process_commands():
    for pid in os.listdir("/proc"):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                yield f.read()
        except OSError:
            pass


def wine_start():
    """The median start of a Wine process that does nothing (writeloop
    without arguments ends at once)."""
    times = []
    for _ in range(max(3, ARGS.runs)):
        start = time.monotonic()
        subprocess.run(["wine", os.path.join(WIN32, "writeloop.exe")], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.monotonic() - start)
    return statistics.median(times)


def time_corpus(name, source, place, start_up):
    """Medians of the four ways to the files of one corpus on one place."""
    archive = os.path.join(place, f"{name}.zip")
    shutil.copyfile(os.path.join(WORK, f"{name}.zip"), archive)
    piped = os.path.join(place, f"{name}-piped.zip")
    shutil.copyfile(os.path.join(WORK, f"{name}-piped.zip"), piped)
    outs = {k: os.path.join(place, f"{k}-{name}") for k in ("stub", "piped", "unzip", "7z", "loop")}
    sfx = os.path.join(place, f"{name}.exe")
    subprocess.run([os.path.join(TOOLS, "mksfx"), "--stub", os.path.join(WIN32, "sfx.exe"), "--zip", archive,
                    "--out", sfx, "--auto", "--overwrite", "--dest", windows_path(outs["stub"])], check=True)
    # The stub again on the archive with data descriptors.
    sfx_piped = os.path.join(place, f"{name}-piped.exe")
    subprocess.run([os.path.join(TOOLS, "mksfx"), "--stub", os.path.join(WIN32, "sfx.exe"), "--zip", piped,
                    "--out", sfx_piped, "--auto", "--overwrite", "--dest", windows_path(outs["piped"])], check=True)
    index, blob = os.path.join(WORK, f"{name}.index"), os.path.join(WORK, f"{name}.blob")
    index_for_writeloop(source, index, blob)

    def loop():
        done = subprocess.run(["wine", os.path.join(WIN32, "writeloop.exe"), windows_path(index),
                               windows_path(blob), windows_path(outs["loop"])],
                              check=True, capture_output=True, text=True, stdin=subprocess.DEVNULL)
        return int(done.stdout.split()[0]) / 1000.0 + start_up

    ways = {
        "stub": lambda: run(["wine", windows_path(sfx)], cwd=place),
        "piped": lambda: run(["wine", windows_path(sfx_piped)], cwd=place),
        "unzip": lambda: run(["unzip", "-o", "-qq", archive, "-d", outs["unzip"]]),
        "7z": lambda: run(["7z", "x", "-y", f"-o{outs['7z']}", archive]),
        "loop": loop,
    }
    times = {k: [] for k in ways}
    order = list(ways)
    for turn in range(ARGS.runs + 1):
        for k in order[turn % len(order):] + order[:turn % len(order)]:
            shutil.rmtree(outs[k], ignore_errors=True)
            subprocess.run(["sync"])
            seconds = ways[k]()
            if turn == 0:
                if not same_tree(source, outs[k]):
                    sys.exit(f"{name}: the {k} output differs from the corpus")
            else:
                times[k].append(seconds)
    for d in outs.values():
        shutil.rmtree(d, ignore_errors=True)
    for f in (archive, sfx, piped, sfx_piped):
        os.remove(f)
    return {k: statistics.median(v) for k, v in times.items()}


def faster(stub, peer):
    return f"stub / {peer[0]} {stub / peer[1]:.2f} ({peer[1] / stub:.2f}x faster)"


def report_place(label, place, start_up, big, tree):
    print(f"\n{label} ({place}), medians of {ARGS.runs} runs:")
    b = time_corpus("big", big, place, start_up)
    print(f"  200 MB file:    stub {b['stub']:.2f} s, unzip {b['unzip']:.2f} s, 7z x {b['7z']:.2f} s, "
          f"write loop {b['loop']:.2f} s")
    print(f"    {faster(b['stub'], ('unzip', b['unzip']))}, target at least {TARGETS['unzip']}x")
    print(f"    {faster(b['stub'], ('7z x', b['7z']))}, target at least {TARGETS['7z']}x")
    print(f"    stub / write loop {b['stub'] / b['loop']:.2f}")
    print(f"    the same data with data descriptors: stub {b['piped']:.2f} s, "
          f"{b['piped'] / b['stub']:.3f} of the stub without, target at most 1.05")
    t = time_corpus("tree", tree, place, start_up)
    print(f"  12,000 files:   stub {t['stub']:.2f} s, unzip {t['unzip']:.2f} s, 7z x {t['7z']:.2f} s, "
          f"write loop {t['loop']:.2f} s")
    print(f"    stub / write loop {t['stub'] / t['loop']:.2f}, target at most {TREE_TARGET}")
    print(f"    {faster(t['stub'], ('unzip', t['unzip']))}, {faster(t['stub'], ('7z x', t['7z']))}")
    print(f"    the same data with data descriptors: stub {t['piped']:.2f} s, "
          f"{t['piped'] / t['stub']:.3f} of the stub without, target at most 1.05")
    return b["stub"]


def decoder_alone(archive):
    """The i686 decoders' speeds on the archive's data, MB/s (fastest runs),
    from inflate_bench.exe --zip; None without the benchmark."""
    bench = os.path.join(WIN32, "inflate_bench.exe")
    if not os.path.exists(bench):
        return None
    done = subprocess.run(["wine", bench, "--zip", windows_path(archive)], check=True, capture_output=True,
                          text=True, stdin=subprocess.DEVNULL)
    speeds = {}
    for line in done.stdout.splitlines():
        fields = line.split()
        if fields and fields[0].startswith("BM_") and fields[0].endswith("/zip"):
            speeds[fields[0][3:-len("Inflate/zip")] or "ours"] = float(fields[1].rstrip("M/s"))
    return speeds


def peak_memory(size_mb):
    source = os.path.join(WORK, f"mem{size_mb}")
    if not os.path.isdir(source):
        os.makedirs(source)
        make_big(os.path.join(source, "data.bin"), size_mb << 20)
    archive = os.path.join(WORK, f"mem{size_mb}.zip")
    zip_tree(source, archive)
    dest = os.path.join(TMPFS, f"mem{size_mb}")
    sfx = os.path.join(TMPFS, f"mem{size_mb}.exe")
    subprocess.run([os.path.join(TOOLS, "mksfx"), "--stub", os.path.join(WIN32, "sfx.exe"), "--zip", archive,
                    "--out", sfx, "--auto", "--overwrite", "--dest", windows_path(dest)], check=True)
    # The peak resident size of the process that ran the stub, from a child
    # of its own so that earlier runs do not count.
    code = ("import resource,subprocess,sys;"
            "subprocess.run(['wine', sys.argv[1]], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,"
            " stderr=subprocess.DEVNULL, check=True);"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    peak = int(subprocess.run([sys.executable, "-c", code, windows_path(sfx)], cwd=TMPFS,
                              check=True, capture_output=True, text=True).stdout)
    shutil.rmtree(dest, ignore_errors=True)
    os.remove(sfx)
    return peak


def main():
    os.makedirs(WORK, exist_ok=True)
    big = os.path.join(WORK, "big")
    if not os.path.isdir(big):
        os.makedirs(big + ".part", exist_ok=True)
        make_big(os.path.join(big + ".part", "mixed.bin"), 200 << 20)
        os.replace(big + ".part", big)
    tree = os.path.join(WORK, "tree")
    if not os.path.isdir(tree):
        shutil.rmtree(tree + ".part", ignore_errors=True)
        make_tree(tree + ".part", 12000)
        os.replace(tree + ".part", tree)
    zip_tree(big, os.path.join(WORK, "big.zip"))
    zip_tree(tree, os.path.join(WORK, "tree.zip"))
    zip_tree_piped(big, os.path.join(WORK, "big-piped.zip"))
    zip_tree_piped(tree, os.path.join(WORK, "tree-piped.zip"))

    holder = None if ARGS.cold_desktop else hold_desktop()
    print("Wine desktop: " + ("started for each stub run (--cold-desktop)" if holder is None
                              else "kept open through the run, as on Windows"))
    start_up = wine_start()
    print(f"Wine process start (added to the write loop's own time): {start_up:.3f} s")
    speeds = decoder_alone(os.path.join(WORK, "big.zip"))

    disk = os.path.join(WORK, "disk")
    stub_times = {}
    try:
        for label, place in (("tmpfs", TMPFS), ("disk", disk)):
            shutil.rmtree(place, ignore_errors=True)
            os.makedirs(place)
            stub_times[label] = report_place(label, place, start_up, big, tree)
            shutil.rmtree(place, ignore_errors=True)

        if speeds:
            mb = (200 << 20) / 1048576.0
            ours = mb / speeds["ours"]
            print(f"\nThe decoder alone on the 200 MB archive's data (i686 under Wine, fastest of its runs): "
                  f"ours {speeds['ours']:.0f} MB/s, zlib {speeds.get('Zlib', 0):.0f} MB/s"
                  + (f", libdeflate {speeds['Libdeflate']:.0f} MB/s" if "Libdeflate" in speeds else ""))
            for label, t in stub_times.items():
                print(f"  {ours:.2f} s of the stub's {t:.2f} s on {label} ({100 * ours / t:.0f}%)")

        os.makedirs(TMPFS, exist_ok=True)
        small, large = peak_memory(16), peak_memory(256)
        ratio = large / small
        print(f"\npeak memory: 16 MB archive {small / 1024:.1f} MB, 256 MB archive {large / 1024:.1f} MB, "
              f"ratio {ratio:.2f} ({'within' if abs(ratio - 1) <= 0.1 else 'NOT within'} 10%)")
    finally:
        if holder is not None:
            holder.terminate()
        shutil.rmtree(TMPFS, ignore_errors=True)
        shutil.rmtree(disk, ignore_errors=True)


if __name__ == "__main__":
    main()
