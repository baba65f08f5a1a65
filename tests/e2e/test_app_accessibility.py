"""The login window read as a screen reader reads it, through the accessibility bus (AT-SPI):
the focusable controls' roles and names, and each box's label. CTest runs it under
dbus-run-session on Xvfb, with the system's python3 (pyatspi)."""

import os
import subprocess
import tempfile
import time
import unittest

import pyatspi

APP = os.path.join(os.environ.get("VELLAMARK_BUILD_DIR", ""), "app", "vellamark")


class AccessibleWindow(unittest.TestCase):
    def test_the_boxes_the_button_and_the_check_box_say_what_they_are(self):
        root = tempfile.TemporaryDirectory(prefix="vellamark-a11y-")
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", VELLAMARK_PRESTART="0", **{
            name: os.path.join(root.name, name) for name in
            ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME")})
        env.pop("QT_QPA_PLATFORM", None)
        app = subprocess.Popen([APP], env=env)
        self.addCleanup(root.cleanup)
        self.addCleanup(app.wait, 30)
        self.addCleanup(app.terminate)
        controls, deadline = [], time.monotonic() + 60
        while len(controls) < 5 and time.monotonic() < deadline:
            time.sleep(0.2)
            panels = [acc for app_acc in pyatspi.Registry.getDesktop(0) if app_acc
                      for acc in pyatspi.findAllDescendants(app_acc, lambda a: (
                          a.getRole(), a.name) == (pyatspi.ROLE_PANEL, "VellaMark User Details"))]
            controls = [c for f in panels for c in f
                        if c.getState().contains(pyatspi.STATE_FOCUSABLE)]
        # In tab order; on Linux Qt names an editable combo box by its text once it has one,
        # and a screen reader then takes its label from the relation.
        self.assertEqual([(c.getRoleName(), c.name) for c in controls],
                         [("check box", "Save Password"), ("combo box", "Username"),
                          ("push button", "Login"), ("password text", "Password"),
                          ("text", "PIN")])
        labels = [[r.getTarget(0).name for r in c.getRelationSet()
                   if r.getRelationType() == pyatspi.RELATION_LABELLED_BY][0]
                  for c in (controls[1], controls[3], controls[4])]
        self.assertEqual(labels, ["Username :", "Password :", "PIN :"])
        self.assertNotIn("Label4", [c.name for c in panels[0]])  # the hidden status line


if __name__ == "__main__":
    unittest.main()
