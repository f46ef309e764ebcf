"""The real process: its command line, a FIFO, signals, the ways it is
closed, and its settings file beside the program."""

import os
import resource
import shutil
import signal
import stat
import tempfile

import pytest

import table_model as tm
from marvesk import INFO_TITLE, OPEN_TITLE, WARNING_TITLE, make_fifo, settings_lines, write_table
from xsession import E2EError

TABLE = tm.sample(3, 2)


@pytest.mark.parametrize("where", ["relative", "absolute with blanks"])
def test_file_on_the_command_line(launch, tmp_path, where):
    folder = tmp_path / "Meine Daten"
    folder.mkdir()
    path = write_table(str(folder / "eine Tabelle.csv"), TABLE)
    arg = os.path.join("Meine Daten", "eine Tabelle.csv") if where == "relative" else path
    app = launch(args=[arg], cwd=str(tmp_path))
    app.click_cell(1, 1)
    assert app.copy_table() == tm.as_tsv(TABLE)


def test_missing_file_on_the_command_line_warns(launch, tmp_path):
    app = launch(args=[str(tmp_path / "fehlt.csv")], wait=False)
    app.answer(WARNING_TITLE, "Return")
    app.wait_main()
    app.answers()


def end_by_sigterm(app, within=5):
    app.signal(signal.SIGTERM)
    return app.wait_exit(within)


def test_fifo_on_the_command_line(launch, tmp_path):
    """A FIFO that no one writes to: the window comes up and answers, warns
    that the file cannot be read, and SIGTERM ends the program."""
    fifo = make_fifo(str(tmp_path / "pipe"))
    app = launch(args=[fifo], wait=False)
    app.answer(WARNING_TITLE, "Return", timeout=15)
    app.wait_main()
    app.answers()
    assert end_by_sigterm(app) == 0


def test_fifo_chosen_in_the_load_dialog(app, tmp_path):
    fifo = make_fifo(str(tmp_path / "pipe"))
    app.click_bar("sbLaden_TXT")
    app.file_dialog(OPEN_TITLE, fifo)
    app.answer(WARNING_TITLE, "Return", timeout=15)
    app.back_to_main()
    app.answers()
    assert end_by_sigterm(app) == 0


def settings_after_a_load_from(folder):
    """The settings file a run writes that only loaded a file from `folder`."""
    return settings_lines(last_dir=folder)


@pytest.mark.parametrize("sig", [signal.SIGTERM, signal.SIGINT], ids=["SIGTERM", "SIGINT"])
def test_signal_closes_like_the_close_box(app, tmp_path, sig):
    app.load(write_table(str(tmp_path / "table.csv"), TABLE))
    app.signal(sig)
    assert (app.wait_exit(), app.read_settings()) == (0, settings_after_a_load_from(str(tmp_path)))


def open_exit_question(app):
    app.click_bar("sbExit")
    app.wait_dialog(INFO_TITLE)


def open_load_dialog(app):
    app.click_bar("sbLaden_TXT")
    app.wait_dialog(OPEN_TITLE)


OPEN_WINDOWS = {
    "the Exit question": open_exit_question,
    "the Laden dialog": open_load_dialog,
    "the info window": lambda app: app.open_about(),
}


@pytest.mark.parametrize("window", list(OPEN_WINDOWS))
def test_sigterm_while_a_window_is_open(app, window):
    """At logout the program gets SIGTERM whatever it shows: it ends, and
    does not come back when the open window is closed."""
    OPEN_WINDOWS[window](app)
    app.signal(signal.SIGTERM)
    try:
        code = app.wait_exit(10)
    except E2EError:
        raise E2EError(f"SIGTERM did not end the program; {app.state()}") from None
    assert code == 0


def close_by_exit(app):
    app.click_bar("sbExit")
    app.answer(INFO_TITLE, "Return")


def close_by_exit_after_no(app):
    app.click_bar("sbExit")
    app.answer(INFO_TITLE, "alt+n")
    app.back_to_main()
    app.answers()  # "Nein" keeps the program going
    app.click_bar("sbExit")
    app.answer(INFO_TITLE, "alt+j")


