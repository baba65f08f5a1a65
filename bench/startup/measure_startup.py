#!/usr/bin/env python3
"""Start-up of the launcher beside a bare window with the same menu bar, in one run: the Qt
window of the Linux build beside a bare Qt window, or (--wine) vellamark.exe of the Windows build
beside a bare Win32 window with the launcher's manifest and one themed button, both under wine.

For each program, many times and interleaved: the time from starting the process to its window
being mapped on the X display (the X server's MapNotify, watched through libX11), and the peak
resident memory of the process (its RSS high-water mark, from wait4 once it has been ended a
fixed while after showing). Prints medians and the launcher's ratio to the bare window.

    python3 bench/startup/measure_startup.py <build-folder> [repetitions]
    python3 bench/startup/measure_startup.py --wine <windows-build-folder> [repetitions]

The launcher runs with VELLAMARK_PRESTART=0: the browser it would start ahead of the login is no
part of the window's start-up. Without a display it runs itself under xvfb-run. Every launcher
start gets empty configuration, data and cache folders of its own; the uncounted first round makes
the store there, so the counted starts are the everyday kind, with the store in place. Under wine
both programs run in a wine prefix of the benchmark's own, with its wine server kept running
between starts (as a desktop session keeps it), all on one processor, and the memory is that of
the program's own process."""

import ctypes
import ctypes.util
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

SETTLE_SECONDS = 0.5   # how long each window stays up before it is ended, for the memory peak
MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("pad", ctypes.c_long * 24)]


class MapWatcher:
    """Reports MapNotify of top-level windows (children of the root) as they happen."""

    def __init__(self):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x.XPending.argtypes = [ctypes.c_void_p]
        self.x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            raise SystemExit("cannot open the X display")
        root = self.x.XDefaultRootWindow(self.display)
        self.x.XSelectInput(self.display, root, SUBSTRUCTURE_NOTIFY_MASK)
        self.x.XFlush(self.display)
        self.fd = self.x.XConnectionNumber(self.display)

    def drain(self):
        event = XEvent()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, ctypes.byref(event))

    def wait_for_map(self, timeout):
        import select
        event = XEvent()
        deadline = time.perf_counter() + timeout
        while True:
            while self.x.XPending(self.display):
                self.x.XNextEvent(self.display, ctypes.byref(event))
                if event.type == MAP_NOTIFY:
                    return time.perf_counter()
            left = deadline - time.perf_counter()
            if left <= 0:
                raise SystemExit("no window was mapped in time")
            select.select([self.fd], [], [], left)


def one_start(watcher, command, env):
    watcher.drain()
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    mapped = watcher.wait_for_map(timeout=30)
    time.sleep(SETTLE_SECONDS)
    process.send_signal(signal.SIGTERM)
    _, _, usage = os.wait4(process.pid, 0)
    process.returncode = 0
    return (mapped - start) * 1000.0, usage.ru_maxrss / 1024.0   # ms, MiB


def wine_environment(build):
    """A wine prefix of the benchmark's own, made once, with a wine server that stays up."""
    env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix-bench"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    if not os.path.exists(os.path.join(env["WINEPREFIX"], "system.reg")):
        subprocess.run(["wineboot", "-i"], env=env, capture_output=True, timeout=300)
    # "-p": the server stays up without a client instead of ending after each program.
    subprocess.Popen(["wineserver", "-p"], env=env, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL, start_new_session=True)
    return env


def main():
    arguments = sys.argv[1:]
    wine = bool(arguments) and arguments[0] == "--wine"
    if wine:
        arguments = arguments[1:]
    if not arguments:
        raise SystemExit(__doc__)
    if wine:
        # A wine program asks the wine server for nearly everything a window does, thousands of
        # round trips per start. On a virtual machine each one that wakes the server on another,
        # idle processor costs tens of microseconds more, and a start either does or does not
        # pay it: unpinned, ten runs of the same two programs gave ratios from 0.9x to 1.4x.
        # On one processor (with the wine server, the display and the programs, which inherit
        # it) the figures measure the programs' own work, within a few percent.
        os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})
    if not os.environ.get("DISPLAY"):
        print("no display: measuring on a virtual display (xvfb-run)", file=sys.stderr)
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1280x800x24",
                               sys.executable, *sys.argv])
    build = os.path.abspath(arguments[0])
    repetitions = int(arguments[1]) if len(arguments) > 1 else 25
    suffix = ".exe" if wine else ""
    programs = {
        "vellamark": os.path.join(build, "app", "vellamark" + suffix),
        "bare window": os.path.join(build, "bench", "startup", "bench_bare_window" + suffix),
    }
    for path in programs.values():
        if not os.access(path, os.R_OK):
            raise SystemExit(f"{path} missing: build the vellamark and bench_bare_window targets")
    base_env = wine_environment(build) if wine else dict(os.environ)
    launcher = ["wine"] if wine else []

    watcher = MapWatcher()
    results = {name: ([], []) for name in programs}
    base = tempfile.mkdtemp(prefix="vellamark-startup-")
    try:
        for i in range(repetitions + 1):
            for name, path in programs.items():
                home = os.path.join(base, name.replace(" ", "-"))
                # The window's start, not the browser's: the one the launcher starts ahead,
                # 250 ms after its window shows, would fall into the memory measured.
                env = dict(base_env, XDG_CONFIG_HOME=home + "/config",
                           XDG_DATA_HOME=home + "/data", XDG_CACHE_HOME=home + "/cache",
                           XDG_RUNTIME_DIR=base, VELLAMARK_PRESTART="0")
                millis, mib = one_start(watcher, [*launcher, path], env)
                if i > 0:   # the first round warms the page cache and is not counted
                    results[name][0].append(millis)
                    results[name][1].append(mib)
    finally:
        shutil.rmtree(base, ignore_errors=True)
        if wine:
            subprocess.run(["wineserver", "-k"], env=base_env, capture_output=True, timeout=60)

    medians = {name: (statistics.median(t), statistics.median(m))
               for name, (t, m) in results.items()}
    print(f"{repetitions} starts each, medians")
    print(f"{'':14}{'to window (ms)':>16}{'peak RSS (MiB)':>16}")
    for name, (millis, mib) in medians.items():
        print(f"{name:14}{millis:16.1f}{mib:16.1f}")
    (t1, m1), (t0, m0) = medians["vellamark"], medians["bare window"]
    print(f"{'ratio':14}{t1 / t0:15.2f}x{m1 / m0:15.2f}x   (target: at most 1.20x on both)")


if __name__ == "__main__":
    main()
