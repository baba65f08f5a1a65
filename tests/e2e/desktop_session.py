"""Headless Wayland desktops for end-to-end tests: GNOME Shell and KWin, each with XWayland, a
D-Bus session bus of its own, and the compositor's own list of its windows (windows()). What
runs with session_env sees DISPLAY, WAYLAND_DISPLAY and XDG_SESSION_TYPE=wayland as on a real
GNOME or Plasma desktop; stop() ends everything started inside the session. Standard library
only; every wait has a bound."""

from __future__ import annotations

import json
import os
import shutil
import signal
import subprocess
import tempfile

from launch_harness import wait_until


class DesktopSession:
    name = ""
    desktop = ""
    programs: tuple[str, ...] = ()

    @classmethod
    def missing(cls) -> list[str]:
        return [p for p in cls.programs + ("dbus-daemon", "dbus-send", "Xwayland", "xdotool")
                if not shutil.which(p)]

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix=f"vellamark-{self.name}-")
        self.runtime = os.path.join(self.root, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.home = os.path.join(self.root, "home")
        os.mkdir(self.home)
        self.log_path = os.path.join(self.root, "compositor.log")
        self.session_env: dict[str, str] = {}
        self.processes: list[subprocess.Popen] = []
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM")}
        # The compositor and the bus get a home, settings and runtime folder of their own.
        self.base_env = dict(base, HOME=self.home, XDG_RUNTIME_DIR=self.runtime,
                             XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                             XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                             XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP=self.desktop)

    def spawn(self, args: list[str], env: dict, log=subprocess.DEVNULL) -> subprocess.Popen:
        process = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                   stderr=log, start_new_session=True)
        self.processes.append(process)
        return process

    def bus(self, name: str) -> str:
        path = os.path.join(self.root, name)
        self.spawn(["dbus-daemon", "--session", "--nofork", f"--address=unix:path={path}"],
                   self.base_env)
        if not wait_until(lambda: os.path.exists(path), 10):
            raise RuntimeError(f"the {name} bus did not start")
        return f"unix:path={path}"

    def start(self, timeout: float = 120) -> None:
        self.base_env["DBUS_SESSION_BUS_ADDRESS"] = self.bus("session-bus")
        with open(self.log_path, "ab") as log:
            compositor = self._launch(log)
        ready = wait_until(lambda: compositor.poll() is not None or self._displays(), timeout,
                           0.2)
        if compositor.poll() is not None or not ready:
            raise RuntimeError(f"{self.name} did not start:\n{self.log()[-3000:]}")
        self.session_env = dict(self.base_env, **ready)

    def dbus_call(self, dest: str, path: str, method: str, *args: str) -> str:
        done = subprocess.run(["dbus-send", "--session", "--print-reply=literal",
                               f"--dest={dest}", path, method, *args], env=self.base_env,
                              capture_output=True, text=True, timeout=30)
        if done.returncode != 0:
            raise RuntimeError(done.stderr.strip())
        return done.stdout.strip()

    def write(self, path: str, text: str, mode: int = 0o644) -> None:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, mode)

    def log(self) -> str:
        with open(self.log_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def stop(self) -> None:
        # Xwayland, the shell's helpers and the bus's services all carry the session's runtime
        # folder in their environment; so does anything the test started inside the session
        # (a zombie's environment reads empty).
        for sig in (signal.SIGTERM, signal.SIGKILL):
            for pid in self._pids():
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            wait_until(lambda: not self._pids(), 5)
        for process in self.processes:
            process.kill()
            process.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    def _pids(self) -> list[int]:
        mark = f"XDG_RUNTIME_DIR={self.runtime}\0".encode()
        pids = []
        for entry in os.listdir("/proc"):
            try:
                with open(f"/proc/{entry}/environ", "rb") as f:
                    if mark in f.read() and int(entry) != os.getpid():
                        pids.append(int(entry))
            except (OSError, ValueError):
                continue
        return pids


class GnomeSession(DesktopSession):
    """gnome-shell --headless with a virtual monitor. A small extension turns on unsafe mode,
    which org.gnome.Shell.Eval needs to answer."""

    name, desktop, programs = "gnome-shell", "GNOME", ("gnome-shell",)
    EXTENSION = "vellamark-eval@tests"
    WINDOWS = """global.get_window_actors().map(a => { const w = a.meta_window; return {
        title: w.get_title(), app: w.get_wm_class(), pid: w.get_pid(), minimized: w.minimized,
        maximized: w.maximized_horizontally && w.maximized_vertically,
        shown: a.visible && w.showing_on_its_workspace() && w.located_on_workspace(
            global.workspace_manager.get_active_workspace())}; })"""

    def _launch(self, log):
        # An extension in the form GNOME Shell 40 to 44 loads (init() returning the object).
        extension = os.path.join(self.base_env["XDG_DATA_HOME"], "gnome-shell", "extensions",
                                 self.EXTENSION)
        version = subprocess.run(["gnome-shell", "--version"], capture_output=True,
                                 text=True).stdout.split()[-1].split(".")[0]
        self.write(os.path.join(extension, "metadata.json"), json.dumps(
            {"uuid": self.EXTENSION, "name": "Eval", "description": "tests",
             "shell-version": [version]}))
        self.write(os.path.join(extension, "extension.js"), "function init() { return {enable() "
                   "{ global.context.unsafe_mode = true; }, disable() {}}; }\n")
        # Settings from a key file of the session's own, not the user's dconf.
        self.write(os.path.join(self.base_env["XDG_CONFIG_HOME"], "glib-2.0", "settings",
                                "keyfile"),
                   f"[org/gnome/shell]\nenabled-extensions=['{self.EXTENSION}']\n")
        self.base_env.update(GSETTINGS_BACKEND="keyfile",
                             DBUS_SYSTEM_BUS_ADDRESS=self.bus("system-bus"))
        command = ["gnome-shell", "--wayland", "--headless", "--virtual-monitor", "1280x800"]
        if os.geteuid() == 0:
            # With /run/systemd as it is, the shell may look for a logind session and give up;
            # an empty one of its own keeps it on the headless path.
            command = ["unshare", "-m", "sh", "-c",
                       'mount -t tmpfs tmpfs /run/systemd && exec "$@"', "sh", *command]
        return self.spawn(command, self.base_env, log)

    def eval(self, script: str):
        reply = self.dbus_call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Eval",
                               f"string:{script}")
        success, _, value = reply.partition("\n")
        if success.split() != ["boolean", "true"]:
            raise RuntimeError(f"Shell.Eval failed: {reply}")
        return json.loads(value) if value else None

    def _displays(self):
        try:
            display, xauthority = self.eval('[GLib.getenv("DISPLAY"), GLib.getenv("XAUTHORITY")]')
            if not display or self.eval("Main.layoutManager._startingUp"):
                return None
            # After the login a user meets the overview; starting an app leaves it.
            self.eval("Main.overview.hide()")
        except (RuntimeError, ValueError, IndexError):
            return None
        return {"DISPLAY": display, "XAUTHORITY": xauthority or "", "WAYLAND_DISPLAY": "wayland-0"}

    def windows(self) -> list[dict]:
        return self.eval(self.WINDOWS)


