#!/usr/bin/python3
"""What a screen reader sees of the player, through AT-SPI.

Run with a private session bus and X display of its own (dbus-run-session,
xvfb-run): starts the accessibility bus, starts the player with two movies,
then finds every button, slider and field of its windows by walking the
tree as a screen reader does, and works the transport through the action
interface alone.
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

import gi

gi.require_version("Atspi", "2.0")
import pyatspi  # noqa: E402

REEL = os.environ["REEL_BINARY"]
NAMED_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON: "button",
    pyatspi.ROLE_TOGGLE_BUTTON: "button",
    pyatspi.ROLE_SLIDER: "slider",
    pyatspi.ROLE_LABEL: "field",
    pyatspi.ROLE_STATIC: "field",
    pyatspi.ROLE_TABLE: "table",
}


def wait_for(what, check, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("gave up waiting for " + what)


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:  # a child that went away while walking
            continue
        yield from walk(child, depth + 1)


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return ""


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for i, name in enumerate(names):
        if name.lower() in ("press", "click"):
            return action.doAction(i)
    raise AssertionError("%s has no press action: %s" % (node.name, names))


def playerctl(*args):
    return subprocess.run(["playerctl", "--player=reel", *args], capture_output=True, text=True,
                          timeout=20).stdout.strip()


class ScreenReaderView(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        cls.clips = []
        for name in ("alpha", "beta"):
            path = os.path.join(cls.tmp.name, name + ".mp4")
            subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi",
                            "-i", "testsrc2=size=160x120:rate=25", "-f", "lavfi", "-i", "sine", "-t", "20",
                            "-c:v", "mpeg4", "-c:a", "aac", path], check=True)
            cls.clips.append(path)
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                   XDG_CONFIG_HOME=cls.tmp.name, REEL_MPV_OPTIONS="vo=null,ao=null")
        cls.reel = subprocess.Popen([REEL, *cls.clips], env=env, stdin=subprocess.DEVNULL)

        def application():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == "Reel":
                    return app
            return None

        cls.app = wait_for("the player on the accessibility bus", application)

    @classmethod
    def tearDownClass(cls):
        cls.reel.terminate()
        cls.reel.wait(20)
        cls.bus.terminate()
        cls.bus.wait(20)
        cls.tmp.cleanup()

    def find(self, role, name):
        def found():
            for node in walk(self.app):
                if node.getRole() == role and node.name == name and node.getState().contains(pyatspi.STATE_SHOWING):
                    return node
            return None
        return wait_for("%s %r" % (role, name), found)

    def test_1_every_control_is_named_and_the_transport_works_by_action(self):
        table = self.find(pyatspi.ROLE_TABLE, "Playlist")
        # The rows are read by their files' names.
        cells = wait_for("two rows", lambda: [c.name for c in walk(table) if c.getRole() == pyatspi.ROLE_TABLE_CELL])
        self.assertIn("alpha.mp4", cells)
        self.assertIn("beta.mp4", cells)
        # Choose the first movie and view it, by action alone.
        table.queryTable().addRowSelection(0)
        self.find(pyatspi.ROLE_LABEL, "Size: 160x120 Aspect: 1.3333")
        press(self.find(pyatspi.ROLE_PUSH_BUTTON, "View"))
        wait_for("playing", lambda: playerctl("status") == "Playing")

        # Every window is on screen now: nothing a screen reader lands on is nameless.
        play = self.find(pyatspi.ROLE_PUSH_BUTTON, "Pause")
        self.find(pyatspi.ROLE_SLIDER, "Position")
        self.find(pyatspi.ROLE_SLIDER, "Volume")
        seen = {}
        nameless = []
        for node in walk(self.app):
            kind = NAMED_ROLES.get(node.getRole())
            if kind is None or not node.getState().contains(pyatspi.STATE_SHOWING):
                continue
            seen[node.name] = kind
            if not node.name.strip():
                nameless.append("%s %s" % (node.getRoleName(), text_of(node)))
        self.assertEqual(nameless, [])
        for name in ("Previous", "Next", "Add…", "Remove", "View", "Playlist", "Position", "Volume",
                     "Length: 0:00:20", "Frame rate: 25", "Name: alpha", "Movie: alpha"):
            self.assertIn(name, seen)
        self.assertEqual(self.find(pyatspi.ROLE_PUSH_BUTTON, "Next").description, "Next (hold to fast-forward)")
        self.assertEqual(self.find(pyatspi.ROLE_PUSH_BUTTON, "Previous").description, "Previous (hold to rewind)")
        # The read-out is read as its text, and it moves on.
        wait_for("the time read-out", lambda: any(
            n.name.startswith("Time: 0:00:0") and n.name.endswith("/0:00:20") and not n.name.startswith("Time: 0:00:00")
            for n in walk(self.app) if n.getRole() == pyatspi.ROLE_LABEL))
        self.assertTrue(self.find(pyatspi.ROLE_SLIDER, "Position").description.endswith("of 0:00:20"))

        # The play/pause button names what it does next, and pressing it pauses.
        press(play)
        wait_for("paused", lambda: playerctl("status") == "Paused")
        self.find(pyatspi.ROLE_PUSH_BUTTON, "Play")
        press(self.find(pyatspi.ROLE_PUSH_BUTTON, "Next"))
        wait_for("the next movie", lambda: playerctl("metadata", "xesam:title") == "beta")
        press(self.find(pyatspi.ROLE_PUSH_BUTTON, "Previous"))
        wait_for("the previous movie", lambda: playerctl("metadata", "xesam:title") == "alpha")


if __name__ == "__main__":
    sys.exit(0 if unittest.main(exit=False, verbosity=2).result.wasSuccessful() else 1)
