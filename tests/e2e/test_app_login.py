"""The real launcher under Xvfb, typed into as a person would, a real Chromium and the stand-in
service: the first login, the next start with the saved account, "Create Browser Login", and the
removal commands as the next start shows them.

Each test gets a folder of its own holding a copy of the program (its creation time keys the
store), the configuration, data and cache folders, and the browser profiles."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from launch_harness import WindowManager, _processes  # noqa: E402
from standin_service import FIELD_ORDER, StandinService  # noqa: E402

BUILD_DIR = os.environ.get("VELLAMARK_BUILD_DIR", "")
APP = os.path.join(BUILD_DIR, "app", "vellamark")
PIN = "3141592653"

# Where the menu bar's titles sit in the window (Qt's default font on a virtual display).
FILE_MENU = (20, 9)
SETTINGS_MENU = (70, 9)


def wait_until(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


def xdotool(*args, timeout=30):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True,
                          timeout=timeout).stdout


class Launcher:
    """One start of the program in the test's folder."""

    def __init__(self, root, origin):
        self.root = root
        env = dict(os.environ)
        env.update(XDG_CONFIG_HOME=os.path.join(root, "config"),
                   XDG_DATA_HOME=os.path.join(root, "data"),
                   XDG_CACHE_HOME=os.path.join(root, "cache"),
                   VELLAMARK_SERVICE_ORIGIN=origin)
        env.pop("QT_QPA_PLATFORM", None)
        self.log_path = os.path.join(root, "launcher.log")
        with open(self.log_path, "ab") as log:
            self.process = subprocess.Popen([os.path.join(root, "bin", "vellamark")], env=env,
                                            stdout=log, stderr=log)
        self.window = self.find_window("^VellaMark System$")
        xdotool("windowfocus", "--sync", self.window)

    def find_window(self, name):
        out = xdotool("search", "--sync", "--onlyvisible", "--pid", str(self.process.pid),
                      "--name", name, timeout=30)
        return out.split()[0]

    def windows(self):
        result = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                 str(self.process.pid), ""], capture_output=True, text=True)
        return result.stdout.split()

    def keys(self, *names):
        xdotool("key", "--delay", "40", *names)

    def type(self, text):
        xdotool("type", "--delay", "40", text)

    def menu(self, title_at, downs):
        """Opens a menu with the mouse, then moves down to an item and chooses it."""
        before = len(self.windows())
        xdotool("mousemove", "--window", self.window, str(title_at[0]), str(title_at[1]),
                "click", "1")
        wait_until(lambda: len(self.windows()) > before, 10, "the menu to open")
        self.keys(*(["Down"] * downs), "Return")

    def log(self):
        with open(self.log_path, encoding="utf-8", errors="replace") as log:
            return log.read()

    def exit_code(self, timeout=60):
        return self.process.wait(timeout=timeout)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=10)


