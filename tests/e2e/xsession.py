"""A private X session for driving the real program from outside.

One XSession owns a virtual X server (Xvfb) on a free display, a small
window manager (openbox) and the program under test, each in its own process
group, and a private home folder so that no setting of the machine or of an
earlier run reaches the program. Everything it starts is stopped by close(),
which is safe to call at any time, also after a partial start.

Input goes through xdotool as real (XTEST) key presses and mouse clicks, so
the program sees what it would see from a user. Every wait polls with a
deadline and raises E2EFailure with a plain reason when the deadline passes.
"""

import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

POLL_SECONDS = 0.05
WINDOW_TIMEOUT = 20.0
SCREEN = "1280x1024x24"
REQUIRED_TOOLS = ("Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import")


class E2EFailure(Exception):
    """A check or a wait of an end-to-end test failed."""


def wait_until(condition, timeout, what):
    """Polls condition() until it returns a true value, which is returned.

    Raises E2EFailure naming `what` when `timeout` seconds pass first.
    """
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise E2EFailure(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(POLL_SECONDS)


def missing_tools():
    return [tool for tool in REQUIRED_TOOLS if shutil.which(tool) is None]


class Window:
    """A top-level X window of the program with its place on the screen."""

    def __init__(self, wid, name, x, y, width, height):
        self.wid = wid
        self.name = name
        self.x, self.y, self.width, self.height = x, y, width, height

    def __repr__(self):
        return f"<window {self.wid} {self.name!r} {self.width}x{self.height}+{self.x}+{self.y}>"


class XSession:
    def __init__(self, log):
        self._log = log
        self._procs = []  # (label, Popen), stopped in reverse order
        self.tmp = tempfile.mkdtemp(prefix="quillmere-e2e-")
        self.display = None
        self.env = None
        self.program = None
        self.run_as = None  # (uid, gid) to start the program with, else the caller's
        self.program_config = os.path.join(self.tmp, "program-config")
        self.bus_address = None  # of the session bus, once start_session_bus() ran

    # ---- start ---------------------------------------------------------------

    def start(self):
        missing = missing_tools()
        if missing:
            raise E2EFailure("missing tools: " + ", ".join(missing) + " (scripts/install-deps installs them)")
        self._start_server()
        self._start_window_manager()

    def _base_env(self):
        env = {
            key: value
            for key, value in os.environ.items()
            # Nothing of the caller's desktop may choose the program's theme,
            # style, file dialog or input method.
            if not key.startswith(("QT_", "XDG_", "GTK_", "DBUS_", "KDE_", "GNOME_", "DESKTOP_"))
            and key not in ("DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "SESSION_MANAGER", "HOME")
        }
        home = os.path.join(self.tmp, "home")
        runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(home, exist_ok=True)
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env.update(
            HOME=home,
            XDG_CONFIG_HOME=os.path.join(home, ".config"),
            XDG_CACHE_HOME=os.path.join(home, ".cache"),
            XDG_DATA_HOME=os.path.join(home, ".local", "share"),
            XDG_RUNTIME_DIR=runtime,
            LANG="C.UTF-8",
            LC_ALL="C.UTF-8",
            NO_AT_BRIDGE="1",
            QT_ACCESSIBILITY="0",
        )
        return env

    def _spawn(self, label, argv, env, **kwargs):
        out = open(os.path.join(self.tmp, label + ".log"), "wb")
        try:
            proc = subprocess.Popen(argv, env=env, stdout=out, stderr=subprocess.STDOUT,
                                    stdin=subprocess.DEVNULL, start_new_session=True, **kwargs)
        finally:
            out.close()
        self._procs.append((label, proc))
        return proc

    def _start_server(self):
        read_end, write_end = os.pipe()
        try:
            server = self._spawn(
                "xvfb",
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp", "-noreset"],
                self._base_env(), pass_fds=(write_end,))
            os.close(write_end)
            write_end = -1
            # Xvfb writes the display number once it accepts connections.
            text = b""
            deadline = time.monotonic() + WINDOW_TIMEOUT
            while not text.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or server.poll() is not None:
                    raise E2EFailure("Xvfb did not start: " + self.process_log("xvfb"))
                ready, _, _ = select.select([read_end], [], [], left)
                if ready:
                    chunk = os.read(read_end, 64)
                    if not chunk:
                        raise E2EFailure("Xvfb closed its display pipe: " + self.process_log("xvfb"))
                    text += chunk
        finally:
            if write_end >= 0:
                os.close(write_end)
            os.close(read_end)
        self.display = ":" + text.decode().strip()
        self.env = self._base_env()
        self.env["DISPLAY"] = self.display
        self._log(f"X server on {self.display}")

    def _start_window_manager(self):
        wm = self._spawn("openbox", ["openbox", "--sm-disable"], self.env)

        def running():
            if wm.poll() is not None:
                raise E2EFailure("openbox ended at once: " + self.process_log("openbox"))
            out = self._run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
            return "window id #" in out

        wait_until(running, WINDOW_TIMEOUT, "the window manager")

    def start_session_bus(self):
        """A private D-Bus session bus, over which the programs started
        afterwards publish their widgets for the accessibility interface."""
        missing = [tool for tool in ("dbus-daemon", "gdbus") if shutil.which(tool) is None]
        if missing:
            raise E2EFailure("missing tools: " + ", ".join(missing) + " (scripts/install-deps installs them)")
        read_end, write_end = os.pipe()
        try:
            bus = self._spawn("dbus", ["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                       f"--print-address={write_end}"], self.env, pass_fds=(write_end,))
            os.close(write_end)
            write_end = -1
            ready, _, _ = select.select([read_end], [], [], WINDOW_TIMEOUT)
            address = os.read(read_end, 4096).decode().strip() if ready else ""
        finally:
            if write_end >= 0:
                os.close(write_end)
            os.close(read_end)
        if not address or bus.poll() is not None:
            raise E2EFailure("dbus-daemon did not start: " + self.process_log("dbus"))
        self.bus_address = address
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        del self.env["NO_AT_BRIDGE"]
        self.env["QT_ACCESSIBILITY"] = "1"
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"

    def start_program(self, executable, *args):
        env = dict(self.env)
        env["QT_QPA_PLATFORM"] = "xcb"
        # A configuration folder of the program's own, apart from the window
        # manager's, so that anything the program writes there shows.
        os.makedirs(self.program_config, exist_ok=True)
        env["XDG_CONFIG_HOME"] = self.program_config
        argv = [executable, *args]
        if self.run_as is not None:
            uid, gid = self.run_as
            # The other user needs its own home and runtime folder and may
            # look into the session folder, but not write there.
            os.chmod(self.tmp, 0o755)
            for top in (env["HOME"], env["XDG_RUNTIME_DIR"], self.program_config):
                for folder, _, files in os.walk(top):
                    for name in [folder] + [os.path.join(folder, f) for f in files]:
                        os.chown(name, uid, gid)
            argv = ["setpriv", f"--reuid={uid}", f"--regid={gid}", "--clear-groups", executable, *args]
        self.program = self._spawn("program", argv, env, cwd=self.tmp)
        return self.program

    # ---- stop ----------------------------------------------------------------

    def stop_program(self):
        """Ends the program under test, so that another can be started."""
        for entry in list(self._procs):
            if entry[1] is self.program:
                self._stop(*entry)
                self._procs.remove(entry)
        self.program = None

    def close(self):
        for label, proc in reversed(self._procs):
            self._stop(label, proc)
        self._procs.clear()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def _stop(self, label, proc):
        if proc.poll() is not None:
            return
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            return
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self._log(f"{label} did not end on SIGTERM; killing it")
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            proc.wait(timeout=5)

    def process_log(self, label):
        try:
            with open(os.path.join(self.tmp, label + ".log"), "rb") as f:
                text = f.read().decode(errors="replace").strip()
        except OSError:
            return "(no output)"
        return text[-2000:] if text else "(no output)"

    def files_in_program_config(self):
        """Everything the program left in its configuration folder."""
        found = []
        for folder, dirs, files in os.walk(self.program_config):
            found += [os.path.join(folder, name) for name in dirs + files]
        return found

    def check_program_running(self):
        if self.program is not None and self.program.poll() is not None:
            raise E2EFailure(f"the program ended (exit status {self.program.returncode}); its output:\n"
                             + self.process_log("program"))

    # ---- X tools -------------------------------------------------------------

    def _run(self, argv, check=True, timeout=15):
        try:
            done = subprocess.run(argv, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  stdin=subprocess.DEVNULL, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise E2EFailure(f"{argv[0]} did not answer within {timeout} s: {' '.join(argv)}")
        if check and done.returncode != 0:
            raise E2EFailure(f"{' '.join(argv)} failed ({done.returncode}): {done.stderr.decode(errors='replace')}")
        return done.stdout.decode(errors="replace")

    def xdotool(self, *args):
        return self._run(["xdotool", *map(str, args)])

    def screenshot(self, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        self._run(["import", "-window", "root", path], timeout=30)

    def geometry(self, wid):
        """The window's place and size, or None when it is gone or unmapped."""
        out = self._run(["xwininfo", "-id", str(wid)], check=False)
        values = dict(re.findall(r"^\s*([A-Za-z -]+):\s+(-?\d+)\s*$", out, re.M))
        if "Map State: IsViewable" not in out or "Width" not in values:
            return None
        name = re.search(r'^xwininfo: Window id: \S+ "(.*)"$', out, re.M)
        return Window(wid, name.group(1) if name else "", int(values["Absolute upper-left X"]),
                      int(values["Absolute upper-left Y"]), int(values["Width"]), int(values["Height"]))

    def program_windows(self, name_regex="."):
        """The program's visible top-level windows whose title matches."""
        self.check_program_running()
        out = self._run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.program.pid),
                         "--name", name_regex], check=False)
        windows = []
        for wid in out.split():
            window = self.geometry(int(wid))
            if window is not None:
                windows.append(window)
        return windows

    def wait_for_window(self, name_regex, what, exclude=(), timeout=WINDOW_TIMEOUT):
        def found():
            windows = [w for w in self.program_windows(name_regex) if w.wid not in exclude]
            return windows[0] if windows else None

        return wait_until(found, timeout, what)

    def wait_window_gone(self, wid, what, timeout=WINDOW_TIMEOUT):
        wait_until(lambda: self.geometry(wid) is None, timeout, what)

    def active_window(self):
        out = self._run(["xdotool", "getactivewindow"], check=False).strip()
        return int(out) if out.isdigit() else None

    def activate(self, window, what):
        """Gives the window the input focus and waits until it has it."""
        def active():
            if self.active_window() == window.wid:
                return True
            self._run(["xdotool", "windowactivate", str(window.wid)], check=False)
            time.sleep(0.1)
            return self.active_window() == window.wid

        wait_until(active, WINDOW_TIMEOUT, f"{what} to take the focus")

    def mapped_root_children(self):
        """Ids of the windows directly under the root that are mapped now.

        Pop-up menus are such windows: the window manager does not frame them.
        """
        out = self._run(["xwininfo", "-root", "-children"])
        ids = set()
        for wid in re.findall(r"^\s+(0x[0-9a-f]+) ", out, re.M):
            ids.add(int(wid, 16))
        return {wid for wid in ids if self.geometry(wid) is not None}

    def stacked_above(self, upper, lower):
        """Whether client window `upper` lies above `lower` in the window manager's stacking."""
        out = self._run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"], check=False)
        order = [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out)]
        return upper in order and lower in order and order.index(upper) > order.index(lower)

    def key(self, *keys):
        self.xdotool("key", "--delay", "40", *keys)

    def type_text(self, text):
        self.xdotool("type", "--delay", "30", text)

    def click(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)
        time.sleep(0.05)
        self.xdotool("click", "1")

    def grab_ppm(self, x, y, width, height):
        """Pixels of a screen rectangle as rows of (r, g, b) tuples."""
        data = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                               "-depth", "8", "ppm:-"], env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=30, check=True).stdout
        return parse_ppm(data)


def parse_ppm(data):
    """Decodes a binary (P6) 8-bit PPM image into rows of (r, g, b)."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1  # the one whitespace byte before the pixels
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise E2EFailure("unexpected screen grab format")
    width, height = int(fields[1]), int(fields[2])
    rows = []
    for row in range(height):
        start = pos + row * width * 3
        line = data[start:start + width * 3]
        rows.append([tuple(line[i:i + 3]) for i in range(0, len(line), 3)])
    return rows
