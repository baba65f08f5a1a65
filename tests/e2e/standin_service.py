"""A stand-in for the Vellamark service's web server, for end-to-end tests and the benchmark.

Python standard library only. It listens on 127.0.0.1 on a port the system picks, answers the
password check's post with a small HTML page, records every post with its fields in the order
they were sent, checks the PIN challenge with its own reckoning against the PIN a test sets, and
answers everything else (the login page's style sheets, scripts and images) with 404.

    with StandinService(expected_pin="1234567890") as service:
        origin = service.origin              # "http://127.0.0.1:PORT", no trailing slash
        ...                                  # point the launcher at origin
        post = service.wait_for_post(timeout=20)
        post.field_names()                   # ["username", "password", ..., "appver"]
        post.field("username"), post.pin_ok
"""

from __future__ import annotations

import http.server
import threading
import time
import urllib.parse
from dataclasses import dataclass, field
from typing import Optional

CHECK_PATH = "/p_checkpassword.php"
FIELD_ORDER = ["username", "password", "time", "seed", "pin1", "pin2", "pin3", "appver"]


def challenge_indexes(time_text: str, seed: int) -> tuple[int, int, int]:
    """The three PIN positions the service asks for, given the posted time text and seed."""
    t = int(time_text, 10)
    if t == 0:
        raise ValueError("time text 000000 has no challenge")
    i1 = (seed * t // 17) % 8 + 1
    first = ("%.15G" % (seed / t))[0]
    i2 = int(first) if first.isdigit() else 0
    if i2 == i1:
        i2 = (i1 + 5) % 9 + 1
    u = str(2 * seed + t)
    i3 = int(u[3]) if len(u) >= 4 else 0
    while i3 in (i1, i2):
        i3 = (i3 + 2) % 9 + 1
    return i1, i2, i3


def expected_pin_fields(pin: str, time_text: str, seed: int) -> tuple[str, str, str]:
    return tuple(pin[i] if i < len(pin) else "" for i in challenge_indexes(time_text, seed))


@dataclass
class Post:
    path: str                         # request path with its query
    fields: list[tuple[str, str]]     # (name, value) in the order the browser sent them
    raw_body: bytes
    content_type: str
    received_at: float                # time.monotonic() when the body had been read
    pin_ok: Optional[bool] = None     # None when no PIN was expected or the fields were unusable
    pin_problem: str = ""

    def field_names(self) -> list[str]:
        return [name for name, _ in self.fields]

    def field(self, name: str) -> Optional[str]:
        for key, value in self.fields:
            if key == name:
                return value
        return None


@dataclass
class Request:
    method: str
    path: str
    received_at: float


class _Handler(http.server.BaseHTTPRequestHandler):
    server_version = "VellamarkStandin/1"
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):  # noqa: A002 - keep test output quiet
        pass

    def _send(self, status: int, body: bytes, content_type="text/html; charset=utf-8"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.server.owner._record(Request("GET", self.path, time.monotonic()))
        if urllib.parse.urlsplit(self.path).path == "/favicon.ico":
            self._send(204, b"")
            return
        self._send(404, b"<html><body>not found</body></html>")

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        now = time.monotonic()
        self.server.owner._record(Request("POST", self.path, now))
        if urllib.parse.urlsplit(self.path).path != CHECK_PATH:
            self._send(404, b"<html><body>not found</body></html>")
            return
        # The login page declares iso-8859-1, which browsers post as windows-1252, as the
        # service's Windows peers do.
        text = body.decode("ascii", errors="replace")
        fields = urllib.parse.parse_qsl(text, keep_blank_values=True, encoding="cp1252",
                                        errors="replace")
        post = Post(self.path, fields, body, self.headers.get("Content-Type", ""), now)
        self.server.owner._check_pin(post)
        self.server.owner._add_post(post)
        verdict = "accepted" if post.pin_ok else "rejected"
        page = ("<html><head><title>Vellamark check</title></head><body>"
                f"<p id=result>{verdict}</p></body></html>")
        self._send(200, page.encode("utf-8"))


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # A browser killed at the end of a test drops its connections; that is no fault.
        import sys
        if isinstance(sys.exc_info()[1], (ConnectionError, TimeoutError)):
            return
        super().handle_error(request, client_address)


class StandinService:
    def __init__(self, expected_pin: Optional[str] = None):
        self.expected_pin = expected_pin
        self._lock = threading.Condition()
        self._posts: list[Post] = []
        self._requests: list[Request] = []
        self._server: Optional[_Server] = None
        self._thread: Optional[threading.Thread] = None

    # life cycle -------------------------------------------------------------------------------
    def start(self) -> "StandinService":
        self._server = _Server(("127.0.0.1", 0), _Handler)
        self._server.owner = self
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self) -> None:
        if self._server is not None:
            self._server.shutdown()
            self._server.server_close()
            self._server = None

    def __enter__(self) -> "StandinService":
        return self.start()

    def __exit__(self, *exc) -> None:
        self.stop()

    @property
    def port(self) -> int:
        assert self._server is not None, "start() the service first"
        return self._server.server_address[1]

    @property
    def origin(self) -> str:
        return f"http://127.0.0.1:{self.port}"

    # what was received ------------------------------------------------------------------------
    @property
    def posts(self) -> list[Post]:
        with self._lock:
            return list(self._posts)

    @property
    def requests(self) -> list[Request]:
        with self._lock:
            return list(self._requests)

    def wait_for_posts(self, count: int, timeout: float) -> list[Post]:
        """The posts once at least `count` have arrived, or what there is when time runs out."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while len(self._posts) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                self._lock.wait(left)
            return list(self._posts)

    def wait_for_post(self, timeout: float) -> Optional[Post]:
        posts = self.wait_for_posts(1, timeout)
        return posts[0] if posts else None

    # internals --------------------------------------------------------------------------------
    def _record(self, request: Request) -> None:
        with self._lock:
            self._requests.append(request)

    def _add_post(self, post: Post) -> None:
        with self._lock:
            self._posts.append(post)
            self._lock.notify_all()

    def _check_pin(self, post: Post) -> None:
        if self.expected_pin is None:
            return
        try:
            time_text = post.field("time") or ""
            if len(time_text) != 6 or not time_text.isdigit():
                raise ValueError(f"time {time_text!r} is not six digits")
            seed = int(post.field("seed") or "", 10)
            if not 50 <= seed <= 10000048:
                raise ValueError(f"seed {seed} out of range")
            want = expected_pin_fields(self.expected_pin, time_text, seed)
        except ValueError as error:
            post.pin_ok = False
            post.pin_problem = str(error)
            return
        got = (post.field("pin1"), post.field("pin2"), post.field("pin3"))
        post.pin_ok = got == want
        if not post.pin_ok:
            post.pin_problem = f"pin fields {got!r}, expected {want!r}"


if __name__ == "__main__":
    # Runs on its own for manual trials: prints the origin and each post.
    import sys

    service = StandinService(sys.argv[1] if len(sys.argv) > 1 else None).start()
    print(service.origin, flush=True)
    seen = 0
    try:
        while True:
            posts = service.wait_for_posts(seen + 1, 3600)
            for post in posts[seen:]:
                print(post.path, post.fields, "pin_ok=%s" % post.pin_ok, flush=True)
            seen = len(posts)
    except KeyboardInterrupt:
        service.stop()
