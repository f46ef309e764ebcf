"""Marvesk as a person meets it: a copy of the built program in a folder of
its own (so its settings file lives beside it), a private HOME, and the
window's controls at the places the window's layout gives them.

Coordinates are window client coordinates. The button bar plMenu is 32
pixels high at the bottom, above the 34-pixel banner strip while that is
shown; the controls inside the bar, the range panel and the info window have
fixed geometry.
"""

import os
import shutil
import signal
import stat
import subprocess

from xsession import TIMEOUT, E2EError, end_process, poll

MAIN_TITLE = "Marvesk"
# The main window's title once a file is loaded: "name.csv – Marvesk", with
# a "*" after the name while the table has unsaved changes.
MAIN_TITLE_PATTERN = "^(.+ – )?Marvesk$"
ABOUT_TITLE = " About"
INFO_TITLE = "Informationen"
WARNING_TITLE = "Warnung"
OPEN_TITLE = "Öffnen"
SAVE_TITLE = "Speichern unter"
WINDOW_CLASS = "Marvesk"  # WM_CLASS of every window of the program
CLIPBOARD_SENTINEL = "(held by another program)"

BAR_HEIGHT = 32
BANNER_HEIGHT = 34

# Centres of the button bar's controls, relative to the bar.
BAR = {
    "edBreite": (180, 15),
    "edSuchen": (249, 15),
    "sbSuchen": (336, 16),
    "sbLaden_TXT": (408, 16),
    "tbRow_Col": (446 + 35, 2 + 2 + 12),  # inside ToolBar1
    "sbLoeschen": (558, 16),
    "sbExcel": (635, 16),
    "sbSpeichern": (714, 16),
    "sbAbout": (794, 16),
    "sbExit": (866, 16),
}

# The range panel plLoeschen at (472, 128) of the window; radio buttons are
# hit on their indicator, at the left of the button.
PANEL_ORIGIN = (472, 128)
PANEL = {
    "rbSpalte": (10 + 7, 7 + 8),
    "rbZeile": (10 + 7, 24 + 8),
    "rbAlles": (91 - 1 + 7, 10 - 2 + 8),  # in Panel1 at (91, 10)
    "rbInhalt": (91 - 1 + 7, 10 + 13 + 8),
    "edAb": (35 + 36, 46 + 10),
    "edBis": (35 + 36, 73 + 10),
    "rbAb": (112 + 1 + 7, 46 + 3 + 8),  # in Panel2 at (112, 46)
    "rbBis": (112 + 1 + 7, 46 + 29 + 8),
    "sbOK": (4 + 35, 105 + 12),
    "sbLoesch_Exit": (78 + 35, 105 + 12),
    "free": (140, 70),  # the panel's own area, where a drag starts
}

# The info window: Panel1 at (19, 18) holds all but the two buttons.
ABOUT = {
    "Label3": (19 + 322 + 12, 18 + 50 + 10),
    "cbKeineWerb": (19 + 95 + 8, 18 + 133 + 8),
    "cbRC_Verschieben": (19 + 15 + 8, 18 + 157 + 8),
    "cbTrennzeichen": (19 + 99 + 30, 18 + 180 + 10),
    "cbTrennzeichen_arrow": (19 + 99 + 110 - 8, 18 + 180 + 10),
    "edTrennzeichen": (19 + 214 + 12, 18 + 180 + 10),
    "cbTrZAutom": (19 + 214 + 8, 18 + 182 + 8),
    "lbMail2": (19 + 16 + 12, 18 + 207 + 7),
    "sbDesktop": (171 + 45, 280 + 12),
    "OKButton": (287 + 45, 280 + 12),
}
SEPARATOR_CHOICES = ["Tab", "Semikolon", "Komma", "Leerzeichen", "Anderes"]

# Grid geometry: header row 20 pixels, rows 20, data columns 80 by default,
# one pixel of frame. The row-number column's width is read off the screen.
GRID_FRAME = 1
HEADER_HEIGHT = 20
ROW_HEIGHT = 20
COL_WIDTH = 80


