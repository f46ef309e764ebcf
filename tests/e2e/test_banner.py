"""The banner strip against a server on 127.0.0.1: the request follows
"Keine Werbung", a link goes to the browser, and hostile answers neither
freeze the window nor blow up the process."""

import functools
import time

import pytest

from banner_server import ENDLESS, PAGE_PATH, BannerServer, html, png
from marvesk import BANNER_HEIGHT, settings_lines
from xsession import E2EError, poll

RSS_LIMIT_MB = 150


@pytest.fixture
def serve():
    servers = []

    def start(routes):
        server = BannerServer(routes)
        servers.append(server)
        return server

    yield start
    for s in servers:
        s.close()


@pytest.mark.parametrize("banner", [True, False], ids=["banner on", "Keine Werbung"])
def test_banner_request_follows_the_switch(launch, serve, banner):
    server = serve({PAGE_PATH: ("text/html", html("Werbung"))})
    app = launch(settings=settings_lines(hide_banner=not banner), banner_port=server.port)
    app.answers()  # the start-up is over, the first page was asked for if at all
    if banner:
        poll(lambda: server.requests, what="the banner page to be asked for")
    assert server.requests == ([PAGE_PATH] if banner else [])


GREEN = (0, 255, 0)


def test_banner_link_opens_in_the_browser(launch, serve):
    link = "/Marvesk/Neuigkeiten.html"
    page = html('<table width="100%" height="34" bgcolor="#00ff00"><tr><td>'
                f'<a href="{link}"><font size="6">' + "Neuigkeiten " * 30 +
                "</font></a></td></tr></table>")
    server = serve({PAGE_PATH: ("text/html", page)})
    app = launch(settings=settings_lines(hide_banner=False), banner_port=server.port)
    w, h = app.x.size(app.wid)

    def green_rows():
        shot = app.x.grab(app.wid)
        return [y for y in range(h - BANNER_HEIGHT, h)
                if any(shot.pixel(x, y) == GREEN for x in range(w // 4, 3 * w // 4, 8))]
    # Once the page is shown, its link text runs across the middle of the
    # green.
    rows = poll(green_rows, what="the banner page on the screen")
    app.x.click(app.wid, w // 2, (rows[0] + rows[-1]) // 2)
    calls = poll(app.calls, what="the browser to be started")
    assert calls == [["xdg-open", f"http://127.0.0.1:{server.port}{link}"]]


@functools.lru_cache(maxsize=None)
def big_png():
    return png(4096, 4096)


def big_images_page():
    tag = '<img src="/img/big.png" width="4096" height="4096">'
    return {PAGE_PATH: ("text/html", html(tag * 4000)),
            "/img/big.png": ("image/png", big_png())}


def small_images_page():
    return {PAGE_PATH: ("text/html", html('<img src="/img/small.png">' * 5000)),
            "/img/small.png": ("image/png", png(2, 2))}


def sixteen_big_pictures():
    routes = {PAGE_PATH: ("text/html",
                          html("".join(f'<img src="/img/b{i}.png">' for i in range(16))))}
    routes.update({f"/img/b{i}.png": ("image/png", big_png()) for i in range(16)})
    return routes


def endless_page():
    return {PAGE_PATH: ENDLESS}


HOSTILE = [
    # the server's answers, how long the window is watched (s)
    ("4000 images declared 4096 pixels", big_images_page, 8),
    ("5000 small unsized images", small_images_page, 8),
    ("16 pictures of 4096 x 4096 pixels", sixteen_big_pictures, 8),
    ("an endless chunked page", endless_page, 14),
]


@pytest.mark.parametrize("name,routes,watch", HOSTILE, ids=[h[0] for h in HOSTILE])
def test_hostile_banner_server(launch, serve, name, routes, watch):
    """While the page comes, the window keeps answering (Info opens within a
    few seconds, again and again), the process stays under 150 MB, and
    SIGTERM still ends it."""
    server = serve(routes())
    app = launch(settings=settings_lines(hide_banner=False), banner_port=server.port)
    poll(lambda: PAGE_PATH in server.requests, what="the banner page to be asked for")
    problems = []
    peak = app.rss_mb()
    end = time.monotonic() + watch
    while time.monotonic() < end:
        try:
            app.answers(timeout=5)
        except E2EError as e:
            problems.append(f"the window stopped answering: {e}")
            break
        peak = max(peak, app.rss_mb())
    peak = max(peak, app.rss_mb())
    if peak >= RSS_LIMIT_MB:
        problems.append(f"the process grew to {peak:.0f} MB")
    app.signal()
    try:
        app.wait_exit(5)
    except E2EError:
        problems.append("SIGTERM did not end it within 5 s")
    assert not problems, "; ".join(problems)
