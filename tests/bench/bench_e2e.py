#!/usr/bin/env python3
"""End-to-end benchmark: how long the files take to appear.

Makes its corpora itself (one 200 MB file of mixed content; a tree of 12,000
small files in deep folders), zips each once with Info-ZIP zip, then in one
run times: the stub under Wine in automatic mode, `unzip -o -qq` and
`7z x -y` on the host to the same disk, and writeloop (tests/bench/
writeloop.cpp), which writes the same files under the same Wine with nothing
but CreateDirectoryA, CreateFileA, WriteFile, SetFileTime and CloseHandle.
Every output tree is compared with unzip's. It also reports the stub's peak
memory for a 16 MB and a 256 MB archive.

    bench_e2e.py WIN32_BUILD HOST_TOOLS WORK

Run it through scripts/bench-e2e.sh, which builds what it needs and gives it
a display and a Wine prefix."""
import filecmp
import os
import random
import resource
import shutil
import subprocess
import sys
import time

WIN32, TOOLS, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
PREFIX = os.environ["WINEPREFIX"]
DRIVE_C = os.path.join(PREFIX, "drive_c")
BENCH = os.path.join(DRIVE_C, "bench")  # C:\bench


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
    if os.path.exists(archive):
        os.remove(archive)
    subprocess.run(["zip", "-q", "-r", "-X", archive, "."], cwd=source, check=True)


def wine(*args, cwd=None):
    start = time.monotonic()
    subprocess.run(["wine", *args], cwd=cwd, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - start


def timed(command, cwd=None):
    start = time.monotonic()
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
    return time.monotonic() - start


def same_tree(a, b):
    cmp = filecmp.dircmp(a, b)
    if cmp.left_only or cmp.right_only or cmp.diff_files or cmp.funny_files:
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in cmp.common_dirs)


def index_for_writeloop(tree, index, blob):
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


def run_corpus(name, source):
    archive = os.path.join(WORK, f"{name}.zip")
    zip_tree(source, archive)
    sfx = os.path.join(BENCH, f"{name}.exe")
    subprocess.run([os.path.join(TOOLS, "mksfx"), "--stub", os.path.join(WIN32, "sfx.exe"), "--zip", archive,
                    "--out", sfx, "--auto", "--overwrite", "--dest", f"C:\\bench\\stub-{name}"], check=True)
    outs = {k: os.path.join(BENCH, f"{k}-{name}") for k in ("stub", "unzip", "7z", "loop")}
    for d in outs.values():
        shutil.rmtree(d, ignore_errors=True)
    subprocess.run(["sync"])
    t_stub = wine(f"C:\\bench\\{name}.exe", cwd=BENCH)
    t_unzip = timed(["unzip", "-o", "-qq", archive, "-d", outs["unzip"]])
    t_7z = timed(["7z", "x", "-y", f"-o{outs['7z']}", archive])
    index_for_writeloop(outs["unzip"], os.path.join(WORK, f"{name}.index"), os.path.join(WORK, f"{name}.blob"))
    loop = subprocess.run(["wine", os.path.join(WIN32, "writeloop.exe"), "Z:" + os.path.join(WORK, f"{name}.index"),
                           "Z:" + os.path.join(WORK, f"{name}.blob"), f"C:\\bench\\loop-{name}"],
                          check=True, capture_output=True, text=True, stdin=subprocess.DEVNULL)
    t_loop = int(loop.stdout.split()[0]) / 1000.0
    for k in ("stub", "7z", "loop"):
        if not same_tree(outs["unzip"], outs[k]):
            sys.exit(f"{name}: the {k} tree differs from unzip's")
    print(f"{name}: stub {t_stub:.2f} s, unzip {t_unzip:.2f} s, 7z {t_7z:.2f} s, write loop {t_loop:.2f} s")
    print(f"{name}: stub/unzip speed {t_unzip / t_stub:.2f}x, stub/7z speed {t_7z / t_stub:.2f}x, "
          f"stub time / write loop time {t_stub / t_loop:.2f}")
    for d in outs.values():
        shutil.rmtree(d, ignore_errors=True)


def peak_memory(size_mb):
    source = os.path.join(WORK, f"mem{size_mb}")
    if not os.path.isdir(source):
        os.makedirs(source)
        make_big(os.path.join(source, "data.bin"), size_mb << 20)
    archive = os.path.join(WORK, f"mem{size_mb}.zip")
    zip_tree(source, archive)
    sfx = os.path.join(BENCH, f"mem{size_mb}.exe")
    subprocess.run([os.path.join(TOOLS, "mksfx"), "--stub", os.path.join(WIN32, "sfx.exe"), "--zip", archive,
                    "--out", sfx, "--auto", "--overwrite", "--dest", f"C:\\bench\\mem{size_mb}"], check=True)
    # The peak resident size of the process that ran the stub, from a child
    # of its own so that earlier runs do not count.
    code = ("import resource,subprocess,sys;"
            "subprocess.run(['wine', sys.argv[1]], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,"
            " stderr=subprocess.DEVNULL, check=True);"
            "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    peak = int(subprocess.run([sys.executable, "-c", code, f"C:\\bench\\mem{size_mb}.exe"], cwd=BENCH,
                              check=True, capture_output=True, text=True).stdout)
    shutil.rmtree(os.path.join(BENCH, f"mem{size_mb}"), ignore_errors=True)
    return peak


def main():
    os.makedirs(WORK, exist_ok=True)
    os.makedirs(BENCH, exist_ok=True)
    big = os.path.join(WORK, "big")
    if not os.path.isdir(big):
        os.makedirs(big)
        make_big(os.path.join(big, "mixed.bin"), 200 << 20)
    tree = os.path.join(WORK, "tree")
    if not os.path.isdir(tree):
        make_tree(tree, 12000)
    run_corpus("big", big)
    run_corpus("tree", tree)
    small, large = peak_memory(16), peak_memory(256)
    print(f"peak memory: 16 MB archive {small // 1024} MB, 256 MB archive {large // 1024} MB, "
          f"ratio {large / small:.2f}")


if __name__ == "__main__":
    main()
