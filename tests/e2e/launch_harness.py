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

    def operations(self) -> list[tuple[str, float]]:
        """The driver operations the probe began, with their time.monotonic()."""
        out = []
        for line in self.stdout.splitlines():
            if line.startswith("driver: "):
                _, name, at = line.split()
                out.append((name, float(at)))
        return out

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
        # Every place a browser or the launcher may write to lies in the sandbox, so a test can
        # look at all of it.
        self.places = {name: os.path.join(self.root, name)
                       for name in ("home", "config", "data", "tmp")}
        os.makedirs(self.folder)
        for place in self.places.values():
            os.makedirs(place)

    def environment(self, origin: str, extra_env: Optional[dict] = None) -> dict:
        env = dict(os.environ, VELLAMARK_SERVICE_ORIGIN=origin, XDG_CACHE_HOME=self.cache,
                   HOME=self.places["home"], XDG_CONFIG_HOME=self.places["config"],
                   XDG_DATA_HOME=self.places["data"], TMPDIR=self.places["tmp"])
        env.pop("VELLAMARK_BROWSER", None)
        env.update(extra_env or {})
        return env

    def run_probe(self, origin: str, username: str, password: str, pin: str,
                  flags: tuple[str, ...] = (), extra_env: Optional[dict] = None,
                  timeout: float = 120) -> ProbeRun:
        done = subprocess.run([probe_path(), "--folder", self.folder, *flags],
                              input=f"{username}\n{password}\n{pin}\n", text=True,
                              capture_output=True, env=self.environment(origin, extra_env),
                              timeout=timeout)
        start = None
        for line in done.stdout.splitlines():
            if line.startswith("start-monotonic: "):
                start = float(line.split()[1])
        return ProbeRun(done.returncode, done.stdout, done.stderr, start)

    def profiles(self) -> list[str]:
        root = os.path.join(self.cache, "vellamark", "profiles")
        return sorted(os.listdir(root)) if os.path.isdir(root) else []

    def files_holding(self, needles: list[bytes], skip: tuple[str, ...] = ()) -> list[str]:
        """Every file in the sandbox (but those skipped) that holds one of the byte strings."""
        found = []
        for folder, _, names in os.walk(self.root):
            for name in names:
                path = os.path.join(folder, name)
                if path in skip or os.path.islink(path) or not os.path.isfile(path):
                    continue
                try:
                    with open(path, "rb") as f:
                        data = f.read()
                except OSError:
                    continue
                if any(needle in data for needle in needles):
                    found.append(os.path.relpath(path, self.root))
        return found

    def browser_pids(self) -> list[int]:
        """Main browser processes (not their helpers, nor the profile's keeper) whose profile
        lies in this sandbox. Chromium rewrites its command line as one space-joined title, so
        the words are matched, not the arguments."""
        return [pid for pid, args in _processes() if any(
            w.startswith("--user-data-dir=" + self.cache) for w in " ".join(args).split())
            and not any(w.startswith("--type=") for w in " ".join(args).split())]

    def keeper_pids(self) -> list[int]:
        """The shells that remove a profile once its browser has ended."""
        return [pid for pid, args in _processes()
                if args[:2] == ["/bin/sh", "-c"] and any(self.cache in a for a in args)]

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
    """A window manager on the test's display, so that "maximized" is a real window state:
    openbox by default, or another one by its command."""

    COMMANDS = {"openbox": ["openbox", "--sm-disable"], "fluxbox": ["fluxbox"],
                "icewm": ["icewm"]}

    def __init__(self, name: str = "openbox"):
        self.name = name
        self.process: Optional[subprocess.Popen] = None
        self.home: Optional[str] = None

    def start(self) -> bool:
        command = self.COMMANDS[self.name]
        if not shutil.which(command[0]) or not os.environ.get("DISPLAY"):
            return False
        # Its settings go to a folder of its own, not the user's.
        self.home = tempfile.mkdtemp(prefix=f"vellamark-{self.name}-")
        self.process = subprocess.Popen(command, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL,
                                        env=dict(os.environ, HOME=self.home))

        def ready():
            # The root names the running manager's check window, which names the manager; a
            # name left behind by one that has ended names no window any more.
            out = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                 capture_output=True, text=True).stdout
            if "window id" not in out:
                return False
            check = out.split()[-1]
            name = subprocess.run(["xprop", "-id", check, "_NET_WM_NAME"],
                                  capture_output=True, text=True).stdout
            return self.name in name.lower()

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
        if self.home is not None:
            shutil.rmtree(self.home, ignore_errors=True)
            self.home = None
