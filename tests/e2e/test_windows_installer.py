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
from wine_harness import BUILD_DIR, SETTINGS_KEY, Desktop, Wine  # noqa: E402


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

        # Saved accounts, as a login leaves them, survive the uninstaller.
        self.assertEqual(wine.run("reg", "add", SETTINGS_KEY, "/v", "username", "/d",
                                  "0123456789ABCDEF", "/f").returncode, 0)
        wine.run(os.path.join(folder, "Uninstall.exe"), "/S", timeout=300)
        wine.wait_idle()
        self.assertTrue(wait_until(lambda: not os.path.exists(os.path.join(folder,
                                                                         "vellamark.exe")), 60))
        self.assertFalse(os.path.exists(shortcut))
        self.assertEqual(wine.reg_query()["username"], ("REG_SZ", "0123456789ABCDEF"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
