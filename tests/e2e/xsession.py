"""A private X display for one scenario: Xvfb, openbox, and real input.

Everything a scenario does to the program goes through the X server as a
person's mouse and keyboard would (XTEST through xdotool), and everything it
reads back comes from outside the program: window titles and focus, the
CLIPBOARD as another client (xclip) sees it, screenshots. Waits poll with a
deadline; nothing relies on a fixed pause alone.
"""

import os
import re
import select
import shutil
import signal
import subprocess
import time

# Generous: CI machines are shared and ctest runs suites side by side.
TIMEOUT = float(os.environ.get("MARVESK_E2E_TIMEOUT", "30"))


class E2EError(AssertionError):
    """A wait that ran out, or a tool that failed; fails the scenario."""


def poll(predicate, timeout=TIMEOUT, interval=0.05, what="condition"):
    """Calls predicate until it returns something true; returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise E2EError(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def require_tools(*names):
    missing = [n for n in names if shutil.which(n) is None]
    if missing:
        raise E2EError("missing programs (scripts/setup.sh installs them): " + ", ".join(missing))


class XSession:
    """Xvfb on a free display number, optionally with openbox managing it."""

    def __init__(self, workdir, window_manager=True, size=(1280, 1024)):
        require_tools("Xvfb", "xdotool", "xclip", "xprop", "openbox", "import")
        self.workdir = workdir
        self._children = []  # (name, Popen), ended in reverse order
        self.display = self._start_xvfb(size)
        self.env = {"DISPLAY": self.display}
        if window_manager:
            self._start_openbox()

    # -- the server and the window manager ------------------------------

    def _start_xvfb(self, size):
        read_fd, write_fd = os.pipe()
        with open(os.path.join(self.workdir, "xvfb.log"), "wb") as log:
            proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                 f"{size[0]}x{size[1]}x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_fd,), stdout=log, stderr=log, start_new_session=True)
        os.close(write_fd)
        self._children.append(("Xvfb", proc))
        number = b""
        deadline = time.monotonic() + TIMEOUT
        try:
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                ready, _, _ = select.select([read_fd], [], [], max(left, 0))
                if not ready:
                    raise E2EError("Xvfb did not report its display number")
                chunk = os.read(read_fd, 16)
                if not chunk:
                    raise E2EError("Xvfb ended at start; see xvfb.log")
                number += chunk
        finally:
            os.close(read_fd)
        return ":" + number.decode().strip()

    def _start_openbox(self):
        with open(os.path.join(self.workdir, "openbox.log"), "wb") as log:
            proc = subprocess.Popen(["openbox", "--sm-disable"], env=self.tool_env(),
                                    stdout=log, stderr=log, start_new_session=True)
        self._children.append(("openbox", proc))
        poll(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False),
            what="openbox to manage the screen")

    def close(self):
        for _, proc in reversed(self._children):
            end_process(proc)
        self._children.clear()

    # -- running X clients ------------------------------------------------

    def tool_env(self):
        env = {k: v for k, v in os.environ.items() if k not in ("XAUTHORITY", "WAYLAND_DISPLAY")}
        env.update(self.env)
        return env

    def run(self, argv, check=True):
        done = subprocess.run(argv, env=self.tool_env(), capture_output=True, text=True,
                              timeout=TIMEOUT)
        if check and done.returncode != 0:
            raise E2EError(f"{' '.join(argv)} failed: {done.stderr.strip()}")
        return done.stdout

    def xdotool(self, *args):
        return self.run(["xdotool", *map(str, args)])

    # -- windows ------------------------------------------------------------

    def windows(self, pid=None, name=None):
        """Visible windows (ids), optionally of one process and with a title
        matching the regular expression `name`."""
        argv = ["xdotool", "search", "--all", "--onlyvisible"]
        if pid is not None:
            argv += ["--pid", str(pid)]
        argv += ["--name", name if name is not None else "."]
        out = self.run(argv, check=False)
        return [int(w) for w in out.split()]

    def visible_of_class(self, klass):
        out = self.run(["xdotool", "search", "--onlyvisible", "--class", klass], check=False)
        return {int(w) for w in out.split()}

    def window_name(self, wid):
        return self.run(["xdotool", "getwindowname", str(wid)], check=False).rstrip("\n")

    def wait_window(self, name, pid=None, timeout=TIMEOUT, pattern=None):
        """The one visible window whose whole title is `name` (or matches
        the regular expression `pattern`)."""
        pattern = pattern or "^" + re.escape(name) + "$"
        found = poll(lambda: self.windows(pid, pattern), timeout=timeout,
                     what=f"a window titled {name!r}")
        return found[0]

    def wait_no_window(self, name, pid=None, timeout=TIMEOUT):
        pattern = "^" + re.escape(name) + "$"
        poll(lambda: not self.windows(pid, pattern), timeout=timeout,
             what=f"the window {name!r} to go")

    def titles(self, pid=None):
        return [self.window_name(w) for w in self.windows(pid)]

    def focused(self):
        out = self.run(["xdotool", "getwindowfocus"], check=False).strip()
        return int(out) if out.isdigit() else None

    def wait_focus(self, wid, timeout=TIMEOUT):
        """Waits until the window manager has given `wid` the keyboard."""
        def has_focus():
            if self.focused() == wid:
                return True
            # A window that maps may not be focused by the WM at once; ask again.
            self.run(["xdotool", "windowactivate", str(wid)], check=False)
            return False
        try:
            poll(has_focus, timeout=timeout, interval=0.1, what="focus")
        except E2EError:
            f = self.focused()
            raise E2EError(f"window {wid} {self.window_name(wid)!r} never got the keyboard; "
                           f"{f} {self.window_name(f) if f else ''!r} has it") from None

    def size(self, wid):
        out = self.xdotool("getwindowgeometry", wid)
        m = re.search(r"Geometry: (\d+)x(\d+)", out)
        return int(m.group(1)), int(m.group(2))

    def client_origin(self, wid):
        out = self.run(["xwininfo", "-id", str(wid)])
        ax = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", out).group(1))
        ay = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", out).group(1))
        return ax, ay

    # -- input --------------------------------------------------------------

    def frame(self, wid):
        """The window manager's frame around a client window (the client
        itself when nothing reparented it)."""
        out = self.run(["xwininfo", "-children", "-id", str(wid)])
        parent = int(re.search(r"Parent window id: (0x[0-9a-f]+)", out).group(1), 16)
        root = int(re.search(r"Root window id: (0x[0-9a-f]+)", out).group(1), 16)
        return wid if parent == root else parent

    def under_pointer(self):
        out = self.run(["xdotool", "getmouselocation"])
        return int(re.search(r"window:(\d+)", out).group(1))

    def pointer(self):
        out = self.run(["xdotool", "getmouselocation"])
        m = re.search(r"x:(-?\d+) y:(-?\d+)", out)
        return int(m.group(1)), int(m.group(2))

    def _move_pointer(self, sx, sy):
        # --sync waits for a motion, and there is none when the pointer is
        # already there.
        if self.pointer() != (sx, sy):
            self.xdotool("mousemove", "--sync", sx, sy)

    def point_at(self, wid, x, y):
        """Moves the pointer to (x, y) of the window's client area and waits
        until nothing else (a tooltip, a box) lies over that spot."""
        ox, oy = self.client_origin(wid)
        top = self.frame(wid)
        self._move_pointer(ox + x, oy + y)
        deadline = time.monotonic() + TIMEOUT
        while self.under_pointer() != top:
            if time.monotonic() > deadline:
                above = self.under_pointer()
                raise E2EError(f"window {above} {self.window_name(above)!r} covers "
                               f"({x}, {y}) of {self.window_name(wid)!r}")
            # A tooltip goes once the pointer moves; move it a little.
            self._move_pointer(ox + x + 1, oy + y + 1)
            time.sleep(0.1)
            self._move_pointer(ox + x, oy + y)

    def click_close_box(self, wid):
        """Clicks the close button in the window manager's title bar (openbox
        puts it at the right end)."""
        frame = self.frame(wid)
        out = self.run(["xwininfo", "-id", str(frame)])
        fx = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", out).group(1))
        fy = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", out).group(1))
        width = int(re.search(r"Width: (\d+)", out).group(1))
        _, title_height = self.client_origin(wid)
        title_height -= fy
        self._move_pointer(fx + width - 3 - title_height // 2, fy + title_height // 2)
        self.xdotool("click", 1)

    def click(self, wid, x, y, button=1, modifiers=None):
        """A real press and release at (x, y) of the window's client area."""
        self.point_at(wid, x, y)
        if modifiers:
            self.xdotool("keydown", modifiers)
        self.xdotool("click", button)
        if modifiers:
            self.xdotool("keyup", modifiers)

    def press(self, wid, x, y, button=1):
        self.point_at(wid, x, y)
        self.xdotool("mousedown", button)

    def move(self, wid, x, y):
        ox, oy = self.client_origin(wid)
        self._move_pointer(ox + x, oy + y)

    def release(self, button=1):
        self.xdotool("mouseup", button)

    def key(self, *keys):
        """Key chords (xdotool names: 'Return', 'ctrl+Insert') to the focused window."""
        self.xdotool("key", "--delay", 30, *keys)

    def type(self, text):
        self.xdotool("type", "--delay", 15, text)

    # -- the clipboard as another client sees it ----------------------------

    def clipboard(self):
        done = subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"],
                              env=self.tool_env(), capture_output=True, timeout=TIMEOUT)
        return done.stdout.decode("utf-8") if done.returncode == 0 else None

    def own_clipboard(self, text):
        """Another X client (xclip) takes the CLIPBOARD with `text`; it keeps
        serving it until the session ends or someone else takes it."""
        proc = subprocess.Popen(["xclip", "-i", "-quiet", "-selection", "clipboard"],
                                env=self.tool_env(), stdin=subprocess.PIPE,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        proc.stdin.write(text.encode("utf-8"))
        proc.stdin.close()
        self._children.append(("xclip", proc))
        poll(lambda: self.clipboard() == text, what="xclip to own the clipboard")

    def grab(self, wid):
        """The window's pixels as the screen shows them."""
        done = subprocess.run(["import", "-window", str(wid), "-depth", "8", "ppm:-"],
                              env=self.tool_env(), capture_output=True, timeout=TIMEOUT)
        if done.returncode != 0:
            raise E2EError("import failed: " + done.stderr.decode(errors="replace"))
        return Pixmap(done.stdout)

    def screenshot(self, path):
        self.run(["import", "-window", "root", path])
        return path


def end_process(proc, grace=5.0):
    """Ends a child the tests started: SIGTERM, then SIGKILL."""
    if proc.poll() is None:
        try:
            proc.send_signal(signal.SIGTERM)
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(grace)
        except ProcessLookupError:
            pass


class Pixmap:
    """A binary PPM (P6) as `import` writes it."""

    def __init__(self, data):
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) > 255:
            raise E2EError("unexpected picture format from import")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def luminance(self, x, y, radius=1):
        """Mean brightness (0..255) of the small square around (x, y)."""
        values = [sum(self.pixel(x + dx, y + dy)) / 3
                  for dx in range(-radius, radius + 1) for dy in range(-radius, radius + 1)]
        return sum(values) / len(values)