class KwinSession(DesktopSession):
    """kwin_wayland --virtual --xwayland. Its scripts print to the log, read back by a mark."""

    name, desktop, programs = "kwin_wayland", "KDE", ("kwin_wayland",)
    queries = 0
    WINDOWS = """print("%s " + JSON.stringify(workspace.clientList().map(c => {
        const a = workspace.clientArea(KWin.MaximizeArea, c), g = c.frameGeometry;
        return {title: c.caption, app: c.resourceClass, pid: c.pid, minimized: c.minimized,
            maximized: g.x == a.x && g.y == a.y && g.width == a.width && g.height == a.height,
            shown: !c.hidden && !c.minimized && (c.onAllDesktops
                || c.desktop == workspace.currentDesktop)}; })));"""

    def _launch(self, log):
        # The packaged binary carries a file capability (cap_sys_resource), which a container
        # refuses to exec; a copy carries none and runs.
        binary = os.path.join(self.root, "kwin_wayland")
        shutil.copyfile(shutil.which("kwin_wayland"), binary)
        os.chmod(binary, 0o755)
        # KWin hands DISPLAY only to the programs it starts: its first one writes them down.
        self.env_file = os.path.join(self.root, "session.env")
        starter = os.path.join(self.root, "session-started")
        self.write(starter, f"#!/bin/sh\nenv -0 > {self.env_file}.part && mv {self.env_file}.part "
                   f"{self.env_file}\n", 0o755)
        env = dict(self.base_env, QT_LOGGING_RULES="kwin_scripting.debug=true")
        return self.spawn([binary, "--virtual", "--xwayland", "--width", "1280", "--height",
                           "800", "--socket", "wayland-0", starter], env, log)

    def _displays(self):
        if not os.path.exists(self.env_file):
            return None
        with open(self.env_file, "rb") as f:
            seen = dict(e.decode().split("=", 1) for e in f.read().split(b"\0") if b"=" in e)
        return {k: seen.get(k, "") for k in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY")}

    def windows(self) -> list[dict]:
        self.queries += 1
        mark = f"vellamark-windows-{self.queries}"
        script = os.path.join(self.root, f"{mark}.js")
        self.write(script, self.WINDOWS % mark)
        self.dbus_call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.loadScript",
                       f"string:{script}", f"string:{mark}")
        self.dbus_call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.start")
        try:
            line = wait_until(lambda: next((l for l in self.log().splitlines()
                                            if f"{mark} " in l), None), 10)
        finally:
            self.dbus_call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting.unloadScript",
                           f"string:{mark}")
        if line is None:
            raise RuntimeError(f"the KWin script printed nothing:\n{self.log()[-3000:]}")
        return json.loads(line.split(f"{mark} ", 1)[1])