def settings_lines(last_dir="", hide_banner=True, allow_move=True, choice="Semikolon",
                   other=" ", open_index=2, save_index=2, auto=True, quoted=False):
    """The nine lines of the settings file."""
    return [last_dir, "1" if hide_banner else "0", "1" if allow_move else "0", choice, other,
            str(open_index), str(save_index), "1" if auto else "", "1" if quoted else ""]


def write_table(path, rows, sep=";"):
    with open(path, "w", encoding="utf-8", newline="") as f:
        for row in rows:
            f.write(sep.join(row) + "\r\n")
    return path


def read_saved(path, sep="\t"):
    """A file the program wrote: rows of cells, each line ending with the
    separator and CR LF."""
    with open(path, "rb") as f:
        data = f.read().decode("utf-8")
    rows = []
    for line in data.split("\r\n")[:-1]:
        assert line.endswith(sep) or line == "", f"line without its end separator: {line!r}"
        rows.append(line[:-1].split(sep) if line else [])
    assert data.endswith("\r\n") or data == "", "the last line has no CR LF"
    return rows


FAKE_TOOL = """#!/bin/sh
# Stands in for a desktop program: records how Marvesk called it.
{{
  printf '%s' "$(basename "$0")"
  for a in "$@"; do printf '\\t%s' "$a"; done
  printf '\\n'
}} >> "{log}"
"""


