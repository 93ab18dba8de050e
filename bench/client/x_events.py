"""Timestamps X events as the server delivers them, without polling: the mapping of windows,
drawing into them and the mouse button releases.

Speaks the few bits of the X11 protocol it needs over the display's Unix socket (the benchmarks use
the standard library only): it listens to the root window's substructure, and to the structure of
every new top-level window so that a mapping inside a window manager's frame is seen as well. Each
window's first MapNotify is stamped with time.monotonic() when it arrives. Button releases are
watched as the input extension's raw events on the root window: the server sends them to every
client that asks, stamped with the server time at which it turned the device's input into the
event the program gets. The server's millisecond clock is CLOCK_MONOTONIC, the clock of
time.monotonic(), so that stamp is used rather than the time the script got round to reading it.
Drawing is watched with the damage extension on every new top-level window, its reports carrying
the same server stamp."""

import queue
import socket
import struct
import threading
import time

_CREATE_NOTIFY = 16
_GENERIC_EVENT = 35
_MAP_NOTIFY = 19
_STRUCTURE_NOTIFY = 0x20000
_SUBSTRUCTURE_NOTIFY = 0x80000
_CW_EVENT_MASK = 0x800
_CHANGE_WINDOW_ATTRIBUTES = 2
_QUERY_TREE = 15
_GET_INPUT_FOCUS = 43
_QUERY_EXTENSION = 98
_XI_SELECT_EVENTS = 46
_XI_QUERY_VERSION = 47
_XI_ALL_MASTER_DEVICES = 1
_XI_RAW_BUTTON_RELEASE = 16
_DAMAGE_QUERY_VERSION = 0
_DAMAGE_CREATE = 1
_DAMAGE_REPORT_RAW_RECTANGLES = 0


def _padded(n):
    return (n + 3) & ~3


def _server_time(stamp_ms, now):
    """The monotonic time in seconds of a 32-bit server stamp in milliseconds taken shortly before
    `now`."""
    now_ms = int(now * 1000)
    return (now_ms - ((now_ms - stamp_ms) & 0xFFFFFFFF)) / 1000


