"""Runs one Windows test program under wine in the end-to-end tests' own prefix, on the display
this process was given (xvfb-run): a program that makes windows needs a wine desktop with a
display, which the prefix of the tests without a display cannot give it.

    python3 run_in_wine.py <program.exe> [arguments...]"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import Wine  # noqa: E402


def main() -> int:
    wine = Wine()
    try:
        return subprocess.run(["wine", *sys.argv[1:]], env=wine.env, timeout=600).returncode
    finally:
        wine.kill_all()


if __name__ == "__main__":
    sys.exit(main())