class Marvesk:
    """One run of the program on the session's display."""

    def __init__(self, x, root, binary, settings=None, args=(), env=None, cwd=None,
                 banner_port=None):
        self.x = x
        self.root = str(root)
        self.prog_dir = os.path.join(self.root, "prog")
        self.home = os.path.join(self.root, "home")
        self.fakebin = os.path.join(self.root, "fakebin")
        self.calls_log = os.path.join(self.root, "calls.log")
        for d in (self.prog_dir, self.home, self.fakebin):
            os.makedirs(d, exist_ok=True)
        self.program = os.path.join(self.prog_dir, "Marvesk")
        shutil.copy2(binary, self.program)
        self.settings_path = os.path.join(self.prog_dir, "Einstel_QZR.FRB")
        if settings is not None:
            self.write_settings(settings)
        for tool in ("xdg-open", "localc"):
            path = os.path.join(self.fakebin, tool)
            with open(path, "w") as f:
                f.write(FAKE_TOOL.format(log=self.calls_log))
            os.chmod(path, 0o755)
        self.banner_shown = settings is None or settings[1] != "1"
        self.args = list(args)
        self.cwd = cwd or self.root
        self.extra_env = dict(env or {})
        self.banner_port = banner_port
        self.proc = None
        self.wid = None
        self.log_path = os.path.join(self.root, "marvesk.log")

    # -- process --------------------------------------------------------------

    def environment(self):
        runtime = os.path.join(self.root, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = {
            "PATH": self.fakebin + ":/usr/local/bin:/usr/bin:/bin",
            "HOME": self.home,
            "XDG_RUNTIME_DIR": runtime,
            "LANG": "C.UTF-8",
            "QT_QPA_PLATFORM": "xcb",
            "NO_AT_BRIDGE": "1",
            "MARVESK_BANNER_HOST": f"127.0.0.1:{self.banner_port}",
        }
        # A desktop's theme, when the suite is run under one on purpose.
        for name in ("QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "GTK_THEME"):
            if name in os.environ:
                env[name] = os.environ[name]
        env.update(self.x.env)
        env.update(self.extra_env)
        return {k: v for k, v in env.items() if v is not None}

    def start(self, preexec_fn=None):
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen([self.program, *self.args], cwd=self.cwd,
                                         env=self.environment(), stdout=log, stderr=log,
                                         preexec_fn=preexec_fn, start_new_session=True)
        return self

    def state(self):
        """What the process is doing, for a failure's message."""
        code = self.proc.poll()
        if code is not None:
            return f"the program ended with {code}"
        try:
            with open(f"/proc/{self.proc.pid}/wchan") as f:
                wchan = f.read().strip()
            with open(f"/proc/{self.proc.pid}/syscall") as f:
                syscall = f.read().split()[0]
        except OSError:
            return "the program runs"
        doing = ("busy on the processor" if syscall == "running"
                 else f"in system call {syscall}, waiting in {wchan}")
        return f"the program runs ({doing}); its windows: {self.x.titles(self.proc.pid)}"

    def wait_main(self, timeout=TIMEOUT):
        """The main window, mapped and holding the keyboard."""
        try:
            self.wid = self.x.wait_window(MAIN_TITLE, self.proc.pid, timeout=timeout,
                                          pattern=MAIN_TITLE_PATTERN)
            self.x.wait_focus(self.wid, timeout=timeout)
        except E2EError as e:
            raise E2EError(f"{e}; {self.state()}") from None
        return self.wid

    def wait_exit(self, timeout=TIMEOUT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2EError(f"the program still runs {timeout:.0f} s later") from None

    def signal(self, sig=signal.SIGTERM):
        self.proc.send_signal(sig)

    def rss_mb(self):
        with open(f"/proc/{self.proc.pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
        return 0.0

    def stop(self):
        if self.proc is not None:
            end_process(self.proc)

    # -- settings and outside programs ---------------------------------------

    def write_settings(self, lines):
        with open(self.settings_path, "wb") as f:
            f.write("".join(line + "\r\n" for line in lines).encode("utf-8"))

    def read_settings(self):
        with open(self.settings_path, "rb") as f:
            data = f.read().decode("utf-8")
        assert data.endswith("\r\n"), f"settings file without CR LF at its end: {data!r}"
        return data[:-2].split("\r\n")

    def calls(self):
        """What the stand-in desktop programs were called with: lists of
        [program, arg1, ...]."""
        try:
            with open(self.calls_log) as f:
                return [line.rstrip("\n").split("\t") for line in f]
        except FileNotFoundError:
            return []

    # -- places in the window ---------------------------------------------------

    def bar_top(self):
        _, h = self.x.size(self.wid)
        return h - BAR_HEIGHT - (BANNER_HEIGHT if self.banner_shown else 0)

    def click_bar(self, name, button=1):
        bx, by = BAR[name]
        self.x.click(self.wid, bx, self.bar_top() + by, button)

    def click_panel(self, name, button=1, origin=PANEL_ORIGIN):
        px, py = PANEL[name]
        self.x.click(self.wid, origin[0] + px, origin[1] + py, button)

    def data_left(self):
        """Where the first data column starts: the row-number column is one
        flat fill that ends at a grid line (its width follows the view and
        the numbers it holds)."""
        y = GRID_FRAME + HEADER_HEIGHT + 1  # just below the line of row 1's top

        def measure():
            shot = self.x.grab(self.wid)
            fill = shot.pixel(GRID_FRAME, y)
            x = GRID_FRAME
            while x < shot.width // 2 and shot.pixel(x, y) == fill:
                x += 1
            return x + 1 if GRID_FRAME + 8 < x < shot.width // 2 else None
        return poll(measure, what="the grid on the screen")

    def cell_xy(self, col, row, col_width=COL_WIDTH):
        x0 = self.data_left()
        y0 = GRID_FRAME + HEADER_HEIGHT
        return x0 + (col - 1) * col_width + col_width // 2, y0 + (row - 1) * ROW_HEIGHT + 10

    def click_cell(self, col, row, button=1, modifiers=None, col_width=COL_WIDTH):
        cx, cy = self.cell_xy(col, row, col_width)
        self.x.click(self.wid, cx, cy, button, modifiers)

    # -- dialogs and message boxes -------------------------------------------

    def wait_dialog(self, title, timeout=TIMEOUT):
        """A window of this program titled `title`, with the keyboard."""
        try:
            wid = self.x.wait_window(title, self.proc.pid, timeout=timeout)
            self.x.wait_focus(wid, timeout=timeout)
        except E2EError as e:
            raise E2EError(f"{e}; {self.state()}") from None
        return wid

    def answer(self, title, keys, timeout=TIMEOUT):
        """Waits for the message box `title` and answers it with keys
        ('Return' presses the default button; 'alt+j' is &Ja, 'alt+n' &Nein)."""
        wid = self.wait_dialog(title, timeout=timeout)
        self.x.key(keys)
        self.x.wait_no_window(title, self.proc.pid)
        return wid

    def back_to_main(self):
        self.x.wait_focus(self.wid)

    def file_dialog(self, title, path):
        """Puts the path into the file name field of Qt's file dialog and
        presses Return. The path is pasted from another program, not typed:
        typing opens the field's completion list now and then, and a Return
        that meets that list only closes it."""
        self.wait_dialog(title)
        field = None
        for _ in range(3):
            self.x.own_clipboard(path)
            self.x.key("ctrl+a", "ctrl+v")
            # Keys pressed while the dialog is still settling can get lost;
            # the field's text tells, and the keys go again.
            try:
                field = self.clipboard_after("ctrl+a", "ctrl+c", timeout=10)
            except E2EError:
                continue
            if field == path:
                break
        else:
            raise E2EError(f"the file name field holds {field!r}, not {path!r}")
        self.x.key("Return")
        self.x.wait_no_window(title, self.proc.pid)

    def bar_shown(self):
        """Whether the button bar shows: the Exit button's icon and name give
        the spot around it many shades; the progress bar and status texts
        that stand in the bar's place while a file is read give a few."""
        shot = self.x.grab(self.wid)
        bx, by = BAR["sbExit"]
        top = self.bar_top()
        return len({shot.pixel(bx + dx, top + by + dy) for dx in range(-8, 9, 2)
                    for dy in range(-6, 7, 2)}) >= 10

    def load(self, path):
        """Laden of a file that loads; returns once the load is over. The bar
        is hidden while the file is read, and a click meant for it then goes
        nowhere."""
        self.click_bar("sbLaden_TXT")
        self.file_dialog(OPEN_TITLE, path)
        self.banner_shown = False  # the strip hides after every use of Laden
        self.back_to_main()
        poll(self.bar_shown, what="the button bar after the load")

    def save(self, path, button=1):
        """Speichern with the given mouse button; waits for the written file."""
        self.click_bar("sbSpeichern", button)
        self.file_dialog(SAVE_TITLE, path)
        poll(lambda: os.path.exists(path), what=f"the saved file {path}")
        self.back_to_main()
        # The file is there a moment before the bar is back.
        poll(self.bar_shown, what="the button bar after the save")
        return path

    def open_about(self):
        self.click_bar("sbAbout")
        return self.wait_dialog(ABOUT_TITLE)

    def click_about(self, about_wid, name):
        ax, ay = ABOUT[name]
        self.x.click(about_wid, ax, ay)

    def close_about(self, how="Return", timeout=TIMEOUT):
        """Closes the info window: "click OK", or a key (Return presses OK,
        Escape reverts); then the main window is back (a question may follow
        and hold the keyboard)."""
        if how == "click OK":
            self.click_about(self.x.wait_window(ABOUT_TITLE, self.proc.pid), "OKButton")
        else:
            self.x.key(how)
        self.x.wait_no_window(ABOUT_TITLE, self.proc.pid, timeout=timeout)
        self.wid = self.x.wait_window(MAIN_TITLE, self.proc.pid, pattern=MAIN_TITLE_PATTERN)

    def choose_separator(self, about_wid, choice):
        """Picks an entry of the separator box from its popup list."""
        before = self.x.visible_of_class(WINDOW_CLASS)
        self.click_about(about_wid, "cbTrennzeichen_arrow")
        # The list is a window of its own that takes the keyboard once shown.
        popup = poll(lambda: self.x.visible_of_class(WINDOW_CLASS) - before,
                     what="the list of separators")
        self.x.key("Home", *["Down"] * SEPARATOR_CHOICES.index(choice), "Return")
        poll(lambda: not popup & self.x.visible_of_class(WINDOW_CLASS),
             what="the list of separators to close")

    def clipboard_after(self, *keys, timeout=TIMEOUT):
        """Presses keys in the focused window and returns what another X
        client then reads from the CLIPBOARD. A stand-in owner holds it first,
        so the program's own copy is seen the moment it arrives."""
        self.x.own_clipboard(CLIPBOARD_SENTINEL)
        self.x.key(*keys)
        got = []

        def changed():
            got[:] = [self.x.clipboard()]
            return got[0] is not None and got[0] != CLIPBOARD_SENTINEL
        poll(changed, timeout=timeout, what="the program to fill the clipboard")
        return got[0]

    def copy_table(self):
        """The shown table as another program gets it: Ctrl+A, Ctrl+C."""
        return self.clipboard_after("ctrl+a", "ctrl+c")

    def copy_cell(self, col, row, col_width=COL_WIDTH):
        """Clicks a cell and copies it with Ctrl+C."""
        self.click_cell(col, row, col_width=col_width)
        return self.clipboard_after("ctrl+c")

    # -- the range panel --------------------------------------------------------

    def fill_panel_field(self, name, text, origin=PANEL_ORIGIN):
        self.click_panel(name, origin=origin)
        self.x.key("ctrl+a")
        self.x.type(text)

    def confirm_panel(self, origin=PANEL_ORIGIN, keys="Return"):
        """OK on the panel, and the answer to its question."""
        self.click_panel("sbOK", origin=origin)
        self.answer(INFO_TITLE, keys)
        self.back_to_main()

    def _indicator_looks(self, *names):
        """Brightness of the radio buttons' indicators as the screen shows
        them, with the pointer off them."""
        self.x.move(self.wid, PANEL_ORIGIN[0] + PANEL["free"][0], PANEL_ORIGIN[1] + 2)
        shot = self.x.grab(self.wid)
        return [shot.luminance(PANEL_ORIGIN[0] + PANEL[n][0], PANEL_ORIGIN[1] + PANEL[n][1])
                for n in names]

    def radio_reference(self):
        """The looks of rbSpalte (selected) and rbZeile (not) once the panel
        has first been painted: the reference for radio_shown, whatever the
        theme."""
        return poll(lambda: (lambda on, off: abs(on - off) > 40 and (on, off))(
            *self._indicator_looks("rbSpalte", "rbZeile")),
            what="the panel's radio buttons on the screen")

    def radio_shown(self, first, second, reference, expected, timeout=5):
        """Which of two radio buttons the screen shows selected (`first`,
        `second`, or None for neither or both), once it shows `expected` or
        the timeout has passed."""
        on, off = reference
        seen = []

        def shown():
            looks = [abs(v - on) < abs(v - off) for v in self._indicator_looks(first, second)]
            seen[:] = [{(True, False): first, (False, True): second}.get(tuple(looks))]
            return seen[0] == expected
        try:
            poll(shown, timeout=timeout, interval=0.2, what="the radio buttons")
        except E2EError:
            pass
        return seen[0]

    def answers(self, timeout=TIMEOUT):
        """Proof that the window still handles input: Info opens the info
        window within `timeout`, and Return closes it again."""
        self.click_bar("sbAbout")
        self.wait_dialog(ABOUT_TITLE, timeout=timeout)
        self.close_about("Return")
        self.back_to_main()


def make_fifo(path):
    os.mkfifo(path)
    assert stat.S_ISFIFO(os.stat(path).st_mode)
    return path
