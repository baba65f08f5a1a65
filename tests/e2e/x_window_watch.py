"""Watches the X display's top-level windows and records every moment a window of the browser
is viewable on the screen. A minimal X11 client over the display's socket, standard library
only: it follows the events of the root window's children (creation, mapping, reparenting into
a window manager's frames, moves), so even a window that is mapped for a millisecond is seen.

    watch = WindowWatch(is_browser_pid)   # which processes count as the browser
    watch.start()
    ...                                   # run the launch
    watch.stop()
    watch.periods                         # [Period(start, end or None, window, geometry)]
"""

from __future__ import annotations

import os
import socket
import struct
import threading
import time
from dataclasses import dataclass
from typing import Callable, Optional

_CREATE, _DESTROY, _UNMAP, _MAP, _REPARENT, _CONFIGURE = 16, 17, 18, 19, 21, 22
_STRUCTURE_NOTIFY = 1 << 17
_SUBSTRUCTURE_NOTIFY = 1 << 19
_VIEWABLE = 2
_UNMAPPED = 0


def _pad(n: int) -> int:
    return (4 - n % 4) % 4


def _auth_cookie(display_number: int) -> tuple[bytes, bytes]:
    """The MIT-MAGIC-COOKIE-1 for the display from XAUTHORITY (xvfb-run writes one)."""
    path = os.environ.get("XAUTHORITY") or os.path.expanduser("~/.Xauthority")
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError:
        return b"", b""
    pos = 0

    def field() -> bytes:
        nonlocal pos
        (n,) = struct.unpack(">H", data[pos:pos + 2])
        value = data[pos + 2:pos + 2 + n]
        pos += 2 + n
        return value

    while pos + 2 <= len(data):
        pos += 2  # address family
        field()  # address
        number, name, cookie = field(), field(), field()
        if number in (b"", str(display_number).encode()) and name == b"MIT-MAGIC-COOKIE-1":
            return name, cookie
    return b"", b""


@dataclass
class Period:
    """A time (time.monotonic()) during which a browser window was viewable on the screen."""
    start: float
    end: Optional[float]  # None: still so when the watch stopped
    window: int           # the top-level window: the frame, or the browser's window itself
    geometry: tuple       # (x, y, width, height, border) when it began

    def overlaps(self, begin: float, finish: float) -> bool:
        return self.start < finish and (self.end is None or self.end > begin)


