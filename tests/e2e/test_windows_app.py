"""The real vellamark.exe under wine on a virtual display with a window manager, typed into as a
person would, with the stand-in browser in place of Edge or Chrome: the refusal of an empty
login, a first login through the browser, the settings and the three enciphered lists in wine's
registry, the saved account at the next start, and "Create Browser Login" writing the page file
and opening it. After each launch the launcher has ended and the browser is still running."""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from launch_harness import wait_until  # noqa: E402
from wine_harness import (SETTINGS_KEY, Desktop, LauncherRun, ProgramFolder, Wine,  # noqa
                          check_login_form, running, standin_pids, type_login,
                          without_root_override)

USERNAME = "alice"
PASSWORD = "s3cret pass"
PIN = "2718281828"
ORIGIN = "https://service.example"


class WindowsAppTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        without_root_override()
        cls.wine = Wine()
        cls.desktop = Desktop()

    @classmethod
    def tearDownClass(cls):
        cls.wine.kill_all()
        cls.desktop.close()

    def setUp(self):
        self.wine.kill_all()
        self.wine.reg_delete()
        self.program = ProgramFolder()

    def tearDown(self):
        self.wine.kill_all()
        self.program.close()

    def start(self) -> tuple[LauncherRun, str]:
        run = LauncherRun(self.wine, self.program.folder, self.program.record, ORIGIN)
        window = self.desktop.find("VellaMark System")
        self.assertIsNotNone(window, "the login window did not appear")
        self.desktop.activate(window)
        return run, window

    def launched(self, run: LauncherRun, launches: int) -> list[dict]:
        """Waits for the launcher to end after its launch; the browser must outlive it."""
        self.assertEqual(run.wait(), 0)
        records = self.program.records()
        shown = [r for r in records if r["kind"] == "bounds"]
        self.assertEqual(shown[-1]["bounds"]["windowState"], "maximized")
        self.assertEqual(sum(1 for r in records if r["kind"] == "started"), launches)
        self.assertTrue(standin_pids(self.program.folder), "the browser ended with the launcher")
        self.assertEqual(running(self.program.folder, "vellamark.exe"), [])
        return records

    def test_an_unencrypted_service_address_is_refused_at_start(self):
        before = self.wine.reg_query()
        run = LauncherRun(self.wine, self.program.folder, self.program.record,
                          "http://service.example")
        box = self.desktop.find("VellaMar", timeout=60)
        self.assertIsNotNone(box, "no message about the service address")
        self.assertIsNone(self.desktop.find("VellaMark System", timeout=0.5))
        self.desktop.activate(box)
        self.desktop.keys("Return")
        self.assertEqual(run.wait(), 1)
        self.assertEqual(self.wine.reg_query(), before, "the refused start wrote to the store")

    def test_login_saved_account_and_page_file(self):
        # An empty login is refused in a box of its own, and nothing is written.
        run, _ = self.start()
        self.desktop.keys("Tab", "Tab", "space")  # from "Save Password" to "Login"
        box = self.desktop.find("VellaMar", timeout=20)
        self.assertIsNotNone(box, "no refusal box")
        self.desktop.keys("Return")
        self.assertTrue(wait_until(lambda: not self.desktop.find("VellaMar", timeout=0.2), 10))
        self.assertIn(self.wine.reg_query(), (None, {}))

        # A first login, typed: "Save Password" ticked, the username, the password, the PIN, and
        # Enter in the password box.
        self.desktop.keys("shift+Tab", "shift+Tab", "space", "Tab")
        self.desktop.type(USERNAME)
        self.desktop.keys("Tab", "Tab")
        self.desktop.type(PASSWORD)
        self.desktop.keys("Tab")
        self.desktop.type(PIN)
        self.desktop.keys("shift+Tab", "Return")
        records = self.launched(run, 1)
        submits = [r for r in records if r["kind"] == "submit"]
        self.assertEqual(len(submits), 1)
        check_login_form(self, submits[0]["html"], USERNAME, PASSWORD, PIN)

        stored = self.wine.reg_query()
        for name, text in (("createpage", "False"), ("ignoremenubar", "False"),
                           ("savepasswords", "1"), ("SSL", "")):
            self.assertEqual(stored[name], ("REG_SZ", text), name)
        for name in ("username", "password", "pin"):
            kind, data = stored[name]
            self.assertEqual(kind, "REG_SZ")
            self.assertRegex(data, r"^([0-9A-F]{16})+$", name)

        # Once the browser has ended, the next launch removes its profile (past its first minute).
        started = [r for r in records if r["kind"] == "started"][-1]
        profile = next(a for a in started["arguments"] if a.startswith("--user-data-dir="))
        profile = self.wine.unix_path(profile.split("=", 1)[1])
        self.assertTrue(os.path.isdir(profile))
        self.assertEqual(self.wine.run("taskkill", "/F", "/PID", str(started["pid"])).returncode,
                         0)
        self.assertTrue(wait_until(lambda: not os.listdir(profile), 30))  # its lock has gone
        os.utime(profile, (time.time() - 120, time.time() - 120))

        # The next start shows the saved account: Enter in the password box logs it in.
        self.wine.kill_all()
        run, _ = self.start()
        self.desktop.keys("Tab", "Tab", "Tab", "Return")
        records = self.launched(run, 2)
        self.assertFalse(os.path.exists(profile))
        submits = [r for r in records if r["kind"] == "submit"]
        self.assertEqual(len(submits), 2)
        check_login_form(self, submits[1]["html"], USERNAME, PASSWORD, PIN)

        # "Create Browser Login" from the Settings menu (the fourth item): the page file is
        # written beside the program and opened, and the launcher submits nothing.
        self.wine.kill_all()
        run, _ = self.start()
        self.desktop.keys("F10", "Right", "Down", "Down", "Down", "Down", "Return")
        self.desktop.keys("Tab", "Tab", "Tab", "Return")
        records = self.launched(run, 3)
        self.assertEqual(sum(1 for r in records if r["kind"] == "submit"), 2)
        opened = [r["url"] for r in records if r["kind"] == "navigate"][-1]
        match = re.search(r"/(vellamar_(\d{6})\.htm)$", opened)
        self.assertIsNotNone(match, opened)
        page_path = os.path.join(self.program.folder, match.group(1))
        with open(page_path, "rb") as f:
            page = f.read()
        self.assertTrue(page.endswith(b"\r\n"))
        check_login_form(self, page.decode("latin-1"), USERNAME, PASSWORD, PIN)
        self.assertEqual(self.wine.reg_query()["createpage"], ("REG_SZ", "True"))

    def test_read_only_folders_still_give_a_working_create_browser_login(self):
        temp = self.wine.drive_c("vellamark", "temp")  # the page's place after the program's
        os.makedirs(temp, exist_ok=True)
        os.chmod(temp, 0o555)
        self.addCleanup(os.chmod, temp, 0o755)
        os.chmod(self.program.folder, 0o555)
        self.wine.run("reg", "add", SETTINGS_KEY, "/v", "createpage", "/d", "True", "/f")
        local = self.wine.run("cmd", "/c", "echo %LOCALAPPDATA%").stdout.strip()
        run, _ = self.start()
        type_login(USERNAME, PASSWORD, PIN)
        opened = [r["url"] for r in self.launched(run, 1) if r["kind"] == "navigate"][-1]
        page = os.path.join(self.wine.unix_path(local), "vellamark", "temp", opened.split("/")[-1])
        with open(page, "rb") as f:  # under the user's local application data
            check_login_form(self, f.read().decode("latin-1"), USERNAME, PASSWORD, PIN)


if __name__ == "__main__":
    unittest.main(verbosity=2)