class AppEndToEndTest(unittest.TestCase):
    def setUp(self):
        if not os.access(APP, os.X_OK):
            self.skipTest("build the vellamark target first")
        self.root = tempfile.mkdtemp(prefix="vellamark-app-e2e-")
        os.makedirs(os.path.join(self.root, "bin"))
        shutil.copy(APP, os.path.join(self.root, "bin", "vellamark"))
        self.service = StandinService(expected_pin=PIN).start()
        self.runs = []

    def tearDown(self):
        for run in self.runs:
            run.stop()
        self.kill_browsers()
        self.service.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def browsers_and_profiles(self):
        """The browsers started in the test's folder (and their keepers), and its profiles."""
        profiles = os.path.join(self.root, "cache", "vellamark", "profiles")
        return ([pid for pid, args in _processes() if any(self.root in a for a in args)] +
                (os.listdir(profiles) if os.path.isdir(profiles) else []))

    def test_the_browser_started_ahead_goes_when_the_window_closes_without_a_login(self):
        manager = WindowManager("openbox")  # the close box is the window manager's
        self.assertTrue(manager.start())
        self.addCleanup(manager.stop)
        rows = {"E&xit": lambda run: run.menu(FILE_MENU, downs=5),
                "the close box": lambda run: xdotool("key", "alt+F4")}
        for name, close in rows.items():
            with self.subTest(name):
                run = self.start()
                wait_until(self.browsers_and_profiles, 30, "the browser started ahead")
                close(run)
                self.assertEqual(run.exit_code(), 0, run.log())
                wait_until(lambda: not self.browsers_and_profiles(), 10,
                           "no browser and no profile left")

    def kill_browsers(self):
        """Ends the browsers this test started: those whose profile is in the test's folder."""
        for _ in range(2):
            pids = []
            for entry in os.listdir("/proc"):
                if not entry.isdigit():
                    continue
                try:
                    with open(f"/proc/{entry}/cmdline", "rb") as f:
                        if self.root.encode() in f.read():
                            pids.append(int(entry))
                except OSError:
                    continue
            for pid in pids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass

    def start(self):
        run = Launcher(self.root, self.service.origin)
        self.runs.append(run)
        return run

    def first_login(self, username="alice", password="secret"):
        """A first start: tick "Save Password" (the first focus), type the account, Enter in the
        password box."""
        run = self.start()
        self.keys_first_login(run, username, password)
        self.assertEqual(run.exit_code(), 0, run.log())
        post = self.service.wait_for_post(timeout=30)
        self.assertIsNotNone(post, "the browser posted nothing")
        return post

    @staticmethod
    def keys_first_login(run, username, password):
        run.keys("space", "Tab")              # Check1, then Combo1
        run.type(username)
        run.keys("Tab", "Tab")                # Command1, then Text2
        run.type(password)
        run.keys("Tab")                       # Text8
        run.type(PIN)
        run.keys("shift+Tab", "Return")       # back to Text2, Enter logs in

    def test_first_login_saves_the_account_and_posts_the_fields(self):
        post = self.first_login()
        self.assertEqual(post.field_names(), FIELD_ORDER)
        self.assertEqual(post.field("username"), "alice")
        self.assertEqual(post.field("password"), "secret")
        self.assertEqual(post.field("appver"), "3.0.38")
        self.assertTrue(post.pin_ok, post.pin_problem)
        self.assertTrue(post.path.startswith("/p_checkpassword.php?id="), post.path)
        store = os.path.join(self.root, "config", "vellamark", "registry.sqlite3")
        self.assertTrue(os.path.isfile(store))
        self.assertTrue(os.path.isdir(os.path.join(self.root, "data", "vellamark", "temp")))

    def test_next_start_logs_in_with_the_saved_password(self):
        self.first_login()
        run = self.start()
        # Entry 0 is picked at startup: only the password box and Enter are needed.
        run.keys("Tab", "Tab", "Tab", "Return")   # Combo1, Command1, Text2
        self.assertEqual(run.exit_code(), 0)
        posts = self.service.wait_for_posts(2, timeout=30)
        self.assertEqual(len(posts), 2)
        self.assertEqual(posts[1].field("username"), "alice")
        self.assertEqual(posts[1].field("password"), "secret")
        self.assertTrue(posts[1].pin_ok, posts[1].pin_problem)

    def test_create_browser_login_opens_the_page_file(self):
        run = self.start()
        # Settings: "Use encyrption", ("Do not use" is disabled), "Ignore MenuBar",
        # "Create Browser Login".
        run.menu(SETTINGS_MENU, downs=3)
        self.keys_first_login(run, "bob", "hunter2")
        self.assertEqual(run.exit_code(), 0)
        folder = os.path.join(self.root, "bin")
        pages = [name for name in os.listdir(folder)
                 if name.startswith("vellamar_") and name.endswith(".htm")]
        self.assertEqual(len(pages), 1, os.listdir(folder))
        with open(os.path.join(folder, pages[0]), encoding="utf-8", errors="replace") as page:
            text = page.read()
        self.assertIn("bob", text)
        # The browser loads the page, which asks the service for its style sheets and scripts;
        # the submit is left to the user, so nothing is posted.
        wait_until(lambda: [r for r in self.service.requests if r.method == "GET"], 30,
                   "the page to load its resources from the service")
        self.assertEqual(self.service.posts, [])

    def test_removal_commands_change_what_the_next_start_shows(self):
        # File: d, s, t, w, q. Then the next start types a password and presses Enter: with the
        # account gone the username box is empty and the login is refused; with only its
        # password gone the account stays and the typed password is used.
        rows = {
            "Remove Current Username & Password": (1, None),
            "Remove Current Password": (2, "typed"),
            "Remove All Usernames & Passwords": (3, None),
        }
        for name, (downs, expected_password) in rows.items():
            with self.subTest(name):
                self.service.stop()
                self.service = StandinService(expected_pin=PIN).start()
                shutil.rmtree(os.path.join(self.root, "config"), ignore_errors=True)
                self.first_login()
                run = self.start()
                run.menu(FILE_MENU, downs=downs)
                run.menu(FILE_MENU, downs=5)          # E&xit
                self.assertEqual(run.exit_code(), 0)

                run = self.start()
                run.keys("Tab", "Tab", "Tab")
                run.keys("ctrl+a", "BackSpace")
                run.type("typed")
                run.keys("Return")
                if expected_password is None:
                    box = run.find_window("^VellaMar$")   # the refusal message
                    self.assertTrue(box)
                    self.assertIsNone(run.process.poll())
                    run.stop()
                else:
                    self.assertEqual(run.exit_code(), 0)
                    posts = self.service.wait_for_posts(2, timeout=30)
                    self.assertEqual(len(posts), 2)
                    self.assertEqual(posts[1].field("username"), "alice")
                    self.assertEqual(posts[1].field("password"), expected_password)
                self.kill_browsers()