class XEvents:
    def __init__(self, display):
        number = display.lstrip(":").split(".")[0]
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._sock.connect(f"/tmp/.X11-unix/X{number}")
        # Little-endian, protocol 11.0, no authorisation (a private Xvfb started without -auth).
        self._sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = self._read(8)
        length = struct.unpack_from("<H", head, 6)[0]
        body = self._read(length * 4)
        if head[0] != 1:
            raise RuntimeError("X server refused the connection: " + body[: head[1]].decode(errors="replace"))
        vendor_length = struct.unpack_from("<H", body, 16)[0]
        formats = body[21]
        self.root = struct.unpack_from("<I", body, 32 + _padded(vendor_length) + 8 * formats)[0]
        id_base, id_mask = struct.unpack_from("<II", body, 4)
        self._free_ids = (id_base | (n & id_mask) for n in range(1, id_mask + 1))
        self._damage = None  # (major opcode, first event) once damage is watched
        self._damaged = {}
        self._mapped = {}
        self._releases = queue.Queue()
        self._lock = threading.Lock()
        self._replies = queue.Queue()
        self._input_opcode = None
        self._changed = threading.Condition()
        self._select(self.root, _SUBSTRUCTURE_NOTIFY)
        self._reader = threading.Thread(target=self._read_events, daemon=True)
        self._reader.start()

    def close(self):
        try:
            self._sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._sock.close()
        self._reader.join(timeout=2)

    def mapped_at(self, window):
        """The monotonic time the window was first mapped, or None."""
        with self._changed:
            return self._mapped.get(window)

    def viewable_at(self, window):
        """When the window and all its ancestors had been mapped (a window manager maps its frame
        around a window after the window itself), or None if the top-level one was not seen.
        A window's own mapping inside a frame can go unseen when it follows its creation faster
        than this watch selects it; the frame's, on the root, cannot."""
        chain = [window]
        while True:
            reply = self._ask(struct.pack("<BxHI", _QUERY_TREE, 2, chain[-1]))
            parent = struct.unpack_from("<I", reply, 12)[0]
            if parent in (0, self.root):
                break
            chain.append(parent)
        if self.mapped_at(chain[-1]) is None:
            return None
        return max(t for t in map(self.mapped_at, chain) if t is not None)

    def watch_button_releases(self):
        """From now on, stamp every mouse button release on the display."""
        name = b"XInputExtension"
        reply = self._ask(struct.pack("<BxHHxx", _QUERY_EXTENSION, 2 + _padded(len(name)) // 4, len(name))
                          + name.ljust(_padded(len(name)), b"\0"))
        if not reply[8]:
            raise RuntimeError("the X server has no input extension")
        self._input_opcode = reply[9]
        # The server sends version 2 events only to a client that has announced it speaks them.
        self._ask(struct.pack("<BBHHH", self._input_opcode, _XI_QUERY_VERSION, 2, 2, 2))
        with self._lock:
            self._sock.sendall(struct.pack("<BBHIHxxHHI", self._input_opcode, _XI_SELECT_EVENTS, 5,
                                           self.root, 1, _XI_ALL_MASTER_DEVICES, 1,
                                           1 << _XI_RAW_BUTTON_RELEASE))
        self._ask(struct.pack("<BxH", _GET_INPUT_FOCUS, 1))

    def watch_damage(self):
        """From now on, stamp every drawing into each new top-level window (with the rectangle
        drawn into): call before the program under test starts."""
        name = b"DAMAGE"
        reply = self._ask(struct.pack("<BxHHxx", _QUERY_EXTENSION, 2 + _padded(len(name)) // 4, len(name))
                          + name.ljust(_padded(len(name)), b"\0"))
        if not reply[8]:
            raise RuntimeError("the X server has no damage extension")
        # A client must agree a version before it may ask anything else of the extension.
        self._ask(struct.pack("<BBHII", reply[9], _DAMAGE_QUERY_VERSION, 3, 1, 1))
        self._damage = (reply[9], reply[10])

    def damage(self, window):
        """[(server time, x, y, width, height)] of the drawings seen into the window so far."""
        with self._changed:
            return list(self._damaged.get(window, []))

    def next_button_release(self, timeout=10.0):
        """(server stamp, arrival), both in time.monotonic() seconds, of the next button release;
        None after the timeout. The server stamp is cut to the millisecond."""
        try:
            return self._releases.get(timeout=timeout)
        except queue.Empty:
            return None

    def _ask(self, request, timeout=10.0):
        """Sends a request that has a reply and returns the reply. Once it is back, the server has
        carried out every request sent before it."""
        with self._lock:
            self._sock.sendall(request)
        try:
            reply = self._replies.get(timeout=timeout)
        except queue.Empty:
            raise RuntimeError("the X server did not answer") from None
        if reply is None:
            raise RuntimeError("the X server refused a request")
        return reply

    def _select(self, window, mask):
        with self._lock:
            self._sock.sendall(
                struct.pack("<BxHIII", _CHANGE_WINDOW_ATTRIBUTES, 4, window, _CW_EVENT_MASK, mask))

    def _watch_window_damage(self, window):
        with self._lock:
            self._sock.sendall(struct.pack("<BBHIIBxxx", self._damage[0], _DAMAGE_CREATE, 4,
                                           next(self._free_ids), window,
                                           _DAMAGE_REPORT_RAW_RECTANGLES))

    def _read(self, n):
        data = b""
        while len(data) < n:
            chunk = self._sock.recv(n - len(data))
            if not chunk:
                raise EOFError("X connection closed")
            data += chunk
        return data

    def _read_events(self):
        try:
            while True:
                event = self._read(32)
                arrived = time.monotonic()
                code = event[0] & 0x7F
                if code == 0 and event[10] in (_QUERY_EXTENSION, _QUERY_TREE, self._input_opcode):
                    self._replies.put(None)
                elif code == 1:
                    self._replies.put(event + self._read(struct.unpack_from("<I", event, 4)[0] * 4))
                elif code == _GENERIC_EVENT:
                    event += self._read(struct.unpack_from("<I", event, 4)[0] * 4)
                    kind = struct.unpack_from("<H", event, 8)[0]
                    if event[1] == self._input_opcode and kind == _XI_RAW_BUTTON_RELEASE:
                        self._releases.put((_server_time(struct.unpack_from("<I", event, 12)[0], arrived),
                                            arrived))
                elif code == _CREATE_NOTIFY:
                    # Errors for windows gone before this lands come back as events and are ignored.
                    window = struct.unpack_from("<I", event, 8)[0]
                    self._select(window, _STRUCTURE_NOTIFY)
                    if self._damage:
                        self._watch_window_damage(window)
                elif self._damage and code == self._damage[1]:
                    window, _, stamp, x, y, width, height = struct.unpack_from("<IIIhhHH", event, 4)
                    with self._changed:
                        self._damaged.setdefault(window, []).append(
                            (_server_time(stamp, arrived), x, y, width, height))
                elif code == _MAP_NOTIFY:
                    window = struct.unpack_from("<I", event, 8)[0]
                    with self._changed:
                        self._mapped.setdefault(window, arrived)
                        self._changed.notify_all()
        except (EOFError, OSError):
            pass
