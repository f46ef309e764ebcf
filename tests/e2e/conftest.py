"""Fixtures: a fresh X display per scenario and the program started in it."""

import os
import socket

import pytest

from marvesk import Marvesk, settings_lines
from xsession import XSession

HERE = os.path.dirname(os.path.abspath(__file__))


@pytest.fixture(scope="session")
def binary():
    path = os.environ.get("MARVESK_BINARY") or os.path.join(HERE, "..", "..", "build", "Marvesk")
    path = os.path.abspath(path)
    if not os.access(path, os.X_OK):
        pytest.fail(f"no built program at {path}; build first or set MARVESK_BINARY")
    return path


@pytest.fixture
def x(tmp_path):
    session = XSession(str(tmp_path))
    yield session
    session.close()


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    """A failed scenario leaves the screen as it was then, before the
    program is ended."""
    outcome = yield
    rep = outcome.get_result()
    session = item.funcargs.get("x") if hasattr(item, "funcargs") else None
    if rep.when == "call" and rep.failed and session is not None:
        path = os.path.join(session.workdir, "failure.png")
        try:
            session.screenshot(path)
            rep.sections.append(("screen", f"the screen at the failure: {path}"))
        except Exception as e:  # the screen is a help, not the verdict
            rep.sections.append(("screen", f"no screenshot: {e}"))


@pytest.fixture
def closed_port():
    """A port on 127.0.0.1 that refuses connections: bound here, never
    listening, so no one else takes it while the scenario runs."""
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind(("127.0.0.1", 0))
    yield s.getsockname()[1]
    s.close()


@pytest.fixture
def launch(x, tmp_path, binary, closed_port):
    """Starts the program: launch(settings=..., args=..., env=...) returns a
    Marvesk whose main window is up and focused (unless wait=False)."""
    runs = []

    def start(settings=settings_lines(), args=(), env=None, cwd=None, banner_port=None,
              wait=True, preexec_fn=None, root=None, before_start=None):
        app = Marvesk(x, root or tmp_path / f"run{len(runs)}", binary, settings=settings,
                      args=args, env=env, cwd=cwd,
                      banner_port=banner_port if banner_port is not None else closed_port)
        runs.append(app)
        if before_start:
            before_start(app)
        app.start(preexec_fn=preexec_fn)
        if wait:
            app.wait_main()
        return app

    yield start
    for app in runs:
        app.stop()


@pytest.fixture
def app(launch):
    """The program with banners off and the default settings otherwise."""
    return launch()
