#!/usr/bin/env python3
"""Launch benchmark, beside the floor: the same browser, with the automation flags and a fresh
profile, started cold on a page that posts the same form by itself. Interleaved, one of each in
turn, so drift on the machine hits all alike:

- keypress: the real launcher, an account typed; from Enter in the password box to the service
  receiving the post, with the browser started ahead (after the user has typed) and with
  VELLAMARK_PRESTART=0;
- launch: the launch probe, from the start of LoginToService to the post.

    VELLAMARK_BUILD_DIR=build python3 bench/launch_bench.py [--runs N]

Needs a display; without one it runs itself again under xvfb-run. Runs under openbox."""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from launch_harness import LaunchSandbox, WindowManager, wait_until  # noqa: E402
from standin_service import StandinService  # noqa: E402

# The automation flags the driver uses too (browser/browser_command_line.cpp), and a window off
# the screen.
FLAGS = ["--window-position=-32000,-32000", "--no-first-run", "--no-default-browser-check",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--disable-backgrounding-occluded-windows", "--disable-renderer-backgrounding",
         "--password-store=basic"]


def floor_once(service, browser, root):
    profile = tempfile.mkdtemp(prefix="floor-", dir=root)
    page = os.path.join(root, "selfpost.htm")
    action = service.origin + "/p_checkpassword.php?id=20260101093512"
    fields = [("username", "jo.smith"), ("password", "s3cret"), ("time", "093512"),
              ("seed", "1234567"), ("pin1", "1"), ("pin2", "2"), ("pin3", "3"),
              ("appver", "3.0.38")]
    inputs = "".join(f'<input type=hidden name="{n}" value="{v}">' for n, v in fields)
    with open(page, "w") as f:
        f.write(f'<html><body onload="document.forms.frm1.submit()"><form name=frm1 id=frm1 '
                f'action="{action}" method=post>{inputs}<input type=submit></form></body></html>')
    args = [browser, *FLAGS, "--user-data-dir=" + profile]
    if os.geteuid() == 0:
        args.append("--no-sandbox")
    args.append("--app=file://" + page)
    before = len(service.posts)
    start = time.monotonic()
    proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    try:
        posts = service.wait_for_posts(before + 1, 30)
        if len(posts) <= before:
            raise RuntimeError("the self-posting page never posted")
        return posts[before].received_at - start
    finally:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()


def launch_once(service, sandbox):
    before = len(service.posts)
    run = sandbox.run_probe(service.origin, "jo.smith", "s3cret", "9081726354")
    posts = service.wait_for_posts(before + 1, 30)
    if run.returncode != 0 or len(posts) <= before or run.start_monotonic is None:
        raise RuntimeError("launch failed: " + run.stdout + run.stderr)
    elapsed = posts[before].received_at - run.start_monotonic
    sandbox.kill_browsers()
    return elapsed


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True,
                          timeout=30).stdout


def keypress_once(service, sandbox, prestart):
    """The real launcher: an account typed, then Enter; seconds from Enter to the post."""
    shutil.rmtree(sandbox.places["config"], ignore_errors=True)
    env = sandbox.environment(service.origin, {"VELLAMARK_PRESTART": "1" if prestart else "0"})
    env.pop("QT_QPA_PLATFORM", None)
    app = os.path.join(os.environ["VELLAMARK_BUILD_DIR"], "app", "vellamark")
    process = subprocess.Popen([app], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        window = xdotool("search", "--sync", "--onlyvisible", "--pid", str(process.pid),
                         "--name", "^VellaMark System$").split()[0]
        xdotool("windowfocus", "--sync", window)
        for verb, *args in (("key", "Tab"), ("type", "jo.smith"), ("key", "Tab", "Tab"),
                            ("type", "s3cret"), ("key", "Tab"), ("type", "9081726354"),
                            ("key", "shift+Tab")):
            xdotool(verb, "--delay", "20", *args)
        time.sleep(2)  # the user reads what they typed; the same wait with and without
        before = len(service.posts)
        start = time.monotonic()
        xdotool("key", "Return")
        posts = service.wait_for_posts(before + 1, 30)
        if len(posts) <= before or process.wait(30) != 0:
            raise RuntimeError("the login failed")
        return posts[before].received_at - start
    finally:
        if process.poll() is None:
            process.kill()
        sandbox.kill_browsers()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=7)
    options = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1280x800x24",
                               sys.executable, *sys.argv])
    browser = shutil.which("chromium") or shutil.which("google-chrome")
    if not browser or not os.environ.get("VELLAMARK_BUILD_DIR"):
        sys.exit("needs chromium on PATH and VELLAMARK_BUILD_DIR set to a build with launch_probe")

    # A desktop has a window manager, which minimises and restores the browser's window; the
    # launch waits for the minimise before it writes the form.
    manager = WindowManager("openbox")
    if not manager.start():
        sys.exit("needs openbox (scripts/setup)")
    sandbox = LaunchSandbox()
    measures = {
        "floor (browser started cold on a self-posting page)":
            lambda service: floor_once(service, browser, sandbox.root),
        "keypress to post, browser started ahead":
            lambda service: keypress_once(service, sandbox, True),
        "keypress to post, VELLAMARK_PRESTART=0":
            lambda service: keypress_once(service, sandbox, False),
        "launch (LoginToService start to post), no window":
            lambda service: launch_once(service, sandbox),
    }
    times = {name: [] for name in measures}
    try:
        with StandinService(expected_pin="9081726354") as service:
            # One unmeasured round of each warms the disk cache for all alike.
            for measure in measures.values():
                measure(service)
            for _ in range(options.runs):
                for name, measure in measures.items():
                    times[name].append(measure(service))
    finally:
        sandbox.close()
        manager.stop()

    with open("/proc/loadavg") as f:
        load = f.read().split()[:3]
    print(f"runs: {options.runs}, load average before the end: {' '.join(load)}")
    floor = statistics.median(next(iter(times.values())))
    for name, values in times.items():
        median = statistics.median(values)
        print(f"{name}, median: {median * 1000:.0f} ms "
              f"[{min(values) * 1000:.0f}..{max(values) * 1000:.0f}], "
              f"{median / floor:.2f}x the floor")


if __name__ == "__main__":
    main()
