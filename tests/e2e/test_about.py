"""The info window under real input: the separator with OK and with Esc
and the reload question, the switches, the desktop launcher written into a
private HOME, and the addresses handed to the desktop."""

import os
import re

import pytest

import table_model as tm
from marvesk import INFO_TITLE, read_saved, settings_lines, write_table
from xsession import E2EError, poll

# Loaded with "Semikolon" and no detection; each separator splits it
# differently.
LINES = ["1,2;3 4", "5,6;7 8"]


def split_table(sep):
    rows = [line.split(sep) for line in LINES]
    width = max(len(r) for r in rows)
    return [r + [""] * (width - len(r)) for r in rows]


SEPARATORS = [
    # choice picked (None: none), "Anderes" character, "Automatisch" clicked,
    # how the window closes, answer to the reload question (None: no
    # question), the separator the table then has
    ("Komma", None, False, "Return", "Return", ","),
    ("Komma", None, False, "click OK", "alt+n", ";"),
    ("Leerzeichen", None, False, "Return", "alt+j", " "),
    ("Komma", None, False, "Escape", None, ";"),
    ("Anderes", "2", False, "click OK", "Return", "2"),
    ("Anderes", "2", False, "Escape", None, ";"),  # Esc in the character field
    # Detection finds no separator of more than two fields: TAB.
    (None, None, True, "Return", "Return", "\t"),
]


@pytest.mark.parametrize("choice,other,auto,close,answer,sep", SEPARATORS)
def test_separator_and_reload_question(launch, tmp_path, choice, other, auto, close, answer,
                                       sep):
    app = launch(settings=settings_lines(choice="Semikolon", auto=False))
    path = tmp_path / "table.txt"
    path.write_bytes("".join(line + "\r\n" for line in LINES).encode())
    app.load(str(path))
    about = app.open_about()
    if choice is not None:
        app.choose_separator(about, choice)
    if other is not None:
        app.click_about(about, "edTrennzeichen")
        app.x.type(other)
    if auto:
        app.click_about(about, "cbTrZAutom")
    app.close_about(close)
    if answer is not None:
        app.answer(INFO_TITLE, answer)
    app.back_to_main()
    app.click_cell(1, 1)
    shown = app.copy_table()
    # Had a question come, it would hold the keyboard and the copy above
    # could not have happened; none may be open now either.
    questions = app.x.windows(app.proc.pid, "^" + INFO_TITLE + "$")
    assert (shown, questions) == (tm.as_tsv(split_table(sep)), [])


def test_switches_reach_the_window_and_the_settings_file(app):
    """"Keine Werbung" off brings the banner strip back (the button bar moves
    up above it); both switches are written when the program ends."""
    about = app.open_about()
    app.click_about(about, "cbKeineWerb")
    app.click_about(about, "cbRC_Verschieben")
    app.close_about("click OK")
    app.back_to_main()
    app.banner_shown = True
    app.click_bar("sbExit")  # found above the strip, or the question never comes
    app.answer(INFO_TITLE, "Return")
    app.wait_exit()
    lines = app.read_settings()
    assert (lines[1], lines[2]) == ("0", "0")


@pytest.mark.parametrize("theme", [None, "gtk3"], ids=["Qt's own", "GNOME's (gtk3)"])
def test_return_after_a_check_box_presses_ok(launch, theme):
    """The info window takes Enter for its OK button, also right after a
    check box was clicked, whichever platform theme Qt follows."""
    app = launch(env={"QT_QPA_PLATFORMTHEME": theme or ""})  # "": none, whatever the caller's
    about = app.open_about()
    app.click_about(about, "cbKeineWerb")  # banners on again
    try:
        app.close_about("Return", timeout=10)
    except E2EError:
        raise E2EError("Return left the info window open") from None
    app.signal()
    app.wait_exit()
    assert app.read_settings()[1] == "0"


