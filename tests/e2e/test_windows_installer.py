"""The Windows installer, made by CPack's NSIS generator from the mingw build, under wine: a
silent install puts both programs into Program Files\\Vellamark with a Start-menu shortcut, the
installed program starts, and the silent uninstall removes the program but keeps the user's
saved accounts."""

import glob
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from launch_harness import wait_until  # noqa: E402
from wine_harness import (BUILD_DIR, SETTINGS_KEY, STANDIN_EXE, Desktop, LauncherRun,  # noqa
                          Wine, standin_pids, type_login)


class WindowsInstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        made = subprocess.run(["cpack", "-G", "NSIS"], cwd=BUILD_DIR, capture_output=True,
                              text=True, timeout=600)
        if made.returncode != 0:
            raise AssertionError("cpack failed:\n" + made.stdout + made.stderr)
        cls.installer = max(glob.glob(os.path.join(BUILD_DIR, "vellamark-*-setup.exe")),
                            key=os.path.getmtime)
        cls.wine = Wine()
        cls.desktop = Desktop()

    @classmethod
    def tearDownClass(cls):
        cls.wine.kill_all()
        cls.desktop.close()

    def test_install_run_and_uninstall_keeping_the_accounts(self):
        wine = self.wine
        wine.kill_all()
        # A first run of the installed program: no accounts of an earlier test's program file
        # (whose key this installation does not have).
        wine.reg_delete()
        folder = wine.drive_c("Program Files", "Vellamark")
        shortcut = wine.drive_c("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs",
                                "Vellamark Launcher", "Vellamark Launcher.lnk")

        wine.run(self.installer, "/S", timeout=300)
        wine.wait_idle()
        for program in ("vellamark.exe", "vellamark-reg.exe", "Uninstall.exe"):
            self.assertTrue(os.path.isfile(os.path.join(folder, program)), program)
        self.assertTrue(os.path.isfile(shortcut))

        # The installed program starts and ends when its window is closed.
        run = subprocess.Popen(["wine", os.path.join(folder, "vellamark.exe")], env=wine.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = self.desktop.find("VellaMark System")
        self.assertIsNotNone(window, "the installed program showed no window")
        # Closed as a user closes it: the window manager's Alt+F4 asks the window to close,
        # which wine passes on as WM_CLOSE.
        self.desktop.activate(window)
        self.desktop.keys("alt+F4")
        self.assertEqual(run.wait(60), 0)

        # A login leaves its page beside the program and its browser open; so did one in temp.
        browsers = os.path.dirname(STANDIN_EXE)
        wine.run("reg", "add", SETTINGS_KEY, "/v", "createpage", "/d", "True", "/f")
        run = LauncherRun(wine, folder, os.path.join(BUILD_DIR, "standin-installed.jsonl"),
                          "https://service.example", browsers)
        self.desktop.activate(self.desktop.find("VellaMark System"))
        type_login("alice", "s3cret pass", "2718281828")
        self.assertEqual(run.wait(), 0)
        self.assertTrue(glob.glob(os.path.join(folder, "vellamar_*.htm")))
        with open(wine.drive_c("vellamark", "temp", "vellamar_093512.htm"), "w") as f:
            f.write("<form name=frm1></form>\r\n")
        local = wine.unix_path(wine.run("cmd", "/c", "echo %LOCALAPPDATA%").stdout.strip())

        # Saved accounts, as a login leaves them, survive the uninstaller.
        self.assertEqual(wine.run("reg", "add", SETTINGS_KEY, "/v", "username", "/d",
                                  "0123456789ABCDEF", "/f").returncode, 0)
        wine.run(os.path.join(folder, "Uninstall.exe"), "/S", timeout=300)
        self.assertTrue(wait_until(lambda: not os.path.exists(folder), 120))
        self.assertFalse(os.path.exists(shortcut))
        self.assertFalse(os.path.exists(wine.drive_c("vellamark")))
        # What the open browser's profile holds goes when Windows restarts after it has ended.
        self.assertTrue(standin_pids(browsers))
        wine.kill_all()
        wine.run("wineboot", "-r", timeout=120)
        wine.wait_idle()
        self.assertFalse(os.path.exists(os.path.join(local, "vellamark")))
        self.assertEqual(wine.reg_query()["username"], ("REG_SZ", "0123456789ABCDEF"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
