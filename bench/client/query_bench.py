#!/usr/bin/env python3
"""Click-to-request time of chati's "查询" button, and memory after many queries against the floor.

chati (built with CHATI_LOOKUP_HOST pointing at 127.0.0.1:<port>) runs on a private X display with
a timing server listening on that host and port. The script types a question into the edit box,
then clicks the button with `xdotool mousemove --window W 592 24 click 1` and waits for the request
and for the page load before the next click (at least --gap seconds apart). Times per click:
  release -> request   the button release as the X server turns it into the event chati gets
                       (its server time stamp, read from a raw input event; CLOCK_MONOTONIC cut
                       to the millisecond) -> request line read by the server. The button acts
                       on release, so this is the click-to-request time. It splits into
  release -> ask       chati's part: until it asks its web view to load the address (load observer)
  ask -> request       the engine's part: until the request line is read
  spawn -> request     xdotool started -> request line read; adds xdotool's own start-up and the
                       press-release gap it keeps, which vary with the machine's load
  spawn -> release     that xdotool share alone
  release -> seen      server stamp -> this script read the raw event (a check of the stamp)
Memory (RSS, PSS, USS) of chati and its helper processes is read after start-up and after the
clicks; the floor (bare_webview) loads the same address the same number of times, fed on its
stdin, and is read at the same two points; its "ask -> request" times are given for comparison.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import bench_session  # noqa: E402
import process_memory  # noqa: E402
from timing_server import TimingServer  # noqa: E402
from x_events import XEvents  # noqa: E402

BUTTON = (592, 24)
EDIT_BOX = (300, 24)


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, round(fraction * (len(ordered) - 1)))]


def wait_for_window(display, classname, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        windows = display.visible_windows(classname)
        if windows:
            return windows[0]
        time.sleep(0.02)
    raise SystemExit(f"no visible {classname} window")


def run_chati(build, display, server, args):
    events = XEvents(display.name)
    program = bench_session.Program(build.chati, build, display)
    try:
        program.wait_for_loads(1)
        time.sleep(args.settle)
        window = wait_for_window(display, "chati")
        memory = {"after start-up": process_memory.snapshot(program.pid)}
        display.xdotool("mousemove", "--window", str(window), *map(str, EDIT_BOX), "click", "1")
        display.xdotool("type", "--delay", "60", args.question)
        time.sleep(args.settle)
        events.watch_button_releases()
        loads_before = len(program.loads())
        asks_before = len(program.requests())
        times = {"release -> request": [], "release -> ask": [], "ask -> request": [],
                 "spawn -> request": [], "spawn -> release": [], "release -> seen": []}
        lines = []
        for click in range(args.clicks):
            spawned = time.monotonic()
            subprocess.run(["xdotool", "mousemove", "--window", str(window), *map(str, BUTTON),
                            "click", "1"], env=display.env, check=True)
            release = events.next_button_release()
            if release is None:
                raise SystemExit("the click's button release was not seen")
            released, seen = release
            arrived, line = server.next_arrival()
            asked = program.requests()[asks_before + click][0]
            times["release -> request"].append(arrived - released)
            times["release -> ask"].append(asked - released)
            times["ask -> request"].append(arrived - asked)
            times["spawn -> request"].append(arrived - spawned)
            times["spawn -> release"].append(released - spawned)
            times["release -> seen"].append(seen - released)
            lines.append(line)
            if args.verbose:
                print(f"click {click + 1:3}: " + "  ".join(
                    f"{key} {values[-1] * 1000:6.1f}" for key, values in times.items()), flush=True)
            program.wait_for_loads(loads_before + click + 1)
            time.sleep(max(0.0, args.gap - (time.monotonic() - spawned)))
        time.sleep(args.settle)
        memory[f"after {args.clicks} queries"] = process_memory.snapshot(program.pid)
        return {"times": times, "lines": lines, "memory": memory}
    finally:
        program.stop()
        events.close()


def run_floor(build, display, server, address, args):
    program = bench_session.Program(build.floor, build, display, stdin=subprocess.PIPE)
    try:
        program.wait_for_loads(1)
        time.sleep(args.settle)
        memory = {"after start-up": process_memory.snapshot(program.pid)}
        asks_before = len(program.requests())
        engine = []
        for load in range(args.clicks):
            fed = time.monotonic()
            program.process.stdin.write((address + "\n").encode())
            program.process.stdin.flush()
            arrived, _ = server.next_arrival()
            program.wait_for_loads(2 + load)
            engine.append(arrived - program.requests()[asks_before + load][0])
            time.sleep(max(0.0, args.gap - (time.monotonic() - fed)))
        time.sleep(args.settle)
        memory[f"after {args.clicks} queries"] = process_memory.snapshot(program.pid)
        return {"times": {"ask -> request": engine}, "memory": memory}
    finally:
        program.process.stdin.close()
        program.stop()


def print_times(name, times):
    for key, seconds in times.items():
        values = [v * 1000 for v in seconds]
        print(f"  {name:<13} {key:<18} median {statistics.median(values):6.1f}  "
              f"p90 {percentile(values, 0.9):6.1f}  min {min(values):6.1f}  max {max(values):6.1f}  "
              f"first {values[0]:6.1f}")


def print_memory(name, memory):
    for moment, snapshot in memory.items():
        for process, figures in sorted(snapshot.items()):
            print(f"  {name:<13} {moment:<18} {process:<22} {figures}")
        print(f"  {name:<13} {moment:<18} {'all':<22} {process_memory.total(snapshot.values())}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=bench_session.DEFAULT_BUILD,
                        help="build tree with app/chati and bench/client (default: %(default)s)")
    parser.add_argument("--clicks", type=int, default=50, help="clicks (and floor loads)")
    parser.add_argument("--gap", type=float, default=0.3, help="least seconds between clicks")
    parser.add_argument("--settle", type=float, default=1.0,
                        help="seconds to let start-up, typing or the last query settle")
    parser.add_argument("--question", default="床前明月光", help="text typed into the edit box")
    parser.add_argument("--no-wm", action="store_true", help="run without a window manager")
    parser.add_argument("--verbose", action="store_true", help="print the times of each click")
    parser.add_argument("--no-floor", action="store_true", help="skip the floor's memory run")
    args = parser.parse_args()

    build = bench_session.BuildTree(args.build)
    host = build.lookup_host()
    address, _, port = host.rpartition(":")
    if not address.startswith("127."):
        raise SystemExit(f"chati in {build.path} asks {host}; configure it with "
                         f"-DCHATI_LOOKUP_HOST=127.0.0.1:<free port>")
    server = TimingServer(address, int(port))
    display = bench_session.Display(window_manager=not args.no_wm)
    try:
        print(f"display {display.name}, window manager: {'none' if args.no_wm else 'openbox'}, "
              f"lookup host {host}")
        chati = run_chati(build, display, server, args)
        floor = None
        if not args.no_floor:
            # The very address chati's requests went to, as the server received it.
            path = chati["lines"][0].split(" ")[1]
            floor = run_floor(build, display, server, f"http://{host}{path}", args)
    finally:
        display.close()
        server.close()

    print(f"first request line: {chati['lines'][0]}")
    distinct = sorted(set(chati["lines"]))
    if len(distinct) > 1:
        print(f"note: {len(distinct)} different request lines were received")
    print(f"click to request over {args.clicks} clicks (ms)")
    print_times("chati", chati["times"])
    if floor:
        print(f"the floor, fed the same address {args.clicks} times (ms)")
        print_times("bare_webview", floor["times"])
    print()
    print("memory (MiB)")
    print_memory("chati", chati["memory"])
    if floor:
        print_memory("bare_webview", floor["memory"])


if __name__ == "__main__":
    main()
