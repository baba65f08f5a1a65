"""Shared pieces of the Windows end-to-end tests: a wine prefix of the tests' own, the real
vellamark.exe started under wine on the test's virtual display, keys typed as a person would
(xdotool through the X server's test extension), wine's own reg.exe, and the stand-in browser's
record of what the launcher asked of it.

Standard library only. Every wait is on a condition, with a bound."""

from __future__ import annotations

import ctypes
import html.parser
import json
import os
import shutil
import subprocess
import tempfile
import time
from typing import Optional

from launch_harness import WindowManager, _processes, wait_until
from standin_service import FIELD_ORDER, expected_pin_fields

BUILD_DIR = os.environ.get("VELLAMARK_BUILD_DIR", "")
APP_EXE = os.path.join(BUILD_DIR, "app", "vellamark.exe")
REG_EXE = os.path.join(BUILD_DIR, "tools", "vellamark-reg", "vellamark-reg.exe")
STANDIN_EXE = os.path.join(BUILD_DIR, "tests", "standin_browser", "standin_browser.exe")
SETTINGS_KEY = r"HKCU\Software\Corvane\Vellamar"


def without_root_override() -> None:
    """Makes the programs this process starts from now on, wine's server too, meet the files'
    permissions as an ordinary user does: root would write into a folder closed to writing."""
    for capability in (1, 2) if os.geteuid() == 0 else ():  # CAP_DAC_OVERRIDE, _READ_SEARCH
        if ctypes.CDLL(None, use_errno=True).prctl(24, capability, 0, 0, 0):  # PR_CAPBSET_DROP
            raise OSError(ctypes.get_errno(), "could not give up root's file override")


def windows_path(unix_path: str) -> str:
    """The path as a program under wine names it: wine maps / to drive Z:."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


class Wine:
    """A wine prefix of the end-to-end tests' own (never the user's), made once per build."""

    def __init__(self):
        self.prefix = os.path.join(BUILD_DIR, "wineprefix-e2e")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            boot = dict(self.env)
            boot.pop("DISPLAY", None)
            subprocess.run(["wineboot", "-i"], env=boot, capture_output=True, timeout=300)
            self.wait_idle()

    def wait_idle(self) -> None:
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)

    def kill_all(self) -> None:
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
        self.wait_idle()

    def drive_c(self, *parts: str) -> str:
        return os.path.join(self.prefix, "drive_c", *parts)

    def unix_path(self, windows_path: str) -> str:
        """Where a C: path of a program under wine lies in the prefix."""
        drive, _, rest = windows_path.partition(":")
        assert drive.upper() == "C", windows_path
        return self.drive_c(*[part for part in rest.split("\\") if part])

    def run(self, *args: str, timeout: float = 60) -> subprocess.CompletedProcess:
        return subprocess.run(["wine", *args], env=self.env, capture_output=True, text=True,
                              timeout=timeout)

    def reg_query(self, key: str = SETTINGS_KEY) -> Optional[dict[str, tuple[str, str]]]:
        """The values of a key as wine's own reg.exe lists them: name -> (kind, data); None when
        the key is missing."""
        done = self.run("reg", "query", key)
        if done.returncode != 0:
            return None
        values = {}
        for line in done.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        return values

    def reg_delete(self, key: str = SETTINGS_KEY) -> None:
        """Deletes the key, and makes sure it is gone: a wine server that has only just started
        may still be reading the registry it is to work on."""
        def delete():
            self.run("reg", "delete", key, "/f")  # fails only when the key is not there
            return self.reg_query(key) is None

        gone = wait_until(delete, 30, 0.5)
        if not gone:
            raise AssertionError(f"could not delete {key} from the wine registry")


class Desktop:
    """The virtual display of the test, with a window manager, typed into with XTEST."""

    def __init__(self):
        self.window_manager = WindowManager()
        self.has_window_manager = self.window_manager.start()

    def close(self) -> None:
        self.window_manager.stop()

    @staticmethod
    def find(title: str, timeout: float = 60) -> Optional[str]:
        def search():
            done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                                  capture_output=True, text=True)
            ids = done.stdout.split()
            return ids[0] if ids else None

        return wait_until(search, timeout)

    @staticmethod
    def activate(window: str) -> None:
        subprocess.run(["xdotool", "windowactivate", "--sync", window], capture_output=True,
                       timeout=30)

    @staticmethod
    def keys(*names: str) -> None:
        for name in names:
            subprocess.run(["xdotool", "key", "--delay", "60", name], check=True, timeout=30)
            time.sleep(0.05)

    @staticmethod
    def type(text: str) -> None:
        subprocess.run(["xdotool", "type", "--delay", "60", text], check=True, timeout=30)


class LauncherRun:
    """One start of vellamark.exe from a program folder of the test's own, with the stand-in as
    the browser."""

    def __init__(self, wine: Wine, program_folder: str, record: str, origin: str,
                 browser_folder: str = ""):
        env = dict(wine.env, VELLAMARK_BROWSER=windows_path(os.path.join(
                       browser_folder or program_folder, "standin_browser.exe")),
                   VELLAMARK_STANDIN_RECORD=windows_path(record),
                   VELLAMARK_SERVICE_ORIGIN=origin)
        self.process = subprocess.Popen(["wine", os.path.join(program_folder, "vellamark.exe")],
                                        env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

    def wait(self, timeout: float = 90) -> int:
        return self.process.wait(timeout)


class ProgramFolder:
    """A folder holding copies of the programs, as an installation would; its vellamark.exe's
    creation time keys the store."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="vellamark-wine-e2e-")
        self.folder = os.path.join(self.root, "program")
        os.makedirs(self.folder)
        for program in (APP_EXE, STANDIN_EXE):
            shutil.copy2(program, self.folder)
        self.record = os.path.join(self.root, "standin.jsonl")

    def records(self) -> list[dict]:
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def close(self) -> None:
        os.chmod(self.folder, 0o755)  # a test may have closed it
        shutil.rmtree(self.root, ignore_errors=True)


