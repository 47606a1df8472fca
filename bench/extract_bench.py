#!/usr/bin/env python3
"""Extraction speed of lumra-arc against bsdtar and unzip on one LVR-like package.

Builds a package of about 300 MB unpacked (thousands of small text files, some large compressible
and some incompressible files) with Info-ZIP zip in a tmpfs folder, then extracts it into a fresh
folder there, the three programs taking turns, and reports the median and best wall time, MB/s of
unpacked data, processor time (user and system, all threads) and peak resident memory of each.
Disk timings are too erratic to compare, hence tmpfs. Needs zip, unzip, bsdtar and /usr/bin/time (Debian: zip, unzip, libarchive-tools, time).

usage: bench/extract_bench.py [--lumra-arc PATH] [--compare PATH] [--runs N] [--work DIR] [--keep]

--compare runs a second lumra-arc (another build) in the same rounds, so that two versions are
compared under the same load. The load average at the start and the end is printed: on a shared
machine, repeat when it is high.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

SMALL_FILES = 6000
SMALL_MIN, SMALL_MAX = 1_000, 24_000
LARGE_TEXT = 8          # compressible, like scene data in .js files
LARGE_BINARY = 8        # incompressible, like packed textures
LARGE_SIZE = 16 * 1024 * 1024
WORDS = [b"vertex", b"normal", b"0.125", b"-3.75", b"texture", b"{", b"}", b"[", b"]", b"mesh",
         b"object", b"1024", b"material", b"\"name\"", b":", b",", b"\n", b"link", b"scene", b"42"]


def text_bytes(rng, size):
    out = bytearray()
    while len(out) < size:
        out += rng.choice(WORDS) + b" "
    return bytes(out[:size])


def build_package(work):
    tree = os.path.join(work, "tree")
    package = os.path.join(work, "package.lvr")
    if os.path.exists(package):
        return package
    rng = random.Random(20240601)
    os.makedirs(tree)
    for i in range(SMALL_FILES):
        folder = os.path.join(tree, "assets", "group%02d" % (i % 40), "part%d" % (i % 7))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "item%05d.js" % i), "wb") as f:
            f.write(text_bytes(rng, rng.randint(SMALL_MIN, SMALL_MAX)))
    big = os.path.join(tree, "data")
    os.makedirs(big)
    for i in range(LARGE_TEXT):
        with open(os.path.join(big, "objects_data%d.js" % i), "wb") as f:
            f.write(text_bytes(rng, LARGE_SIZE))
    for i in range(LARGE_BINARY):
        with open(os.path.join(big, "texture%d.bin" % i), "wb") as f:
            f.write(os.urandom(LARGE_SIZE))
    with open(os.path.join(tree, "index.html"), "wb") as f:
        f.write(b"<html><body>bench</body></html>\n")
    subprocess.run(["zip", "-q", "-r", package, "."], cwd=tree, check=True)
    return package


def tree_size(root):
    total = 0
    for folder, _, names in os.walk(root):
        for n in names:
            total += os.lstat(os.path.join(folder, n)).st_size
    return total


def run_once(argv, cwd, work):
    # The peak memory comes from /usr/bin/time: a child forked from this (large) Python process
    # would report the parent's pages as its own.
    rss_file = os.path.join(work, "rss.txt")
    start = time.perf_counter()
    status = subprocess.call(["/usr/bin/time", "-f", "%M %U %S", "-o", rss_file] + argv, cwd=cwd,
                             stdout=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit("%s failed with status %d" % (argv[0], status))
    with open(rss_file) as f:
        rss, user, system = f.read().split()[-3:]
        return elapsed, int(rss), float(user) + float(system)  # kilobytes, processor seconds


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lumra-arc", default=os.path.join(here, "..", "build", "bin", "lumra-arc"))
    parser.add_argument("--compare", help="a second lumra-arc to time in the same rounds")
    parser.add_argument("--no-unzip", action="store_true", help="leave unzip out (it is slow)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default="/dev/shm/lumra-extract-bench")
    parser.add_argument("--keep", action="store_true", help="keep the package for the next run")
    args = parser.parse_args()
    for tool in ("zip", "unzip", "bsdtar", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit("%s is missing (Debian: zip, unzip, libarchive-tools, time)" % tool)
    if not os.access(args.lumra_arc, os.X_OK):
        sys.exit("no lumra-arc at %s (build first, or pass --lumra-arc)" % args.lumra_arc)

    os.makedirs(args.work, exist_ok=True)
    package = build_package(args.work)
    unpacked = tree_size(os.path.join(args.work, "tree"))
    dest = os.path.join(args.work, "out")
    tools = {
        "lumra-arc x": lambda d: [os.path.abspath(args.lumra_arc), "x", package, "+*.*/+" + d],
        "bsdtar -xf": lambda d: ["bsdtar", "-xf", package, "-C", d],
    }
    if args.compare:
        tools["compared x"] = lambda d: [os.path.abspath(args.compare), "x", package, "+*.*/+" + d]
    if not args.no_unzip:
        tools["unzip -q"] = lambda d: ["unzip", "-q", package, "-d", d]
    load_before = os.getloadavg()[0]
    results = {name: [] for name in tools}
    for run in range(args.runs + 1):  # the first round warms the page cache and is not counted
        for name, argv in tools.items():
            shutil.rmtree(dest, ignore_errors=True)
            os.makedirs(dest)
            elapsed, rss, cpu = run_once(argv(dest), args.work, args.work)
            if name in ("lumra-arc x", "compared x") and run == 0 and tree_size(dest) != unpacked:
                sys.exit("lumra-arc extracted %d bytes, expected %d" % (tree_size(dest), unpacked))
            if run > 0:
                results[name].append((elapsed, rss, cpu))
    shutil.rmtree(dest, ignore_errors=True)

    print("package: %s, %.1f MB packed, %.1f MB unpacked, %d files; %d runs each"
          % (package, os.path.getsize(package) / 1e6, unpacked / 1e6, SMALL_FILES + LARGE_TEXT + LARGE_BINARY + 1,
             args.runs))
    print("load average (1 min): %.2f at the start, %.2f at the end, on %d cores"
          % (load_before, os.getloadavg()[0], os.cpu_count()))
    base = statistics.median(r[0] for r in results["bsdtar -xf"])
    # Each round runs the tools back to back: the ratio of each round's pair is less disturbed by
    # load that changes between rounds than the ratio of the medians. On a shared machine the best
    # round is the one least disturbed; all of them are printed, for the spread.
    for name in ("lumra-arc x", "compared x"):
        if name not in results:
            continue
        ratios = sorted(a[0] / b[0] for a, b in zip(results[name], results["bsdtar -xf"]))
        print("paired ratio %s / bsdtar: median %.3f, best %.3f, all %s"
              % (name.split()[0] if name == "lumra-arc x" else "compared", statistics.median(ratios), ratios[0],
                 " ".join("%.3f" % r for r in ratios)))
    for name, runs in results.items():
        t = statistics.median(r[0] for r in runs)
        best = min(r[0] for r in runs)
        rss = max(r[1] for r in runs)
        cpu = statistics.median(r[2] for r in runs)
        print("%-12s %7.3f s (best %.3f)  %7.1f MB/s  %5.2f x bsdtar time  %6.3f s processor time  peak RSS %6.1f MB"
              % (name, t, best, unpacked / 1e6 / t, t / base, cpu, rss / 1024))
    if not args.keep:
        shutil.rmtree(args.work, ignore_errors=True)


if __name__ == "__main__":
    main()
