#!/usr/bin/env python3
"""Start-up of chati against the toolkit's floor (bare_webview), run in turns on one private X
display, and the memory of both right after start-up.

Per run and program it measures, from the exec:
  1st ask     the program first asked its web view to load an address (load observer)
  mapped      the program's top-level window viewable: it and the window manager's frame around
              it mapped (X MapNotify, seen from outside)
  1st paint   the first drawing into the window (X damage, server time stamp)
  web proc    the engine's WebKitWebProcess started (/proc start times; 10 ms resolution)
  1st load    the first page load finished in the web view (load observer, preloaded)
  last load   the last page load the program started at start-up finished, i.e. about:blank
              loaded with nothing more pending (loads seen within --settle seconds of the first)
  view paint  the last drawing into the web view's rectangle (8,48 648x352) within --settle
              seconds of the first load: about:blank on the screen
the CPU time (user + system, 10 ms steps) the program, and the program with the engine's helper
processes, had used when the first load finished; and then RSS, PSS and USS of the program and of
each of the engine's helper processes.
"""

import argparse
import os
import statistics
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import bench_session  # noqa: E402
import process_memory  # noqa: E402
from x_events import XEvents  # noqa: E402

TICKS_PER_SECOND = os.sysconf("SC_CLK_TCK")
WEB_VIEW = (8, 48, 648, 352)  # where both programs place the web view in the window


def _overlaps(a, b):
    return a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3] and b[1] < a[1] + a[3]


def measure(path, build, display, settle):
    watch = XEvents(display.name)
    watch.watch_damage()
    program = bench_session.Program(path, build, display)
    try:
        program.wait_for_loads(1)
        cpu_program = process_memory.cpu_ticks(program.pid)
        cpu_all = cpu_program + sum(map(process_memory.cpu_ticks, process_memory.descendants(program.pid)))
        time.sleep(settle)
        loads = program.loads()
        windows = []
        deadline = time.monotonic() + 10
        while not windows and time.monotonic() < deadline:
            windows = display.visible_windows(program.classname)
            if not windows:
                time.sleep(0.02)
        mapped = [t for t in map(watch.viewable_at, windows) if t is not None]
        if not mapped:
            raise SystemExit(f"{program.classname}: its window was not seen mapped")
        drawings = sorted(d for w in windows for d in watch.damage(w))
        view_drawings = [t for t, x, y, width, height in drawings
                         if _overlaps((x, y, width, height), WEB_VIEW)]
        helpers = {process_memory.name(pid): pid for pid in process_memory.descendants(program.pid)}
        web_process = None
        if "WebKitWebProcess" in helpers:
            ticks = (process_memory.start_ticks(helpers["WebKitWebProcess"])
                     - process_memory.start_ticks(program.pid))
            web_process = ticks / TICKS_PER_SECOND
        own_load = [int(line.split()[1]) / 1e9 for line in program.output
                    if line.startswith("loaded ")]
        return {
            "own load": own_load[0] - program.started if own_load else None,
            "1st ask": program.requests()[0][0] - program.started,
            "mapped": min(mapped) - program.started,
            "1st paint": drawings[0][0] - program.started if drawings else None,
            "view paint": view_drawings[-1] - program.started if view_drawings else None,
            "web proc": web_process,
            "1st load": loads[0] - program.started,
            "last load": loads[-1] - program.started,
            "loads": len(loads),
            "cpu prog": cpu_program / TICKS_PER_SECOND,
            "cpu all": cpu_all / TICKS_PER_SECOND,
            "requested": [uri for _, uri in program.requests()],
            "memory": process_memory.snapshot(program.pid),
        }
    finally:
        program.stop()
        watch.close()


