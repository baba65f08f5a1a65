"""A login under the desktops people run, GNOME Shell and KWin on Wayland with XWayland: the real
launcher typed into over XWayland, a real Chromium and the stand-in service, and the browser's
window as the compositor itself sees it once the launcher has ended: shown, not minimised,
maximised. Exits 77 (skipped) when neither compositor is installed."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_session import GnomeSession, KwinSession  # noqa: E402
from launch_harness import LaunchSandbox, wait_until  # noqa: E402
from standin_service import StandinService  # noqa: E402

APP = os.path.join(os.environ.get("VELLAMARK_BUILD_DIR", ""), "app", "vellamark")
PIN = "3141592653"
SKIP_RETURN_CODE = 77


class DesktopLoginTest(unittest.TestCase):
    def login_under(self, session_type):
        missing = session_type.missing()
        if missing or not os.access(APP, os.X_OK):
            self.skipTest(f"{session_type.name}: missing {missing or ['the vellamark build']}")
        sandbox = LaunchSandbox()
        self.addCleanup(sandbox.close)
        service = StandinService(expected_pin=PIN).start()
        self.addCleanup(service.stop)
        session = session_type()
        self.addCleanup(session.stop)
        session.start()

        # The launcher's Qt window goes to XWayland, where xdotool can type into it.
        env = dict(
            session.session_env, QT_QPA_PLATFORM="xcb", VELLAMARK_SERVICE_ORIGIN=service.origin,
            XDG_CACHE_HOME=sandbox.cache, XDG_CONFIG_HOME=sandbox.places["config"],
            XDG_DATA_HOME=sandbox.places["data"])
        env.pop("VELLAMARK_BROWSER", None)
        log_path = os.path.join(sandbox.root, "launcher.log")
        with open(log_path, "wb") as log:
            launcher = subprocess.Popen([APP], env=env, stdout=log, stderr=log)

        def xdotool(*args):
            subprocess.run(["xdotool", *args], env=env, check=True, capture_output=True,
                           timeout=60)

        xdotool("search", "--sync", "--onlyvisible", "--pid", str(launcher.pid), "--name",
                "^VellaMark System$", "windowfocus", "--sync")
        # Combo1, then Command1 and Text2, then Text8, back to Text2 where Enter logs in.
        for verb, *args in (("key", "Tab"), ("type", "alice"), ("key", "Tab", "Tab"),
                            ("type", "secret"), ("key", "Tab"), ("type", PIN),
                            ("key", "shift+Tab", "Return")):
            xdotool(verb, "--delay", "40", *args)
        with open(log_path, errors="replace") as log:
            self.assertEqual(launcher.wait(timeout=120), 0, log.read())
        post = service.wait_for_post(timeout=30)
        self.assertIsNotNone(post, "the browser posted nothing")
        self.assertEqual((post.field("username"), post.pin_ok), ("alice", True))

        wanted = {"shown": True, "minimized": False, "maximized": True}

        def states():  # of the browser's windows, as the compositor has them
            ours = set(sandbox.browser_pids())
            return [{k: w[k] for k in wanted} for w in session.windows() if w["pid"] in ours]

        wait_until(lambda: wanted in states(), 15, 0.5)
        self.assertIn(wanted, states(), f"the browser's windows among {session.windows()}")

    def test_login_under_gnome_shell(self):
        self.login_under(GnomeSession)

    def test_login_under_kwin(self):
        self.login_under(KwinSession)


if __name__ == "__main__":
    result = unittest.main(verbosity=2, exit=False).result
    ran_nothing = result.testsRun == len(result.skipped)
    sys.exit(SKIP_RETURN_CODE if ran_nothing else int(not result.wasSuccessful()))