@pytest.mark.parametrize("allowed", [True, False])
def test_column_drag_follows_the_switch(launch, tmp_path, allowed):
    """A column header dragged with the real mouse moves the column only
    while "Spalten und Zeilen verschieben" is on."""
    app = launch(settings=settings_lines(allow_move=allowed))
    table = tm.sample(4, 2)
    app.load(write_table(str(tmp_path / "table.csv"), table))
    x0, y = app.cell_xy(1, 1)
    y = 10  # the header row
    app.x.press(app.wid, x0, y)
    target = app.cell_xy(3, 1)[0] + 30  # the right half of column 3
    for step in range(1, 11):
        app.x.move(app.wid, x0 + (target - x0) * step // 10, y)
    app.x.release()
    saved = read_saved(app.save(str(tmp_path / "out.txt")))
    moved = [[r[1], r[2], r[0], r[3]] for r in table]
    assert saved == (moved if allowed else table)


USER_DIRS = [
    # the user-dirs file (None: none), the folder the launcher goes into
    (None, "Desktop"),
    ('XDG_DESKTOP_DIR="$HOME/Schreibtisch"\n', "Schreibtisch"),
    ('# written elsewhere\r\nXDG_DESKTOP_DIR="$HOME/Schreibtisch"\r\n'
     'XDG_MUSIC_DIR="$HOME/Musik"\r\n', "Schreibtisch"),
]


@pytest.mark.parametrize("user_dirs,folder", USER_DIRS, ids=["none", "LF", "CRLF"])
def test_desktop_launcher(app, user_dirs, folder):
    config = os.path.join(app.home, ".config")
    os.makedirs(config)
    if user_dirs is not None:
        with open(os.path.join(config, "user-dirs.dirs"), "wb") as f:
            f.write(user_dirs.encode())
    about = app.open_about()
    app.click_about(about, "sbDesktop")
    app.answer(INFO_TITLE, "Return")
    launcher = os.path.join(app.home, folder, "Marvesk 1.5.desktop")
    poll(lambda: os.path.exists(launcher), what=launcher)
    app.x.wait_focus(about)
    app.close_about("Return")
    with open(launcher) as f:
        entry = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
    folders = sorted(n for n in os.listdir(app.home) if not n.startswith("."))
    assert (folders, entry["Exec"], entry["Path"].rstrip("/"), entry["Name"]) == (
        [folder], app.program, app.prog_dir, "Marvesk 1.5")
    assert os.access(launcher, os.X_OK)


def test_desktop_launcher_answered_no(app):
    about = app.open_about()
    app.click_about(about, "sbDesktop")
    app.answer(INFO_TITLE, "alt+n")
    app.x.wait_focus(about)
    app.close_about("Return")
    app.answers()  # the question is over and the window goes on
    assert [n for n in os.listdir(app.home) if not n.startswith(".")] == []


def test_links_hand_the_addresses_to_the_desktop(app):
    about = app.open_about()
    app.click_about(about, "lbMail2")
    app.click_about(about, "Label3")
    calls = poll(lambda: len(app.calls()) >= 2 and app.calls(), what="xdg-open twice")
    app.close_about("Return")
    mail = os.environ.get("MARVESK_AUTHOR_MAIL")
    host = os.environ.get("MARVESK_WEB_HOST")
    assert [c[0] for c in calls] == ["xdg-open", "xdg-open"]
    assert re.fullmatch(r"MailTo:" + (re.escape(mail) if mail else r"\S+@\S+"), calls[0][1])
    assert re.fullmatch(r"http://" + (re.escape(host) if host else r"[\w.-]+"), calls[1][1])


def test_excel_hands_the_chosen_file_to_the_spreadsheet(app, tmp_path):
    path = write_table(str(tmp_path / "eine Tabelle.csv"), tm.sample(2, 2))
    app.click_bar("sbExcel")
    app.file_dialog("Öffnen", path)
    calls = poll(app.calls, what="the spreadsheet program to be started")
    assert calls == [["localc", path]]
    app.answers()
