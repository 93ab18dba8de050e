"""Timestamps the mapping of X windows as the server reports it, without polling.

Speaks the few bits of the X11 protocol it needs over the display's Unix socket (the benchmarks use
the standard library only): it listens to the root window's substructure, and to the structure of
every new top-level window so that a mapping inside a window manager's frame is seen as well. Each
window's first MapNotify is stamped with time.monotonic() when it arrives."""

import socket
import struct
import threading
import time

_CREATE_NOTIFY = 16
_MAP_NOTIFY = 19
_STRUCTURE_NOTIFY = 0x20000
_SUBSTRUCTURE_NOTIFY = 0x80000
_CW_EVENT_MASK = 0x800
_CHANGE_WINDOW_ATTRIBUTES = 2


def _padded(n):
    return (n + 3) & ~3


class MapWatch:
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
        self._mapped = {}
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

    def _select(self, window, mask):
        self._sock.sendall(struct.pack("<BxHIII", _CHANGE_WINDOW_ATTRIBUTES, 4, window, _CW_EVENT_MASK, mask))

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
                if code == 1:  # a reply; none is asked for, but skip its tail to stay in step
                    self._read(struct.unpack_from("<I", event, 4)[0] * 4)
                elif code == _CREATE_NOTIFY:
                    # Errors for windows gone before this lands come back as events and are ignored.
                    self._select(struct.unpack_from("<I", event, 8)[0], _STRUCTURE_NOTIFY)
                elif code == _MAP_NOTIFY:
                    window = struct.unpack_from("<I", event, 8)[0]
                    with self._changed:
                        self._mapped.setdefault(window, arrived)
                        self._changed.notify_all()
        except (EOFError, OSError):
            pass
