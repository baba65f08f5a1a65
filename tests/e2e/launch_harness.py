"""Shared pieces of the launch's end-to-end tests and benchmark: the probe program, the
browsers it leaves running, their windows, and a window manager on the virtual display.

Standard library only. Every wait is on a condition, with a bound."""

from __future__ import annotations

import os
import shutil
import signal
import subprocess
import tempfile
import time
from dataclasses import dataclass
from typing import Callable, Optional

BUILD_DIR = os.environ.get("VELLAMARK_BUILD_DIR", "")


def probe_path() -> str:
    return os.path.join(BUILD_DIR, "tests", "e2e", "launch_probe")


def wait_until(condition: Callable[[], object], timeout: float, step: float = 0.05):
    """Polls condition until it gives something true or timeout passes; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


@dataclass
class ProbeRun:
    returncode: int
    stdout: str
    stderr: str
    start_monotonic: Optional[float]

    def messages(self) -> list[str]:
        return [line[len("message: "):] for line in self.stdout.splitlines()
                if line.startswith("message: ")]


class LaunchSandbox:
    """A folder of one test: the browser profiles (through XDG_CACHE_HOME), the program folder
    for page files, and what is needed to find and end the browsers started in it."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="vellamark-e2e-")
        self.cache = os.path.join(self.root, "cache")
        self.folder = os.path.join(self.root, "program")
        os.makedirs(self.folder)

    def run_probe(self, origin: str, username: str, password: str, pin: str,
                  flags: tuple[str, ...] = (), extra_env: Optional[dict] = None,
                  timeout: float = 120) -> ProbeRun:
        env = dict(os.environ, VELLAMARK_SERVICE_ORIGIN=origin, XDG_CACHE_HOME=self.cache)
        env.pop("VELLAMARK_BROWSER", None)
        env.update(extra_env or {})
        done = subprocess.run([probe_path(), "--folder", self.folder, *flags],
                              input=f"{username}\n{password}\n{pin}\n", text=True,
                              capture_output=True, env=env, timeout=timeout)
        start = None
        for line in done.stdout.splitlines():
            if line.startswith("start-monotonic: "):
                start = float(line.split()[1])
        return ProbeRun(done.returncode, done.stdout, done.stderr, start)

    def browser_pids(self) -> list[int]:
        """Main browser processes (not their helpers) whose profile lies in this sandbox."""
        return [pid for pid, args in _processes() if any(
            a.startswith("--user-data-dir=" + self.cache) for a in args)
            and not any(a.startswith("--type=") for a in args)]

    def all_browser_pids(self) -> list[int]:
        return [pid for pid, args in _processes() if any(self.cache in a for a in args)]

    def kill_browsers(self) -> None:
        for pid in self.browser_pids():
            try:
                os.killpg(pid, signal.SIGKILL)  # the browser leads its own process group
            except ProcessLookupError:
                pass
        wait_until(lambda: not self.all_browser_pids(), 10)

    def close(self) -> None:
        self.kill_browsers()
        shutil.rmtree(self.root, ignore_errors=True)


def _processes():
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/cmdline", "rb") as f:
                raw = f.read()
            with open(f"/proc/{name}/stat") as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except OSError:
            continue
        if raw and state != "Z":
            yield int(name), [a.decode(errors="replace") for a in raw.split(b"\0") if a]


def listening_tcp_pids() -> set[int]:
    """Process ids that hold a listening TCP socket."""
    out = subprocess.run(["ss", "-Hltnp"], capture_output=True, text=True).stdout
    pids = set()
    for line in out.splitlines():
        for part in line.split("pid=")[1:]:
            digits = part.split(",")[0]
            if digits.isdigit():
                pids.add(int(digits))
    return pids


def windows_of(pid: int) -> list[str]:
    done = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                          capture_output=True, text=True)
    return done.stdout.split()


def window_state(window: str) -> dict:
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
    state = subprocess.run(["xprop", "-id", window, "_NET_WM_STATE"], capture_output=True,
                           text=True).stdout
    geometry = {}
    for line in info.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            if line.startswith(key + ":"):
                geometry[key] = int(line.split(":")[1])
    return {
        "viewable": "Map State: IsViewable" in info,
        "maximized": "_NET_WM_STATE_MAXIMIZED_VERT" in state
                     and "_NET_WM_STATE_MAXIMIZED_HORZ" in state,
        "hidden": "_NET_WM_STATE_HIDDEN" in state,
        **geometry,
    }


def screen_size() -> tuple[int, int]:
    out = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True).stdout
    size = {}
    for line in out.splitlines():
        key, _, value = line.strip().partition(":")
        if key in ("Width", "Height"):
            size[key] = int(value)
    return size.get("Width", 0), size.get("Height", 0)


class WindowManager:
    """openbox on the test's display, so that "maximized" is a real window state."""

    def __init__(self):
        self.process: Optional[subprocess.Popen] = None

    def start(self) -> bool:
        if not shutil.which("openbox") or not os.environ.get("DISPLAY"):
            return False
        self.process = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

        def ready():
            out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                 capture_output=True, text=True).stdout
            return "window id" in out

        return bool(wait_until(ready, 10))

    def stop(self) -> None:
        if self.process is not None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.process = None
