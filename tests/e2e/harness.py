"""Runs the client as a user would: in a private X server (Xvfb, optionally with openbox for a
window frame), driven by real key and mouse events through xdotool."""

import os
import shutil
import signal
import subprocess
import tempfile
import time

XDOTOOL_TIMEOUT = 20


def wait_for(predicate, timeout=15.0, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError(f"timed out waiting for {what}")


class Display:
    """A private X server at 1280x1024x24 on a free display number, torn down on exit."""

    def __init__(self, window_manager=False):
        self.window_manager = window_manager
        self.procs = []

    def __enter__(self):
        read_fd, write_fd = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        self.procs.append(xvfb)
        with os.fdopen(read_fd) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number
        self.env = dict(os.environ, DISPLAY=self.name)
        self.env.pop("WAYLAND_DISPLAY", None)
        if self.window_manager:
            self.procs.append(subprocess.Popen(["openbox"], env=self.env,
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_for(lambda: b"_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root"]),
                     what="openbox")
        return self

    def __exit__(self, *exc):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()

    def run(self, args, check=False):
        r = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           timeout=XDOTOOL_TIMEOUT)
        if check and r.returncode != 0:
            raise AssertionError(f"{args} failed")
        return r.stdout

    def xdotool(self, *args):
        return self.run(["xdotool", *args], check=True).decode()

    def screenshot(self, path):
        self.run(["import", "-window", "root", path], check=True)

    def pixel(self, x, y):
        """The colour at screen position (x, y), as (r, g, b)."""
        out = self.run(["import", "-window", "root", "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                       check=True).decode()
        rgb = out.splitlines()[1].split("(")[1].split(")")[0].split(",")[:3]
        return tuple(int(float(v)) for v in rgb)


class Client:
    """The client program in the display, with its window found once it is mapped."""

    def __init__(self, display, binary, cwd=None, env=None):
        self.display = display
        self.stderr = tempfile.TemporaryFile()
        full_env = dict(display.env)
        # Toolkit and engine libraries are not built with the sanitizers: their own leaks at exit
        # are not the program's.
        full_env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
        full_env.update(env or {})
        self.proc = subprocess.Popen([binary], cwd=cwd or tempfile.gettempdir(), env=full_env,
                                     stdout=subprocess.DEVNULL, stderr=self.stderr,
                                     start_new_session=True)
        self.window = None

    def wait_for_window(self, timeout=30):
        def find():
            if self.proc.poll() is not None:
                raise AssertionError(f"client exited with {self.proc.returncode}: {self.stderr_text()}")
            out = self.display.run(["xdotool", "search", "--onlyvisible", "--classname", "chati"])
            ids = out.split()
            return ids[0].decode() if ids else None
        self.window = wait_for(find, timeout=timeout, what="the start window")
        # The page starts empty; give the engine its first idle turn before keys arrive.
        wait_for(self.engine_started, timeout=timeout, what="the web engine")
        time.sleep(0.5)
        return self.window

    def engine_started(self):
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open(f"/proc/{pid}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                with open(f"/proc/{pid}/comm") as f:
                    comm = f.read().strip()
            except OSError:
                continue
            if int(fields[1]) == self.proc.pid and comm.startswith("WebKitWeb"):
                return True
        return False

    def key(self, *keys):
        for k in keys:
            self.display.xdotool("key", "--clearmodifiers", k)
            time.sleep(0.3)

    def type(self, text):
        self.display.xdotool("type", "--delay", "80", text)
        time.sleep(0.3)

    def click(self, x, y):
        """A left click at client coordinates of the start window."""
        self.display.xdotool("mousemove", "--window", self.window, str(x), str(y), "click", "1")
        time.sleep(0.3)

    def click_query(self):
        self.click(592, 24)

    def geometry(self, frame=False):
        """(x, y, width, height) of the client area, or of the window manager's frame."""
        wid = int(self.window)
        if frame:
            tree = self.display.run(["xwininfo", "-id", str(wid), "-children"]).decode()
            parent = [l for l in tree.splitlines() if "Parent window id:" in l][0].split()[3]
            if "(the root window)" not in [l for l in tree.splitlines() if "Parent window id:" in l][0]:
                wid = int(parent, 16)
        info = self.display.run(["xwininfo", "-id", str(wid)]).decode()
        def value(label):
            return int([l for l in info.splitlines() if label in l][0].split(":")[1])
        return (value("Absolute upper-left X"), value("Absolute upper-left Y"),
                value("Width"), value("Height"))

    def wait_exit(self, timeout=15):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the client did not end")

    def stderr_text(self):
        self.stderr.seek(0)
        return self.stderr.read().decode(errors="replace")

    def close(self):
        if self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()
        self.stderr.close()


def binary(name):
    path = os.environ.get(name)
    if not path or not os.path.exists(path):
        raise RuntimeError(f"set {name} to the program under test")
    return path


def have_tools():
    return all(shutil.which(t) for t in ("Xvfb", "xdotool", "xwininfo", "import"))
