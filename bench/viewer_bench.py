#!/usr/bin/env python3
"""lvrview's speed and weight, each against an anchor measured in the same run.

1. Start to the browser's launch on the ~300 MB package of extract_bench.py, against bsdtar -xf
   of the same package; both unpack into tmpfs (target: at most 1.10 x bsdtar + 0.2 s).
2. Start to the first splash frame, against a program that does only SDL's video initialisation
   (bench_sdl_init_anchor; target: under 1.5 x). lvrview's time is taken to
   the launch of the browser on a package of one small page, which comes right after the frame
   (an upper bound).
3. Processor use while the splash waits for a browser, over 10 s (target: under 3% of one core).
4. Peak memory of a run that unpacks the large package (target: under 40 MB).

Needs an X server (run under xvfb-run) and what extract_bench.py needs.
usage: xvfb-run -a bench/viewer_bench.py [--build DIR] [--runs N] [--work DIR]
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from extract_bench import build_package  # noqa: E402

BROWSER = """#!/bin/sh
echo $$ > "$VIEWER_BENCH_RECORD.part" && mv "$VIEWER_BENCH_RECORD.part" "$VIEWER_BENCH_RECORD"
exec sleep "${VIEWER_BENCH_STAY:-0}"
"""


def viewer_env(work, record, stay):
    env = dict(os.environ)
    env.update({"TMPDIR": os.path.join(work, "tmp"), "BROWSER": os.path.join(work, "bin", "browser"),
                "VIEWER_BENCH_RECORD": record, "VIEWER_BENCH_STAY": str(stay)})
    return env


def until_launch(lvrview, package, work, stay=0, rss=False):
    """Seconds from start to the browser's launch; the process (still running) and its rss file."""
    record = os.path.join(work, "launched")
    if os.path.exists(record):
        os.remove(record)
    rss_file = os.path.join(work, "rss.txt")
    argv = [lvrview, package]
    if rss:
        argv = ["/usr/bin/time", "-f", "%M", "-o", rss_file] + argv
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=viewer_env(work, record, stay), stderr=subprocess.DEVNULL)
    while not os.path.exists(record):
        if proc.poll() is not None:
            sys.exit("lvrview ended before launching the browser (status %d)" % proc.returncode)
        time.sleep(0.0005)
    return time.perf_counter() - start, proc, rss_file


def end(proc):
    # The run removes its unpack folder and ends; under /usr/bin/time the signal goes to the child.
    with open("/proc/%d/task/%d/children" % (proc.pid, proc.pid)) as f:
        children = [int(c) for c in f.read().split()]
    for pid in children or [proc.pid]:
        os.kill(pid, signal.SIGTERM)
    proc.wait()


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(here, "..", "build"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--work", default="/dev/shm/lumra-viewer-bench")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("needs an X server: run under xvfb-run")
    lvrview = os.path.abspath(os.path.join(args.build, "bin", "lvrview"))
    anchor = os.path.abspath(os.path.join(args.build, "bin", "bench_sdl_init_anchor"))
    for program in (lvrview, anchor):
        if not os.access(program, os.X_OK):
            sys.exit("no %s (build first)" % program)
    for sub in ("bin", "tmp", "small"):
        os.makedirs(os.path.join(args.work, sub), exist_ok=True)
    browser = os.path.join(args.work, "bin", "browser")
    with open(browser, "w") as f:
        f.write(BROWSER)
    os.chmod(browser, 0o755)
    package = build_package(args.work)
    small = os.path.join(args.work, "small.lvr")
    with open(os.path.join(args.work, "small", "index.html"), "w") as f:
        f.write("<html></html>\n")
    if os.path.exists(small):
        os.remove(small)
    subprocess.run(["zip", "-q", "-r", small, "."], cwd=os.path.join(args.work, "small"), check=True)

    # 1 and 4: the large package, taking turns with bsdtar; the first round warms the cache.
    dest = os.path.join(args.work, "out")
    viewer_t, bsdtar_t, peak = [], [], 0
    for run in range(args.runs + 1):
        shutil.rmtree(dest, ignore_errors=True)
        os.makedirs(dest)
        start = time.perf_counter()
        subprocess.run(["bsdtar", "-xf", package, "-C", dest], check=True)
        b = time.perf_counter() - start
        shutil.rmtree(dest, ignore_errors=True)
        t, proc, rss_file = until_launch(lvrview, package, args.work, rss=True)
        end(proc)
        with open(rss_file) as f:
            rss = int(f.read().split()[-1])
        if run > 0:
            viewer_t.append(t)
            bsdtar_t.append(b)
            peak = max(peak, rss)
    v, b = statistics.median(viewer_t), statistics.median(bsdtar_t)
    print("large package %.1f MB: start to launch %.3f s, bsdtar -xf %.3f s: %.2f x bsdtar "
          "(target at most 1.10 x + 0.2 s = %.3f s)" % (os.path.getsize(package) / 1e6, v, b, v / b, 1.10 * b + 0.2))
    print("peak memory of a run unpacking it: %.1f MB (target under 40 MB)" % (peak / 1024))

    # 2: first frame against SDL's own initialisation.
    frame_t, anchor_t = [], []
    for run in range(args.runs * 2 + 1):
        start = time.perf_counter()
        with subprocess.Popen([anchor], stdout=subprocess.PIPE) as shown:
            shown.stdout.readline()  # SDL is initialised
            a = time.perf_counter() - start
        t, proc, _ = until_launch(lvrview, small, args.work)
        end(proc)
        if run > 0:
            frame_t.append(t)
            anchor_t.append(a)
    f, a = statistics.median(frame_t), statistics.median(anchor_t)
    print("first splash frame (bounded by the launch): %.1f ms, SDL video initialisation %.1f ms: %.2f x "
          "(target under 1.5 x)" % (f * 1000, a * 1000, f / a))

    # 3: processor use while the splash waits for a browser that stays.
    _, proc, _ = until_launch(lvrview, small, args.work, stay=30)
    time.sleep(1.0)
    c0, t0 = cpu_seconds(proc.pid), time.perf_counter()
    time.sleep(10.0)
    c1, t1 = cpu_seconds(proc.pid), time.perf_counter()
    end(proc)
    print("processor use while waiting: %.2f%% of one core over %.1f s (target under 3%%)"
          % (100 * (c1 - c0) / (t1 - t0), t1 - t0))
    with open(os.path.join(args.work, "launched")) as f:
        try:
            os.kill(int(f.read()), signal.SIGTERM)  # the browser stand-in, left running by the viewer
        except ProcessLookupError:
            pass
    shutil.rmtree(args.work, ignore_errors=True)


if __name__ == "__main__":
    main()
