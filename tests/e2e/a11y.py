"""What the program shows, read through its accessibility interface.

The toolkit publishes every widget of the running program on the desktop's
accessibility bus (AT-SPI, over D-Bus): its role, its name, its tooltip as its
description, the text of a text field and the value of a slider. A case that
starts its session bus (XSession.start_session_bus) reads them here with
`gdbus`, one call a question, so that a check of a value shown needs no
reading of pixels. The species list's 251 rows are never walked.
"""

import ast
import re
import subprocess

from xsession import E2EFailure, wait_until

REGISTRY = "org.a11y.atspi.Registry"
ROOT = "/org/a11y/atspi/accessible/root"
# Only these are looked into: the rows of lists (the species list, the
# drop-down lists) and the parts of single controls are never walked.
CONTAINER_ROLES = {"application", "frame", "filler", "panel", "dialog", "alert"}


class Node:
    def __init__(self, bus, dest, path):
        self.bus, self.dest, self.path = bus, dest, path
        self._role = None

    def __repr__(self):
        return f"<{self.role()} {self.name()!r} at {self.path}>"

    def _call(self, method, *args):
        return self.bus.call(self.dest, self.path, method, *args)

    def _property(self, interface, name):
        return unwrap(self._call("org.freedesktop.DBus.Properties.Get", interface, name))

    def children(self):
        out = self._call("org.a11y.atspi.Accessible.GetChildren")
        return [Node(self.bus, d, p) for d, p in re.findall(r"\('([^']*)', (?:objectpath )?'([^']*)'\)", out)]

    def role(self):
        if self._role is None:
            self._role = unwrap(self._call("org.a11y.atspi.Accessible.GetRoleName"))
        return self._role

    def name(self):
        return self._property("org.a11y.atspi.Accessible", "Name")

    def description(self):
        """The widget's tooltip, unless it was given a description of its own."""
        return self._property("org.a11y.atspi.Accessible", "Description")

    def text(self):
        """All the text of a text field."""
        return unwrap(self._call("org.a11y.atspi.Text.GetText", "--", "0", "-1"))

    def value(self):
        """The current value of a slider or scroll bar."""
        return self._property("org.a11y.atspi.Value", "CurrentValue")

    def find_all(self, wanted):
        """Every node below this one (depth first) for which wanted(node) holds."""
        found = []
        for child in self.children():
            if wanted(child):
                found.append(child)
            if child.role() in CONTAINER_ROLES:
                found += child.find_all(wanted)
        return found

    def find(self, wanted, what):
        found = self.find_all(wanted)
        if len(found) != 1:
            raise E2EFailure(f"expected one {what}, found {len(found)}: {found}")
        return found[0]


def unwrap(out):
    """The one value of a gdbus answer: "(<'HP'>,)" -> 'HP', "(<40.0>,)" -> 40.0."""
    text = out.strip()
    match = re.fullmatch(r"\(<?(.*?)>?,\)", text, re.S)
    if not match:
        raise E2EFailure(f"an accessibility answer of an unexpected form: {text!r}")
    inner = re.sub(r"^(?:double|int32|uint32|string) ", "", match.group(1))
    try:
        return ast.literal_eval(inner)
    except (ValueError, SyntaxError):
        raise E2EFailure(f"an accessibility answer of an unexpected form: {text!r}")


class AccessibilityBus:
    """The accessibility bus of an XSession whose session bus runs."""

    def __init__(self, session):
        self.session = session
        answer = wait_until(lambda: self._session_call(), 20, "the accessibility bus to start")
        self.address = unwrap(answer)

    def _session_call(self):
        done = subprocess.run(
            ["gdbus", "call", "--address", self.session.bus_address, "--dest", "org.a11y.Bus",
             "--object-path", "/org/a11y/bus", "--method", "org.a11y.Bus.GetAddress"],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=20)
        return done.stdout.decode() if done.returncode == 0 else None

    def call(self, dest, path, method, *args):
        argv = ["gdbus", "call", "--address", self.address, "--dest", dest, "--object-path", path,
                "--method", method, *args]
        try:
            done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                  timeout=20)
        except subprocess.TimeoutExpired:
            raise E2EFailure(f"no accessibility answer within 20 s to {method} on {path}")
        if done.returncode != 0:
            raise E2EFailure(f"the accessibility call {method} on {path} failed: "
                             + done.stderr.decode(errors="replace").strip())
        return done.stdout.decode(errors="replace")

    def application(self):
        """The program's own root node, once it has joined the bus."""
        def joined():
            apps = Node(self, REGISTRY, ROOT).children()
            return apps[0] if len(apps) == 1 else None

        return wait_until(joined, 20, "the program to join the accessibility bus")

    def windows(self):
        """The program's top-level windows (the main window, messages, dialogs)."""
        return self.application().children()