class AppStartRefusalTest(unittest.TestCase):
    """Starts that cannot go on say why and end with exit code 1."""

    def setUp(self):
        if not os.access(APP, os.X_OK):
            self.skipTest("build the vellamark target first")
        self.root = tempfile.mkdtemp(prefix="vellamark-app-e2e-")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.root, "config"),
                        XDG_DATA_HOME=os.path.join(self.root, "data"),
                        XDG_CACHE_HOME=os.path.join(self.root, "cache"))
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("VELLAMARK_SERVICE_ORIGIN", None)

    def test_without_a_display_the_start_says_so_and_ends_with_1(self):
        rows = {"no DISPLAY": None, "a display nobody serves": ":97"}
        for name, display in rows.items():
            with self.subTest(name):
                env = dict(self.env)
                env.pop("WAYLAND_DISPLAY", None)
                env.pop("DISPLAY", None)
                if display is not None:
                    env["DISPLAY"] = display
                done = subprocess.run([APP], env=env, capture_output=True, text=True,
                                      timeout=60)
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertIn("no display", done.stderr)

    def test_an_origin_that_would_send_the_password_unencrypted_is_refused(self):
        env = dict(self.env, VELLAMARK_SERVICE_ORIGIN="http://svc.example")
        process = subprocess.Popen([APP], env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        try:
            # The message box, before any login window; OK ends the program.
            box = xdotool("search", "--sync", "--onlyvisible", "--pid", str(process.pid),
                          "--name", "^VellaMar$", timeout=30).split()[0]
            self.assertEqual(subprocess.run(
                ["xdotool", "search", "--onlyvisible", "--name", "^VellaMark System$"],
                capture_output=True, text=True).stdout.strip(), "")
            xdotool("windowfocus", "--sync", box)
            xdotool("key", "Return")
            _, err = process.communicate(timeout=30)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
        self.assertEqual(process.returncode, 1)
        self.assertIn("VELLAMARK_SERVICE_ORIGIN", err)


if __name__ == "__main__":
    unittest.main(verbosity=2)