def ms(value):
    return "   -  " if value is None else f"{value * 1000:6.0f}"


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=bench_session.DEFAULT_BUILD,
                        help="build tree with app/chati and bench/client (default: %(default)s)")
    parser.add_argument("--runs", type=int, default=10, help="measured runs of each program")
    parser.add_argument("--warmup", type=int, default=1, help="unmeasured runs of each first")
    parser.add_argument("--settle", type=float, default=1.5,
                        help="seconds after the first load to wait for further start-up loads "
                             "and before reading memory")
    parser.add_argument("--no-wm", action="store_true", help="run without a window manager")
    args = parser.parse_args()

    build = bench_session.BuildTree(args.build)
    programs = {"bare_webview": build.floor, "chati": build.chati}
    results = {name: [] for name in programs}
    display = bench_session.Display(window_manager=not args.no_wm)
    try:
        print(f"display {display.name}, window manager: {'none' if args.no_wm else 'openbox'}")
        print(f"{'run':>4} {'program':<13} {'1st ask':>7} {'mapped':>6} {'1st paint':>9} "
              f"{'web proc':>8} {'1st load':>8} {'last load':>9} {'view paint':>10}  loads "
              f"{'cpu prog':>8} {'cpu all':>7}   (ms)")
        for run in range(-args.warmup, args.runs):
            # Alternate which program goes first, so that neither always follows the other.
            order = list(programs) if run % 2 == 0 else list(reversed(programs))
            for name in order:
                result = measure(programs[name], build, display, args.settle)
                label = "warm" if run < 0 else str(run + 1)
                print(f"{label:>4} {name:<13} {ms(result['1st ask']):>7} {ms(result['mapped'])} "
                      f"{ms(result['1st paint']):>9} {ms(result['web proc']):>8} "
                      f"{ms(result['1st load']):>8} {ms(result['last load']):>9} "
                      f"{ms(result['view paint']):>10}  {result['loads']:>5} "
                      f"{ms(result['cpu prog']):>8} {ms(result['cpu all']):>7}", flush=True)
                if run >= 0:
                    results[name].append(result)
    finally:
        display.close()

    print()
    print("median over", args.runs, "runs (ms; times from the exec, CPU used by the 1st load)")
    keys = ("1st ask", "mapped", "1st paint", "web proc", "1st load", "last load", "view paint",
            "cpu prog", "cpu all")
    print(f"{'':<13} " + " ".join(f"{k:>10}" for k in keys))
    medians = {}
    for name, runs in results.items():
        medians[name] = {k: statistics.median(r[k] for r in runs if r[k] is not None) for k in keys}
        print(f"{name:<13} " + " ".join(f"{medians[name][k] * 1000:10.0f}" for k in keys))
    print(f"{'chati / floor':<13} " + " ".join(
        f"{medians['chati'][k] / medians['bare_webview'][k]:10.2f}" for k in keys))
    # The two programs of one run start moments apart, under much the same load from the rest of
    # the machine; the ratio within each run drifts less than the medians do.
    pairs = list(zip(results["chati"], results["bare_webview"]))
    paired = {k: statistics.median(c[k] / f[k] for c, f in pairs if c[k] and f[k]) for k in keys}
    print(f"{'run ratios':<13} " + " ".join(f"{paired[k]:10.2f}" for k in keys)
          + "   (median of the per-run chati / floor)")
    for name, runs in results.items():
        print(f"{name} asked the web view for: {runs[0]['requested']}")
    gaps = [abs(r["own load"] - r["1st load"]) * 1000 for r in results["bare_webview"]
            if r["own load"] is not None]
    if gaps:
        print(f"the floor's own wxEVT_WEBVIEW_LOADED vs the observer's 1st load: "
              f"median {statistics.median(gaps):.2f} ms, max {max(gaps):.2f} ms apart")

    print()
    print(f"memory {args.settle} s after the first load, median over {args.runs} runs (MiB)")
    for name, runs in results.items():
        for process in sorted({p for r in runs for p in r["memory"]}):
            memory = process_memory.median(r["memory"][process] for r in runs
                                           if process in r["memory"])
            print(f"  {name:<13} {process:<22} {memory}")
        memory = process_memory.median(process_memory.total(r["memory"].values()) for r in runs)
        print(f"  {name:<13} {'all':<22} {memory}")

if __name__ == "__main__":
    main()
