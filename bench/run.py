#!/usr/bin/env python3
"""Runs the benchmark workloads side by side in VESK (through `vesk run`), Lua 5.4 and Tcl 8.6 and
prints a table of median times, the ratios, and the goals beside them.

Usage: bench/run.py [--runs N] [--vesk PATH] [--html-bench PATH] [--only 1,2,...]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
WORK = os.path.join(HERE, "workloads")

NAMES = {
    1: "integer loop",
    2: "nested loops, CASE",
    3: "string work",
    4: "real arithmetic",
}


def timed(cmd, cwd=None):
    """Runs cmd, returns (seconds, peak RSS in KiB of that child alone, stdout)."""
    start = time.perf_counter()
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        child = subprocess.Popen(cmd, cwd=cwd, stdout=out, stderr=err)
        # wait4 reports the child's own usage; RUSAGE_CHILDREN would fold in every earlier child.
        _, status, usage = os.wait4(child.pid, 0)
        took = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        stdout, stderr = out.read(), err.read()
    if child.returncode != 0:
        sys.exit(f"bench: {' '.join(cmd)} failed ({child.returncode}): {stderr.decode(errors='replace')[:400]}")
    return took, usage.ru_maxrss, stdout


def median_of(cmd, runs, cwd=None):
    results = [timed(cmd, cwd) for _ in range(runs)]
    return statistics.median(r[0] for r in results), results[-1][2]


def make_reply_workload(folder, lines=50000):
    """A 50,000-line message and a reply template that walks every line with FOR and StringAt."""
    eml = os.path.join(folder, "long.eml")
    with open(eml, "w", newline="") as f:
        f.write("From: Alice Example <alice@example.com>\r\nTo: bob@example.com\r\n"
                "Subject: a long message\r\nDate: Fri, 11 Dec 2026 09:00:00 +0000\r\n"
                "Content-Type: text/plain; charset=us-ascii\r\n\r\n")
        for i in range(lines):
            f.write(f"line {i} of the long message, with some words to quote\r\n")
    template = os.path.join(folder, "walk.vesk")
    with open(template, "w") as f:
        f.write("// BEGIN_VESK\nVAR i, n, blank: Integer; s: String;\nBEGIN\n"
                "  n := StrToInt(refLines); blank := 0;\n"
                "  Println('On ' + refDate + ', ' + refFrom + ' wrote:');\n"
                "  FOR i := 1 TO n DO BEGIN\n"
                "    s := StringAt(i);\n"
                "    IF Length(s) = 0 THEN blank := blank + 1 ELSE Println('> ' + s);\n"
                "  END;\n"
                "END.\n")
    return template, eml


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--vesk", default=os.path.join(TOP, "build/release/host/vesk"))
    ap.add_argument("--html-bench", default=os.path.join(TOP, "build/release/bench/html_to_text_bench"))
    ap.add_argument("--only", default="1,2,3,4,5,6")
    args = ap.parse_args()
    # Workload 5 runs in a scratch folder, so relative paths must not depend on the caller's.
    args.vesk = os.path.abspath(args.vesk)
    args.html_bench = os.path.abspath(args.html_bench)
    only = {int(x) for x in args.only.split(",")}

    rows = []
    print(f"{'workload':<24} {'VESK s':>9} {'Lua s':>8} {'Tcl s':>8} {'VESK/Lua':>9} {'VESK/Tcl':>9}  goal")
    for n, name in NAMES.items():
        if n not in only:
            continue
        stem = os.path.join(WORK, f"{n}-" + {1: "integer-loop", 2: "nested-loops", 3: "strings", 4: "reals"}[n])
        ours, out_v = median_of([args.vesk, "run", stem + ".vesk"], args.runs)
        lua, out_l = median_of(["lua5.4", stem + ".lua"], args.runs)
        tcl, out_t = median_of(["tclsh8.6", stem + ".tcl"], args.runs)
        same = out_v.split() == out_l.split() == out_t.split()
        met = ours <= 3 * lua and ours < tcl
        print(f"{n}. {name:<21} {ours:9.3f} {lua:8.3f} {tcl:8.3f} {ours / lua:9.1f} {ours / tcl:9.1f}"
              f"  <= 3x Lua and < Tcl: {'met' if met else 'NOT met'}{'' if same else '  (outputs differ!)'}")
        rows.append((n, ours, lua, tcl))

    if 5 in only:
        with tempfile.TemporaryDirectory() as tmp:
            template, eml = make_reply_workload(tmp)
            results = [timed([args.vesk, "run", template, "--ref", eml], tmp) for _ in range(args.runs)]
            t = statistics.median(r[0] for r in results)
            peak = max(r[1] for r in results)
            print(f"5. {'reply, 50,000 lines':<21} {t:9.3f} {'-':>8} {'-':>8} {'-':>9} {'-':>9}"
                  f"  < 0.050 s: {'met' if t < 0.05 else 'NOT met'}; peak memory {peak / 1024:.1f} MiB")

    if 6 in only:
        out = subprocess.run([args.html_bench, "1", "4", "16"], stdout=subprocess.PIPE, check=True).stdout.decode()
        for line in out.splitlines():
            _, mb, secs, rate, peak, _len = line.split()
            print(f"6. HtmlToText {mb:>3} MB      {float(secs):9.3f} {'-':>8} {'-':>8} {'-':>9} {'-':>9}"
                  f"  >= 200 MB/s: {float(rate):.0f} MB/s {'met' if float(rate) >= 200 else 'NOT met'};"
                  f" peak memory {int(peak) / 1024:.1f} MiB")


if __name__ == "__main__":
    main()