class XConnection:
    """Requests are answered in order; events that arrive meanwhile are kept for later."""

    def __init__(self, display: Optional[str] = None):
        display = display or os.environ["DISPLAY"]
        number = int(display.split(":", 1)[1].split(".")[0])
        self._sock = socket.socket(socket.AF_UNIX)
        self._sock.connect(f"/tmp/.X11-unix/X{number}")
        self._buffer = b""
        self._events: list[tuple[float, bytes]] = []
        self._sequence = 0
        name, cookie = _auth_cookie(number)
        setup = struct.pack("<BxHHHHxx", 0x6C, 11, 0, len(name), len(cookie))
        setup += name + b"\0" * _pad(len(name)) + cookie + b"\0" * _pad(len(cookie))
        self._sock.sendall(setup)
        head = self._receive(8)
        extra = self._receive(struct.unpack("<H", head[6:8])[0] * 4)
        if head[0] != 1:
            raise OSError("the X server refused the connection")
        (vendor_length,) = struct.unpack("<H", extra[16:18])
        screen = 32 + vendor_length + _pad(vendor_length) + 8 * extra[21]
        (self.root,) = struct.unpack("<I", extra[screen:screen + 4])
        self.width, self.height = struct.unpack("<HH", extra[screen + 20:screen + 24])

    def close(self) -> None:
        self._sock.close()

    def _receive(self, n: int) -> bytes:
        while len(self._buffer) < n:
            chunk = self._sock.recv(65536)
            if not chunk:
                raise EOFError("the X server closed the connection")
            self._buffer += chunk
        out, self._buffer = self._buffer[:n], self._buffer[n:]
        return out

    def _packet(self) -> bytes:
        packet = self._receive(32)
        if packet[0] == 1:  # a reply, with its length in 4-byte units beyond 32 bytes
            packet += self._receive(struct.unpack("<I", packet[4:8])[0] * 4)
        return packet

    def _request(self, opcode: int, data: int, body: bytes, reply: bool) -> Optional[bytes]:
        self._sock.sendall(struct.pack("<BBH", opcode, data, (4 + len(body)) // 4) + body)
        self._sequence = (self._sequence + 1) & 0xFFFF
        if not reply:
            return None
        while True:
            packet = self._packet()
            (sequence,) = struct.unpack("<H", packet[2:4])
            if packet[0] in (0, 1) and sequence == self._sequence:
                return packet if packet[0] == 1 else None  # an error: the window has gone
            if packet[0] > 1:
                self._events.append((time.monotonic(), packet))

    def select_input(self, window: int, mask: int) -> None:
        self._request(2, 0, struct.pack("<III", window, 0x800, mask), False)

    def intern_atom(self, name: str) -> int:
        raw = name.encode()
        reply = self._request(16, 0, struct.pack("<HH", len(raw), 0) + raw + b"\0" * _pad(len(raw)),
                              True)
        return struct.unpack("<I", reply[8:12])[0]

    def cardinal(self, window: int, atom: int) -> Optional[int]:
        reply = self._request(20, 0, struct.pack("<IIIII", window, atom, 0, 0, 1), True)
        if reply is None or reply[1] != 32 or struct.unpack("<I", reply[16:20])[0] < 1:
            return None
        return struct.unpack("<I", reply[32:36])[0]

    def mapped(self, window: int) -> bool:
        reply = self._request(3, 0, struct.pack("<I", window), True)
        return reply is not None and reply[26] != _UNMAPPED

    def parent(self, window: int) -> Optional[int]:
        reply = self._request(15, 0, struct.pack("<I", window), True)
        return None if reply is None else struct.unpack("<I", reply[12:16])[0]

    def top_levels(self) -> list[tuple[int, bool, tuple]]:
        """(window, viewable, (x, y, width, height, border)) of the root's children."""
        reply = self._request(15, 0, struct.pack("<I", self.root), True)
        (count,) = struct.unpack("<H", reply[16:18])
        out = []
        for window in struct.unpack(f"<{count}I", reply[32:32 + 4 * count]):
            attributes = self._request(3, 0, struct.pack("<I", window), True)
            geometry = self._request(14, 0, struct.pack("<I", window), True)
            if attributes and geometry:
                out.append((window, attributes[26] == _VIEWABLE,
                            struct.unpack("<hhHHH", geometry[12:22])))
        return out

    def next_event(self, timeout: float) -> Optional[tuple[float, bytes]]:
        if self._events:
            return self._events.pop(0)
        self._sock.settimeout(timeout)
        try:
            packet = self._packet()
        except socket.timeout:
            return None
        finally:
            self._sock.settimeout(None)
        return time.monotonic(), packet


class WindowWatch(threading.Thread):
    """Records each moment a window of the browser (by its _NET_WM_PID) is viewable, that is
    mapped itself and in a mapped top-level window (its window manager's frame, or itself),
    with some part of that top-level window on the screen. A frame a window manager draws
    around no mapped client (an iconify animation) is not the browser's window."""

    def __init__(self, is_browser_pid: Callable[[int], bool], display: Optional[str] = None):
        super().__init__(daemon=True)
        self._x = XConnection(display)
        self._is_browser_pid = is_browser_pid
        self._pid_atom = self._x.intern_atom("_NET_WM_PID")
        self._x.select_input(self._x.root, _SUBSTRUCTURE_NOTIFY)
        self._mapped: set[int] = set()
        self._geometry: dict[int, tuple] = {}
        self._frame_of: dict[int, int] = {}  # client window -> the frame it was put in
        self._pids: dict[int, Optional[int]] = {}
        for window, viewable, geometry in self._x.top_levels():
            self._geometry[window] = geometry
            if viewable:
                self._mapped.add(window)
        self._stopping = threading.Event()
        self._open: dict[int, Period] = {}
        self.periods: list[Period] = []
        self.error: Optional[BaseException] = None

    def stop(self) -> None:
        self._stopping.set()
        self.join(10)
        self._x.close()

    def _pid(self, window: int) -> Optional[int]:
        if window not in self._pids:
            self._pids[window] = self._x.cardinal(window, self._pid_atom)
        return self._pids[window]

    def _shows_browser(self, top: int) -> bool:
        clients = [top] + [c for c, frame in self._frame_of.items() if frame == top]
        for client in clients:
            if client not in self._mapped:
                continue
            pid = self._pid(client)
            if pid is not None and self._is_browser_pid(pid):
                return True
        return False

    def run(self) -> None:
        try:
            while not self._stopping.is_set():
                event = self._x.next_event(0.05)
                if event is not None:
                    self._handle(*event)
        except BaseException as error:  # reported by the test, not lost in the thread
            self.error = error

    def _handle(self, at: float, packet: bytes) -> None:
        code = packet[0] & 0x7F
        if code == _CREATE:
            parent, window = struct.unpack("<II", packet[4:12])
            if parent == self._x.root:
                self._geometry[window] = struct.unpack("<hhHHH", packet[12:22])
                # Its own mapping and unmapping, also once a window manager has framed it; a
                # map that came before this selection is read back.
                self._x.select_input(window, _STRUCTURE_NOTIFY)
                if self._x.mapped(window):
                    self._mapped.add(window)
        elif code in (_DESTROY, _UNMAP):
            self._mapped.discard(struct.unpack("<I", packet[8:12])[0])
        elif code == _MAP:
            self._mapped.add(struct.unpack("<I", packet[8:12])[0])
        elif code == _REPARENT:
            window, parent = struct.unpack("<II", packet[8:16])
            self._pid(window)  # while it still exists
            if parent == self._x.root:
                self._frame_of.pop(window, None)
            else:
                # Some window managers nest the client in a frame's inner window: what counts
                # is the frame, the root's child.
                top = parent
                for _ in range(16):
                    above = self._x.parent(top)
                    if above is None or above == self._x.root:
                        break
                    top = above
                self._frame_of[window] = top
        elif code == _CONFIGURE:
            window = struct.unpack("<I", packet[8:12])[0]
            self._geometry[window] = struct.unpack("<hhHHH", packet[16:26])
        else:
            return
        showing = {}
        for top in list(self._mapped):
            geometry = self._geometry.get(top)
            if geometry is None or top in self._frame_of:
                continue
            x, y, width, height, border = geometry
            on_screen = (x + width + 2 * border > 0 and y + height + 2 * border > 0
                         and x < self._x.width and y < self._x.height)
            if on_screen and self._shows_browser(top):
                showing[top] = geometry
        for top, geometry in showing.items():
            if top not in self._open:
                self._open[top] = Period(at, None, top, geometry)
                self.periods.append(self._open[top])
        for top in list(self._open):
            if top not in showing:
                self._open.pop(top).end = at
