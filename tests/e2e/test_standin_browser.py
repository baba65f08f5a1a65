"""The stand-in browser held against a real Chromium on Linux: the same DevTools calls, in the
order the launcher's driver makes them, get the same kinds of replies and events from both (the
members the driver reads, with the same JSON types; errors where Chromium gives errors). Then a
whole launch runs against the stand-in on Linux as it does under wine.

Chromium's answers are compared, not copied: ids and texts differ, the shapes must not."""

import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from launch_harness import LaunchSandbox, WindowManager, probe_path  # noqa: E402
from standin_service import StandinService  # noqa: E402

BUILD_DIR = os.environ.get("VELLAMARK_BUILD_DIR", "")
STANDIN = os.path.join(BUILD_DIR, "tests", "standin_browser", "standin_browser")
wm = WindowManager()


def setUpModule():
    if not os.path.exists(STANDIN) or not os.path.exists(probe_path()):
        raise unittest.SkipTest("the stand-in browser or the probe is not built")
    if not shutil.which("chromium"):
        raise unittest.SkipTest("no chromium on PATH")
    wm.start()


def tearDownModule():
    wm.stop()


class Browser:
    """A browser on the two debugging pipes (3 and 4), as the launcher starts one."""

    def __init__(self, program: str):
        self.profile = tempfile.mkdtemp(prefix="vellamark-conformance-")
        command_in, self.to_browser = os.pipe()
        self.from_browser, reply_out = os.pipe()

        def pipes():
            os.dup2(command_in, 3)
            os.dup2(reply_out, 4)

        arguments = ["--remote-debugging-pipe", "--user-data-dir=" + self.profile,
                     "--silent-launch", "--ozone-platform=x11", "--no-first-run",
                     "--no-default-browser-check", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync"]
        if os.geteuid() == 0:
            arguments.insert(0, "--no-sandbox")
        self.process = subprocess.Popen([program, *arguments], pass_fds=(3, 4),
                                        preexec_fn=pipes, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        os.close(command_in)
        os.close(reply_out)
        self.buffer = b""
        self.next_id = 0
        self.events: list[dict] = []

    def close(self):
        self.process.kill()
        self.process.wait(10)
        os.close(self.to_browser)
        os.close(self.from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)

    def call(self, method: str, params: dict, session: str = "", timeout: float = 60) -> dict:
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        reply = None
        while reply is None:
            # Every message of a read is kept: events may follow the reply in the same read.
            for received in self._read(deadline):
                if received.get("id") == self.next_id:
                    reply = received
                elif "method" in received:
                    self.events.append(received)
        return reply

    def wait_for_event(self, method: str, timeout: float = 60, **params) -> dict:
        deadline = time.monotonic() + timeout
        while True:
            for event in self.events:
                if event.get("method") == method and all(
                        event.get("params", {}).get(k) == v for k, v in params.items()):
                    self.events.remove(event)
                    return event
            self.events.extend(self._read(deadline))

    def _read(self, deadline: float) -> list[dict]:
        left = deadline - time.monotonic()
        if left <= 0:
            raise AssertionError("the browser did not answer in time")
        ready, _, _ = select.select([self.from_browser], [], [], left)
        if not ready:
            return []
        data = os.read(self.from_browser, 65536)
        if not data:
            raise AssertionError("the browser closed its pipe")
        self.buffer += data
        messages = []
        while b"\0" in self.buffer:
            text, self.buffer = self.buffer.split(b"\0", 1)
            messages.append(json.loads(text))
        return messages


def shape(value):
    """The JSON type of a value, and of an object's members, recursively."""
    if isinstance(value, dict):
        return {key: shape(member) for key, member in value.items()}
    if isinstance(value, bool):
        return "boolean"
    if isinstance(value, (int, float)):
        return "number"
    if isinstance(value, str):
        return "string"
    if value is None:
        return "null"
    return "array"


def reply_shape(reply: dict, members: list[str]) -> object:
    """What the driver reads of a reply: an error (with a text), or the named members of its
    result with their types ("a.b" for a member of a member)."""
    if "error" in reply:
        return {"error": shape(reply["error"].get("message"))}
    result = shape(reply["result"])
    picked = {}
    for path in members:
        node = result
        for part in path.split("."):
            node = node.get(part, "absent") if isinstance(node, dict) else "absent"
        picked[path] = node
    return picked


def driver_session(browser: Browser, origin: str) -> list[tuple[str, object]]:
    """The driver's calls, step by step, and the shape of each answer."""
    steps = []
    reply = browser.call("Target.createBrowserContext", {})
    steps.append(("context", reply_shape(reply, ["browserContextId"])))
    context = reply["result"]["browserContextId"]
    steps.append(("autoattach", reply_shape(browser.call("Target.setAutoAttach", {
        "autoAttach": True, "waitForDebuggerOnStart": False, "flatten": True,
        "filter": [{"type": "page"}]}), [])))
    reply = browser.call("Target.createTarget", {
        "url": "about:blank", "newWindow": True, "background": True, "windowState": "minimized",
        "left": -32000, "top": -32000, "browserContextId": context})
    steps.append(("create", reply_shape(reply, ["targetId"])))
    target = reply["result"]["targetId"]
    attached = browser.wait_for_event("Target.attachedToTarget")["params"]  # the page only
    steps.append(("attached", (attached["targetInfo"]["targetId"] == target,
                               shape(attached["sessionId"]))))
    session = attached["sessionId"]
    steps.append(("enable", reply_shape(browser.call("Page.enable", {}, session), [])))
    reply = browser.call("Browser.getWindowForTarget", {"targetId": target})
    steps.append(("window", reply_shape(reply, ["windowId", "bounds.windowState"])))
    window = reply["result"]["windowId"]
    steps.append(("minimise", reply_shape(browser.call(
        "Browser.setWindowBounds", {"windowId": window, "bounds": {"windowState": "minimized"}}),
        [])))

    reply = browser.call("Page.navigate", {"url": "about:blank"}, session)
    steps.append(("navigate", reply_shape(reply, ["frameId", "loaderId"])))
    for method in ("Page.frameStartedLoading", "Page.frameStoppedLoading"):
        event = browser.wait_for_event(method, frameId=target)
        steps.append((method, (event.get("sessionId") == session, shape(event["params"]))))

    form = (f"<form name=frm1 id=frm1 action=\"{origin}/p_checkpassword.php?id=1\" "
            "method=post accept-charset=\"iso-8859-1\"><input type=hidden name=username "
            "value=\"x\"><input type=submit></form>")
    write = ("(function(h){if(!document.body)return false;document.body.innerHTML=h;"
             "return true;})(" + json.dumps(form) + ")")
    reply = browser.call("Runtime.evaluate", {"expression": write, "returnByValue": True},
                         session)
    steps.append(("write", reply_shape(reply, ["result.type", "result.value"])))
    submit = ("(function(n){var f=document.forms[n];if(!f)return false;"
              "HTMLFormElement.prototype.submit.call(f);return true;})(\"frm1\")")
    reply = browser.call("Runtime.evaluate", {"expression": submit, "returnByValue": True},
                         session)
    steps.append(("submit", reply_shape(reply, ["result.type", "result.value"])))
    event = browser.wait_for_event("Page.frameStoppedLoading", frameId=target)
    steps.append(("submitted", event.get("sessionId") == session))

    steps.append(("restore", reply_shape(browser.call(
        "Browser.setWindowBounds", {"windowId": window, "bounds": {"windowState": "normal"}}),
        [])))
    # As the driver does: a window manager takes a moment to give an iconified window back.
    deadline = time.monotonic() + 3
    while time.monotonic() < deadline:
        reply = browser.call("Browser.getWindowBounds", {"windowId": window})
        if reply["result"]["bounds"]["windowState"] != "minimized":
            break
        time.sleep(0.02)
    steps.append(("restored", reply["result"]["bounds"]["windowState"]))
    for bounds in ({"left": 0, "top": 0}, {"windowState": "maximized"}):
        steps.append(("bounds", reply_shape(browser.call(
            "Browser.setWindowBounds", {"windowId": window, "bounds": bounds}), [])))
    reply = browser.call("Browser.getWindowBounds", {"windowId": window})
    steps.append(("getBounds", reply_shape(reply, ["bounds.windowState"])))
    steps.append(("front", reply_shape(browser.call("Page.bringToFront", {}, session), [])))
    # What Chromium refuses, the stand-in refuses too.
    steps.append(("unknown method", reply_shape(browser.call("Nothing.here", {}), [])))
    steps.append(("wrong window", reply_shape(browser.call(
        "Browser.setWindowBounds", {"windowId": 4242, "bounds": {"windowState": "normal"}}),
        [])))
    steps.append(("state with a position", reply_shape(browser.call(
        "Browser.setWindowBounds",
        {"windowId": window, "bounds": {"windowState": "minimized", "left": 5}}), [])))

    steps.append(("disable", reply_shape(browser.call("Page.disable", {}, session), [])))
    steps.append(("no autoattach", reply_shape(browser.call("Target.setAutoAttach", {
        "autoAttach": False, "waitForDebuggerOnStart": False, "flatten": True}), [])))
    steps.append(("detach", reply_shape(browser.call("Target.detachFromTarget",
                                                      {"sessionId": session}), [])))
    return steps


class StandinBrowserTest(unittest.TestCase):
    def test_answers_the_drivers_calls_as_chromium_does(self):
        with StandinService() as service:
            answers = {}
            for name, program in (("chromium", shutil.which("chromium")), ("stand-in", STANDIN)):
                browser = Browser(program)
                try:
                    answers[name] = driver_session(browser, service.origin)
                finally:
                    browser.close()
        for real, standin in zip(answers["chromium"], answers["stand-in"]):
            self.assertEqual(standin, real, real[0])
        self.assertEqual(len(answers["stand-in"]), len(answers["chromium"]))

    def test_a_whole_launch_runs_against_it(self):
        sandbox = LaunchSandbox()
        self.addCleanup(sandbox.close)
        record = os.path.join(sandbox.root, "standin.jsonl")
        run = sandbox.run_probe("https://service.example", "ana", "pw", "1234567890",
                                extra_env={"VELLAMARK_BROWSER": STANDIN,
                                           "VELLAMARK_STANDIN_RECORD": record})
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        with open(record, encoding="utf-8") as f:
            kinds = [json.loads(line)["kind"] for line in f]
        for kind in ("started", "createTarget", "body", "submit", "bounds", "bringToFront"):
            self.assertIn(kind, kinds)
        for pid in [p for p, args in _standins(STANDIN)]:
            os.kill(pid, 9)


def _standins(program):
    from launch_harness import _processes
    return [(pid, args) for pid, args in _processes() if args and args[0] == program]


if __name__ == "__main__":
    unittest.main(verbosity=2)
