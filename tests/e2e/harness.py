"""Runs the client as a user would: in a private X server (Xvfb, optionally with openbox for a
window frame), driven by real key and mouse events through xdotool."""

import os
import random
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
    """A private X server at 1280x1024x24, torn down on exit."""

    def __init__(self, window_manager=False):
        self.window_manager = window_manager
        self.procs = []

    def __enter__(self):
        # A display number of its own, drawn at random: numbers freed a moment ago by another test
        # are not reused while the old server may still be going away.
        for _ in range(20):
            number = random.randint(100, 30000)
            if os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            xvfb = subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.name = f":{number}"
            self.env = dict(os.environ, DISPLAY=self.name)
            self.env.pop("WAYLAND_DISPLAY", None)
            try:
                wait_for(lambda: xvfb.poll() is not None or subprocess.run(
                    ["xdotool", "getdisplaygeometry"], env=self.env, stdout=subprocess.PIPE,
                    stderr=subprocess.DEVNULL, timeout=XDOTOOL_TIMEOUT).stdout.strip() == b"1280 1024",
                    what="the X server")
            except AssertionError:
                xvfb.kill()
                xvfb.wait()
                continue
            if xvfb.poll() is None:
                self.procs.append(xvfb)
                break
        else:
            raise RuntimeError("no X server could be started")
        if self.window_manager:
            try:
                self.start_window_manager()
            except BaseException:
                self.__exit__(None, None, None)
                raise
        return self

    def start_window_manager(self):
        for _ in range(3):
            openbox = subprocess.Popen(["openbox"], env=self.env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            self.procs.append(openbox)
            if wait_for(lambda: openbox.poll() is not None or
                        b"_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root"]),
                        timeout=30, what="openbox") is True and openbox.poll() is None:
                return
        raise AssertionError("openbox did not start")

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
        full_env = dict(display.env)
        # Toolkit and engine libraries are not built with the sanitizers: their own leaks at exit
        # are not the program's.
        full_env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
        full_env.update(env or {})
        self.window = None
        # Under parallel test load a fresh private X server now and then refuses the very first
        # connection of a toolkit; that is the test bed's trouble, not the program's, so the start
        # is tried again then.
        for attempt in range(3):
            self.stderr = tempfile.TemporaryFile()
            self.proc = subprocess.Popen([binary], cwd=cwd or tempfile.gettempdir(), env=full_env,
                                         stdout=subprocess.DEVNULL, stderr=self.stderr,
                                         start_new_session=True)
            try:
                self.proc.wait(1.0)
            except subprocess.TimeoutExpired:
                return
            if "cannot open the display" not in self.stderr_text():
                return
            self.stderr.close()
            time.sleep(0.5)

    def wait_for_window(self, timeout=30):
        def find():
            if self.proc.poll() is not None:
                raise AssertionError(f"client exited with {self.proc.returncode}: {self.stderr_text()}")
            out = self.display.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid),
                                    "--classname", "chati"])
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

    def wait_for_edit_box_focus(self):
        """Waits until the edit box shows its focus ring (the toolkit draws it in the accent blue)."""
        def focused():
            x, y, _, _ = self.geometry()
            r, g, b = self.display.pixel(x + 64, y + 8 + 16)
            return b > r + 60
        wait_for(focused, timeout=15, interval=0.2, what="the edit box to get the focus")

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