def running(folder: str, program: str) -> list[int]:
    """Running processes of the program in this folder, by its Linux or its Windows path."""
    path = os.path.join(folder, program)
    return [pid for pid, args in _processes() if args and args[0] in (path, windows_path(path))]


def standin_pids(folder: str) -> list[int]:
    """Running stand-in browsers started from this folder (as wine shows them to Linux)."""
    name = windows_path(os.path.join(folder, "standin_browser.exe"))
    return [pid for pid, args in _processes() if args and args[0] == name]


def type_login(username: str, password: str, pin: str) -> None:
    """Types a login into a window just started (the focus on "Save Password"), then Enter."""
    for keys, text in ((("Tab",), username), (("Tab", "Tab"), password), (("Tab",), pin)):
        Desktop.keys(*keys)
        Desktop.type(text)
    Desktop.keys("shift+Tab", "Return")


class _FormReader(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.fields: list[tuple[str, str]] = []
        self.action = ""

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        if tag == "form" and attributes.get("name") == "frm1":
            self.action = attributes.get("action") or ""
        if tag == "input" and attributes.get("type") == "hidden":
            self.fields.append((attributes.get("name") or "", attributes.get("value") or ""))


def form_fields(page: str) -> tuple[str, list[tuple[str, str]]]:
    """The login form's action and its hidden fields in document order, read as a browser
    reads the markup."""
    reader = _FormReader()
    reader.feed(page)
    reader.close()
    return reader.action, reader.fields


def check_login_form(test, page: str, username: str, password: str, pin: str) -> None:
    """The eight fields in their order, the credentials as typed, and the three PIN characters
    the time and the seed ask for, reckoned independently of the launcher."""
    action, fields = form_fields(page)
    test.assertIn("/p_checkpassword.php?id=", action)
    test.assertEqual([name for name, _ in fields], FIELD_ORDER)
    values = dict(fields)
    test.assertEqual(values["username"], username)
    test.assertEqual(values["password"], password)
    test.assertEqual(values["appver"], "3.0.38")
    seed = int(values["seed"])
    test.assertTrue(50 <= seed <= 10000048, seed)
    test.assertEqual((values["pin1"], values["pin2"], values["pin3"]),
                     expected_pin_fields(pin, values["time"], seed))
