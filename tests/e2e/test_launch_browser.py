"""The launch end to end: the probe runs LoginToService with a real Chromium on the virtual
display against the stand-in service, and the tests look at what the service received and at
the browser the probe left behind."""

import glob
import os
import re
import shutil
import subprocess
import unittest

from launch_harness import (LaunchSandbox, WindowManager, listening_tcp_pids, probe_path,
                            screen_size, wait_until, window_state, windows_of)
from standin_service import FIELD_ORDER, StandinService

PIN = "9081726354"
CHECK_PATH = re.compile(r"^/p_checkpassword\.php\?id=\d{14}$")
wm = WindowManager()


def setUpModule():
    if not os.path.exists(probe_path()):
        raise unittest.SkipTest("launch_probe is not built (set VELLAMARK_BUILD_DIR)")
    if not shutil.which("chromium"):
        raise unittest.SkipTest("no chromium on PATH")
    if not wm.start():
        raise unittest.SkipTest("no window manager on the display")


def tearDownModule():
    wm.stop()


class LaunchTest(unittest.TestCase):
    def setUp(self):
        self.sandbox = LaunchSandbox()
        self.addCleanup(self.sandbox.close)
        self.service = StandinService(expected_pin=PIN).start()
        self.addCleanup(self.service.stop)

    def launch(self, username="jo.smith", password="s3cret", flags=(), extra_env=None):
        return self.sandbox.run_probe(self.service.origin, username, password, PIN, flags,
                                      extra_env)

    def assert_posted(self, post, username, password):
        self.assertIsNotNone(post, "the service received no post")
        self.assertRegex(post.path, CHECK_PATH)
        self.assertEqual(post.field_names(), FIELD_ORDER)
        self.assertEqual(post.field("username"), username)
        self.assertEqual(post.field("password"), password)
        self.assertEqual(post.field("appver"), "3.0.38")
        self.assertTrue(post.pin_ok, post.pin_problem)

    def assert_left_running_shown(self, count=1):
        """After the probe has ended: the browser runs on, visible and maximised, and listens
        on no TCP port."""
        pids = wait_until(lambda: self.sandbox.browser_pids(), 5)
        self.assertEqual(len(pids), count, "browsers left running")
        width, height = screen_size()
        for pid in pids:
            windows = wait_until(lambda: windows_of(pid), 10)
            self.assertTrue(windows, f"browser {pid} shows no window")
            states = wait_until(
                lambda: [s for s in map(window_state, windows) if s["maximized"]], 10)
            self.assertTrue(states, f"browser {pid} has no maximised window")
            state = states[0]
            self.assertTrue(state["viewable"])
            self.assertFalse(state["hidden"])
            # Maximised on screen, not parked off it.
            self.assertGreaterEqual(state["Absolute upper-left X"], 0)
            self.assertGreaterEqual(state["Absolute upper-left Y"], 0)
            self.assertGreater(state["Width"], width * 0.9)
            self.assertGreater(state["Height"], height * 0.8)
        self.assertFalse(listening_tcp_pids() & set(self.sandbox.all_browser_pids()),
                         "a browser process listens on TCP")

    def test_in_browser_form_posts_fields_and_leaves_browser_maximised(self):
        for flags in ((), ("--ignore-menu-bar",)):
            with self.subTest(flags=flags):
                self.service._posts.clear()
                run = self.launch(flags=flags)
                self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
                self.assertEqual(run.messages(), [])
                self.assert_posted(self.service.wait_for_post(15), "jo.smith", "s3cret")
                self.assert_left_running_shown()
                self.assertEqual(glob.glob(os.path.join(self.sandbox.folder, "*.htm")), [])
                self.sandbox.kill_browsers()

    def test_markup_in_username_is_posted_literally_and_does_not_run(self):
        username = "<img src=/ran1 onerror=\"fetch('/ran2')\">\"'&amp;<script>fetch('/ran3')</script>"
        password = "a\"b>c&d 'e'"
        run = self.launch(username=username, password=password)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assert_posted(self.service.wait_for_post(15), username, password)
        ran = [r.path for r in self.service.requests if r.path.startswith("/ran")]
        self.assertEqual(ran, [])

    def test_page_file_is_shown_and_posts_when_its_login_button_is_pressed(self):
        run = self.launch(flags=("--create-page",))
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        pages = glob.glob(os.path.join(self.sandbox.folder, "vellamar_*.htm"))
        self.assertEqual(len(pages), 1)
        self.assertEqual(os.stat(pages[0]).st_mode & 0o777, 0o600)
        self.assert_left_running_shown()
        self.assertEqual(self.service.posts, [], "the page file must not submit by itself")
        # The person presses the page's Login button: the only control that takes focus.
        pid = self.sandbox.browser_pids()[0]
        window = windows_of(pid)[0]
        subprocess.run(["xdotool", "windowactivate", "--sync", window], check=False)
        subprocess.run(["xdotool", "key", "--window", window, "Tab", "Return"], check=True)
        self.assert_posted(self.service.wait_for_post(15), "jo.smith", "s3cret")

    def test_second_launch_while_first_browser_is_open(self):
        first = self.launch(username="first")
        self.assertEqual(first.returncode, 0, first.stdout + first.stderr)
        self.assertIsNotNone(self.service.wait_for_post(15))
        second = self.launch(username="second")
        self.assertEqual(second.returncode, 0, second.stdout + second.stderr)
        posts = self.service.wait_for_posts(2, 15)
        self.assertEqual([p.field("username") for p in posts], ["first", "second"])
        self.assert_left_running_shown(count=2)


class MissingBrowserTest(unittest.TestCase):
    def setUp(self):
        self.sandbox = LaunchSandbox()
        self.addCleanup(self.sandbox.close)
        self.service = StandinService(expected_pin=PIN).start()
        self.addCleanup(self.service.stop)

    def test_failures_give_one_message_and_a_clean_end(self):
        empty = os.path.join(self.sandbox.root, "empty-bin")
        os.makedirs(empty)
        rows = {
            "no browser on PATH": ({"PATH": empty}, ["Chromium", "VELLAMARK_BROWSER"]),
            "variable names no program": (
                {"VELLAMARK_BROWSER": os.path.join(empty, "nothing")}, ["VELLAMARK_BROWSER"]),
            "program that is no browser": ({"VELLAMARK_BROWSER": "/bin/true"},
                                           ["VELLAMARK_BROWSER"]),
        }
        for name, (env, words) in rows.items():
            with self.subTest(name):
                run = self.sandbox.run_probe(self.service.origin, "jo", "pw", PIN,
                                             extra_env=env, timeout=60)
                self.assertIn("ended: 1", run.stdout)
                self.assertNotEqual(run.returncode, 0)
                messages = run.messages()
                self.assertEqual(len(messages), 1, run.stdout)
                for word in words:
                    self.assertIn(word, messages[0])
                self.assertEqual(self.service.posts, [])
                self.assertEqual(self.sandbox.all_browser_pids(), [])


if __name__ == "__main__":
    unittest.main()
