#!/usr/bin/env python3
"""Launch benchmark: the time from the start of LoginToService to the service receiving the
login post, beside the floor: the same browser, with the same flags and a fresh profile,
started directly on a page that posts the same form by itself.

    VELLAMARK_BUILD_DIR=build python3 bench/launch_bench.py [--runs N]

Needs a display; without one it runs itself again under xvfb-run."""

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

from launch_harness import LaunchSandbox, wait_until  # noqa: E402
from standin_service import StandinService  # noqa: E402

# The driver's own flags (browser/browser_command_line.cpp), less the debugging pipe.
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

    sandbox = LaunchSandbox()
    launches, floors = [], []
    try:
        with StandinService(expected_pin="9081726354") as service:
            # One unmeasured round of each warms the disk cache for both alike.
            floor_once(service, browser, sandbox.root)
            launch_once(service, sandbox)
            for _ in range(options.runs):  # interleaved, so drift hits both alike
                floors.append(floor_once(service, browser, sandbox.root))
                launches.append(launch_once(service, sandbox))
    finally:
        sandbox.close()

    launch_ms = statistics.median(launches) * 1000
    floor_ms = statistics.median(floors) * 1000
    print(f"runs: {options.runs}")
    print(f"launch (LoginToService start to post received), median: {launch_ms:.0f} ms "
          f"[{min(launches) * 1000:.0f}..{max(launches) * 1000:.0f}]")
    print(f"floor (browser started on a self-posting page), median: {floor_ms:.0f} ms "
          f"[{min(floors) * 1000:.0f}..{max(floors) * 1000:.0f}]")
    print(f"ratio: {launch_ms / floor_ms:.2f}x (target <= 1.3x)")


if __name__ == "__main__":
    main()