def close_by_close_box(app):
    app.x.click_close_box(app.wid)


CLOSES = {
    "Exit, Ja": close_by_exit,
    "Exit, Nein, then Exit, Ja": close_by_exit_after_no,
    "close box": close_by_close_box,
}


@pytest.mark.parametrize("how", list(CLOSES))
def test_close_writes_the_settings(app, tmp_path, how):
    app.load(write_table(str(tmp_path / "table.csv"), TABLE))
    CLOSES[how](app)
    assert (app.wait_exit(), app.read_settings()) == (0, settings_after_a_load_from(str(tmp_path)))


def settings_disk_full():
    """In the program's process: files may not grow beyond a few bytes, and
    a write past that fails with EFBIG instead of killing the process, as a
    full disk makes writes fail."""
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (16, 16))


def close_by_sigterm(app):
    app.signal(signal.SIGTERM)


FAILING_CLOSES = {"Exit, Ja": close_by_exit, "close box": close_by_close_box,
                  "SIGTERM": close_by_sigterm}


@pytest.mark.parametrize("how", list(FAILING_CLOSES))
def test_close_while_the_settings_cannot_be_written(launch, how):
    """Writing the settings fails part-way (the disk is full): the program
    ends all the same, and the old settings file is left as it was."""
    settings = settings_lines(last_dir="/alt")
    app = launch(settings=settings, preexec_fn=settings_disk_full)
    FAILING_CLOSES[how](app)
    try:
        code = app.wait_exit(10)
    except E2EError:
        raise E2EError(f"the program did not end; {app.state()}") from None
    assert (code, app.read_settings()) == (0, settings)


@pytest.fixture
def open_root():
    """A folder any user may enter, for a run as another user."""
    root = tempfile.mkdtemp(prefix="marvesk-e2e-")
    os.chmod(root, 0o755)
    yield root
    for dirpath, dirnames, _ in os.walk(root):
        for d in dirnames:
            os.chmod(os.path.join(dirpath, d), 0o755)
    shutil.rmtree(root, ignore_errors=True)


def test_close_with_the_program_folder_read_only(launch, open_root):
    """The settings file beside the program, in a folder the user may not
    write: the program closes at once and leaves the file alone. (Root may
    write anywhere, so a root run becomes nobody for the program.)"""
    nobody = 65534 if os.geteuid() == 0 else None

    def as_user():
        if nobody is not None:
            os.setgroups([])
            os.setgid(nobody)
            os.setuid(nobody)

    def read_only(app):
        os.chmod(app.prog_dir, 0o555)
        if nobody is not None:
            for path in (app.home, os.path.join(app.root, "runtime")):
                os.makedirs(path, exist_ok=True)
                os.chown(path, nobody, nobody)

    settings = settings_lines(last_dir="/alt")
    app = launch(settings=settings, root=open_root, preexec_fn=as_user, before_start=read_only)
    app.wait_main()
    close_by_exit(app)
    assert (app.wait_exit(), app.read_settings()) == (0, settings)
    assert stat.S_IMODE(os.stat(app.prog_dir).st_mode) == 0o555


def edit_a_cell(app, tmp_path):
    app.load(write_table(str(tmp_path / "table.csv"), TABLE))
    app.click_cell(1, 1)
    app.x.type("neu")
    app.x.key("Return")


def test_close_box_asks_before_unsaved_changes_go(app, tmp_path):
    edit_a_cell(app, tmp_path)
    app.x.click_close_box(app.wid)
    app.answer(INFO_TITLE, "alt+n")
    app.back_to_main()
    app.answers()  # "Nein" keeps the program and the table
    app.x.click_close_box(app.wid)
    app.answer(INFO_TITLE, "alt+j")
    assert app.wait_exit() == 0


def test_sigterm_ends_with_unsaved_changes(app, tmp_path):
    """Logout must not hang on the question the close box would ask."""
    edit_a_cell(app, tmp_path)
    app.signal(signal.SIGTERM)
    assert app.wait_exit(10) == 0
