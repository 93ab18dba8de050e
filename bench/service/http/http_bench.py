#!/usr/bin/env python3
"""Throughput and latency of `chati-server serve` over loopback HTTP, measured with wrk.

Starts the server on a free port with the given bank, builds a varied set of query URLs from
the bank's questions (exact, noisy, GBK-escaped, unanswerable), runs wrk with keep-alive, then
runs it again while hundreds of idle connections are held open, and reports requests/s, latency
percentiles, start-up time and the server's memory and threads. See README.md.
"""
import argparse
import csv
import os
import random
import re
import selectors
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

LABELS = ["【单选题】", "[填空题]", "单选题：", "12.", "3、"]
SCORES = ["（2分）", "(5.0分)", "（10分）"]


def noisy(question, rng):
    chars = list(question)
    if len(chars) > 6:
        del chars[rng.randrange(len(chars))]
    text = "".join(chars)
    if rng.random() < 0.5:
        text = rng.choice(LABELS) + text
    if rng.random() < 0.5:
        text += rng.choice(SCORES)
    return text


def unanswerable(rng):
    return "".join(chr(rng.randrange(0x4E00, 0x9FA5)) for _ in range(rng.randrange(6, 20)))


def query_paths(questions_csv, count, seed):
    rng = random.Random(seed)
    with open(questions_csv, newline="", encoding="utf-8") as f:
        rows = [row["question"] for row in csv.DictReader(f)]
    picked = rng.sample(rows, min(count, len(rows)))
    paths = []
    for i, question in enumerate(picked):
        kind = i % 10
        if kind < 4:
            text, encoding = question, "utf-8"
        elif kind < 8:
            text, encoding = noisy(question, rng), "utf-8"
        elif kind < 9:
            text, encoding = question, "gb18030"
        else:
            text, encoding = unanswerable(rng), "utf-8"
        paths.append("/tmbx/qutimu.php?w=" + urllib.parse.quote(text.encode(encoding), safe=""))
    rng.shuffle(paths)
    return paths


LUA = """
local paths = {}
for line in io.lines("%s") do paths[#paths + 1] = line end
local next_path = 1
function init(args)
  math.randomseed(os.time() + tonumber(tostring({}):sub(8), 16))
  next_path = math.random(#paths)
end
function request()
  next_path = next_path %% #paths + 1
  return wrk.format("GET", paths[next_path])
end
"""


