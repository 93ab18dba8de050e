"""What the client benchmarks share: the build tree's programs, a private X display, and a program
started under the load observer with its load events timestamped."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

import process_memory

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEFAULT_BUILD = os.path.join(REPO, "build-clientbench")


class BuildTree:
    def __init__(self, path):
        self.path = os.path.abspath(path)
        self.chati = os.path.join(self.path, "app", "chati")
        self.floor = os.path.join(self.path, "bench", "client", "bare_webview")
        self.observer = os.path.join(self.path, "bench", "client", "libchati_bench_load_observer.so")
        for needed in (self.chati, self.floor, self.observer):
            if not os.path.exists(needed):
                raise SystemExit(f"{needed} is missing: build the tree first "
                                 f"(cmake --build {self.path} -j2)")

    def lookup_host(self):
        """host:port compiled into chati's query address (the CHATI_LOOKUP_HOST cache entry)."""
        with open(os.path.join(self.path, "CMakeCache.txt"), encoding="utf-8") as cache:
            for line in cache:
                match = re.match(r"CHATI_LOOKUP_HOST:\w+=(.*)", line)
                if match:
                    return match.group(1).strip()
        raise SystemExit("CHATI_LOOKUP_HOST not found in the build tree's CMakeCache.txt")


class Display:
    """A private Xvfb (1280x1024x24) on a display it picks itself, with openbox unless told not."""

    def __init__(self, window_manager=True):
        for tool in ("Xvfb", "xdotool", "openbox"):
            if not shutil.which(tool):
                raise SystemExit(f"{tool} is not installed: run scripts/setup")
        read_end, write_end = os.pipe()
        self._xvfb = subprocess.Popen(
            # -noreset: the server would otherwise reset whenever its last client leaves, refusing
            # connections meanwhile (without a window manager that is after every run).
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                self._xvfb.wait()
                raise SystemExit("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name)
        self.env.pop("WAYLAND_DISPLAY", None)
        self._window_manager = None
        if window_manager:
            self._window_manager_log = tempfile.TemporaryFile()
            self._window_manager = subprocess.Popen(
                ["openbox", "--sm-disable"], env=self.env,
                stdout=subprocess.DEVNULL, stderr=self._window_manager_log)
            try:
                self._wait_for_window_manager()
            except BaseException:
                self.close()
                raise

    def _wait_for_window_manager(self, timeout=30.0):
        # openbox announces itself on the root window once it manages the screen.
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self._window_manager.poll() is not None:
                self._window_manager_log.seek(0)
                message = self._window_manager_log.read().decode(errors="replace").strip()
                raise SystemExit(f"openbox ended with status {self._window_manager.returncode}: "
                                 f"{message}")
            out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                                 capture_output=True, text=True).stdout
            if "window id" in out:
                return
            time.sleep(0.05)
        raise SystemExit(f"openbox did not take the screen within {timeout} s")

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                              check=False)

    def visible_windows(self, classname):
        out = self.xdotool("search", "--onlyvisible", "--classname", classname).stdout
        return [int(w) for w in out.split()]

    def close(self):
        for process in (self._window_manager, self._xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        if self._window_manager:
            self._window_manager_log.close()


class Program:
    """A client program started on the display with the load observer preloaded. Keeps the
    timestamped "requested" and "loaded" events the observer writes."""

    def __init__(self, path, build, display, stdin=subprocess.DEVNULL):
        read_end, write_end = os.pipe()
        env = dict(display.env, LD_PRELOAD=build.observer, CHATI_BENCH_EVENT_FD=str(write_end))
        self.classname = os.path.basename(path)
        self.events = []  # (kind, monotonic seconds, uri)
        self._changed = threading.Condition()
        self.started = time.monotonic()
        self.output = []  # lines the program printed
        self.process = subprocess.Popen([path], env=env, stdin=stdin, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, pass_fds=(write_end,),
                                        cwd=os.path.dirname(path))
        os.close(write_end)
        self._reader = threading.Thread(target=self._read_events, args=(read_end,), daemon=True)
        self._reader.start()
        self._output_reader = threading.Thread(target=self._read_output, daemon=True)
        self._output_reader.start()

    @property
    def pid(self):
        return self.process.pid

    def _read_events(self, fd):
        with os.fdopen(fd, "rb") as lines:
            for line in lines:
                kind, ns, *uri = line.decode(errors="replace").rstrip("\n").split(" ", 2)
                with self._changed:
                    self.events.append((kind, int(ns) / 1e9, uri[0] if uri else ""))
                    self._changed.notify_all()

    def _read_output(self):
        for line in self.process.stdout:
            self.output.append(line.decode(errors="replace").rstrip("\n"))

    def loads(self):
        with self._changed:
            return [t for kind, t, _ in self.events if kind == "loaded"]

    def wait_for_loads(self, count, timeout=30.0):
        """Waits until `count` loads have finished; returns their times."""
        def done():
            return sum(kind == "loaded" for kind, _, _ in self.events) >= count

        deadline = time.monotonic() + timeout
        with self._changed:
            # Woken by each event; looks at the process between, in case it has ended.
            while not done():
                if self.process.poll() is not None:
                    raise SystemExit(f"{self.classname} ended with status {self.process.returncode} "
                                     f"before {count} page load(s)")
                if time.monotonic() > deadline:
                    raise SystemExit(f"{self.classname}: {count} page load(s) not seen in {timeout} s")
                self._changed.wait(0.1)
        return self.loads()

    def requests(self):
        with self._changed:
            return [(t, uri) for kind, t, uri in self.events if kind == "requested"]

    def stop(self):
        """Ends the program and the engine's helper processes it started."""
        helpers = process_memory.descendants(self.pid)
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        # The helpers leave when their connection to the program closes; wait for that briefly.
        deadline = time.monotonic() + 5
        for pid in helpers:
            while process_memory.alive(pid) and time.monotonic() < deadline:
                time.sleep(0.02)
            if process_memory.alive(pid):
                os.kill(pid, signal.SIGKILL)
        self._reader.join(timeout=2)
        self._output_reader.join(timeout=2)
        self.process.stdout.close()