class IdleConnections:
    """Holds `count` connections open and idle: half never send a byte, half send one request
    and then stay quiet. A connection the server closes (its keep-alive time-out) is opened
    again, so the number held stays the same for the whole run."""

    def __init__(self, port, count):
        self.port, self.count = port, count
        self.selector = selectors.DefaultSelector()
        self.stopping = threading.Event()
        self.reopened = 0
        for i in range(count):
            self._open(i % 2 == 1)
        self.thread = threading.Thread(target=self._hold, daemon=True)
        self.thread.start()

    def _open(self, with_request):
        s = socket.create_connection(("127.0.0.1", self.port))
        if with_request:
            s.sendall(b"GET /healthz HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        self.selector.register(s, selectors.EVENT_READ, with_request)

    def _hold(self):
        while not self.stopping.is_set():
            for key, _ in self.selector.select(timeout=0.2):
                s = key.fileobj
                try:
                    data = s.recv(65536)
                except OSError:
                    data = b""
                if not data:
                    self.selector.unregister(s)
                    s.close()
                    self.reopened += 1
                    if not self.stopping.is_set():
                        self._open(key.data)

    def close(self):
        self.stopping.set()
        self.thread.join()
        for key in list(self.selector.get_map().values()):
            key.fileobj.close()


def run_wrk(port, lua_file, args, path=""):
    script = ["-s", lua_file] if lua_file else []
    command = ["wrk", f"-t{args.threads}", f"-c{args.connections}", f"-d{args.duration}s", "--latency",
               "--timeout", "5s", *script, f"http://127.0.0.1:{port}{path}"]
    out = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    rps = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    latency = {p: m for p, m in re.findall(r"^\s+(50|75|90|99)%\s+(\S+)", out, re.M)}
    errors = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    socket_errors = re.search(r"Socket errors: (.*)", out)
    return rps, latency, int(errors.group(1)) if errors else 0, socket_errors.group(1) if socket_errors else "none", out


def single_request_ms(port, path):
    started = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
        s.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n".encode())
        while s.recv(65536):
            pass
    return (time.perf_counter() - started) * 1000


def proc_status(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    return fields


def report(title, result):
    rps, latency, non_2xx, socket_errors, _ = result
    print(f"{title}: {rps:,.0f} requests/s; latency p50 {latency.get('50')}, p90 {latency.get('90')}, "
          f"p99 {latency.get('99')}; non-2xx {non_2xx}; socket errors: {socket_errors}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--server", required=True, help="the chati-server binary")
    parser.add_argument("--bank", required=True, help="the bank to serve")
    parser.add_argument("--questions", required=True, help="CSV of the bank's questions (column 'question')")
    parser.add_argument("--queries", type=int, default=5000, help="distinct query URLs")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--connections", type=int, default=64)
    parser.add_argument("--duration", type=int, default=10, help="seconds per wrk run")
    parser.add_argument("--idle", type=int, default=500, help="idle connections held in the second run")
    parser.add_argument("--verbose", action="store_true", help="print wrk's own output")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="chati-http-bench-")
    paths_file, lua_file, log_file = (os.path.join(work, n) for n in ("paths.txt", "queries.lua", "access.log"))
    paths = query_paths(args.questions, args.queries, seed=4)
    with open(paths_file, "w") as f:
        f.write("\n".join(paths) + "\n")
    with open(lua_file, "w") as f:
        f.write(LUA % paths_file)

    started = time.perf_counter()
    with open(log_file, "w") as log:
        server = subprocess.Popen([args.server, "serve", "--bank", args.bank, "--listen", "127.0.0.1:0"],
                                  stdout=subprocess.PIPE, stderr=log, text=True)
    try:
        line = server.stdout.readline()
        ready = time.perf_counter() - started
        match = re.match(r"listening on http://127\.0\.0\.1:(\d+)/", line)
        if not match:
            sys.exit(f"the server did not start: {line!r}; see {log_file}")
        port = int(match.group(1))
        status = proc_status(server.pid)
        print(f"bank {args.bank}: ready in {ready:.2f} s, RSS {status['VmRSS']}, {len(paths)} distinct queries")

        run_wrk(port, lua_file, argparse.Namespace(**{**vars(args), "duration": 2}))  # warm-up
        report(f"HTTP alone (GET /healthz, no lookup), wrk -t{args.threads} -c{args.connections} "
               f"-d{args.duration}s", run_wrk(port, None, args, "/healthz"))
        plain = run_wrk(port, lua_file, args)
        report(f"queries, wrk -t{args.threads} -c{args.connections} -d{args.duration}s", plain)

        idle = IdleConnections(port, args.idle)
        fresh = [single_request_ms(port, paths[i]) for i in range(5)]
        print(f"with {args.idle} idle connections held: a query on a new connection took "
              + ", ".join(f"{ms:.1f}" for ms in fresh) + " ms")
        loaded = run_wrk(port, lua_file, args)
        threads = proc_status(server.pid)["Threads"]
        idle.close()
        report(f"queries, with {args.idle} idle connections held ({idle.reopened} reopened after the "
               f"server's keep-alive time-out; server threads {threads})", loaded)

        status = proc_status(server.pid)
        print(f"server memory: RSS {status['VmRSS']}, peak {status['VmHWM']}")
        if args.verbose:
            print(plain[4], loaded[4], sep="\n")
    finally:
        server.send_signal(signal.SIGTERM)
        server.wait(timeout=30)
        print(f"access log: {os.path.getsize(log_file) / 2**20:.1f} MiB")
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
