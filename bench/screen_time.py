#!/usr/bin/env python3
"""The whole program as a user meets it: `Marvesk FILE` started under its
own Xvfb until the grid is on the screen, watched in the framebuffer.

    bench/screen_time.py build/Marvesk FILE [--runs 5] [--scan SECONDS]

Each run starts a fresh Xvfb and a fresh program (copied into a temporary
folder with banners off, so the settings file lands there), and polls one
pixel of the grid's header row until it has the header colour. The start-up
alone is the same watch on the button bar without a file. The scan is one
read of the file into memory (after a warm-up read), for the ratio the goal
is put in: on screen within start-up + 3 x the scan."""

import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time

SETTINGS = ["", "1", "1", "Semikolon", " ", "2", "2", "1", ""]  # banners off


def pixel(display, x, y):
    out = subprocess.run(["import", "-display", display, "-window", "root", "-crop",
                          f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                         capture_output=True, text=True).stdout
    # "0,0: (r,g,b)  #RRGGBB  srgb(...)"
    for line in out.splitlines():
        if "#" in line and line[0].isdigit():
            return line.split("#")[1][:6]
    return None


def one_run(binary, path, display_no):
    display = f":{display_no}"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    folder = tempfile.mkdtemp(prefix="marvesk_screen_")
    try:
        time.sleep(0.5)
        program = os.path.join(folder, "Marvesk")
        shutil.copy(binary, program)
        with open(os.path.join(folder, "Einstel_QZR.FRB"), "w", newline="") as f:
            f.write("".join(line + "\r\n" for line in SETTINGS))
        env = dict(os.environ, DISPLAY=display, MARVESK_BANNER_HOST="127.0.0.1:1")
        env.pop("QT_QPA_PLATFORM", None)
        start = time.monotonic()
        proc = subprocess.Popen([program] + ([path] if path else []), env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seen = None
        where = None
        painted = None
        while time.monotonic() - start < 120 and seen is None:
            if where is None:
                out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Marvesk",
                                      "getwindowgeometry", "--shell"], env=env,
                                     capture_output=True, text=True).stdout
                geo = dict(l.split("=", 1) for l in out.splitlines() if "=" in l)
                if "X" not in geo:
                    continue
                x, y, h = int(geo["X"]), int(geo["Y"]), int(geo["HEIGHT"])
                # With a file: the header row's second cell; without: the
                # bar's left edge, above the banner strip.
                where = (x + 100, y + 10) if path else (x + 3, y + h - 34 - 16)
            colour = pixel(display, *where)
            if not colour or colour.lower() == "000000":
                continue  # not painted yet
            if not path:
                seen = time.monotonic() - start  # the bar is painted
            elif painted is None:
                painted = colour  # the start view's background
            elif colour != painted:
                seen = time.monotonic() - start  # the grid's header
        proc.terminate()
        proc.wait(10)
        return seen
    finally:
        xvfb.terminate()
        xvfb.wait(10)
        shutil.rmtree(folder, ignore_errors=True)


def scan_seconds(path):
    """One read into a buffer taken and touched beforehand, and a count of
    the line ends: the baseline of the core benchmark."""
    buf = bytearray(os.path.getsize(path))
    best = 1e9
    for _ in range(4):  # the first one warms the page cache
        t0 = time.monotonic()
        with open(path, "rb", buffering=0) as f:
            view, got = memoryview(buf), 0
            while got < len(buf):
                n = f.readinto(view[got:])
                if not n:
                    break
                got += n
        buf.count(b"\n")
        best = min(best, time.monotonic() - t0)
    return best


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("binary")
    ap.add_argument("file")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--scan", type=float,
                    help="the scan in seconds as the core benchmark measured it (its SSE2 "
                         "count is faster than this script's)")
    a = ap.parse_args()
    binary = os.path.abspath(a.binary)
    path = os.path.abspath(a.file)
    scan = a.scan or scan_seconds(path)
    startups = [one_run(binary, None, 97) for _ in range(a.runs)]
    shown = [one_run(binary, path, 97) for _ in range(a.runs)]
    if None in startups or None in shown:
        raise SystemExit(f"the window was not seen: start-up {startups}, with the file {shown}")
    s, w = statistics.median(startups), statistics.median(shown)
    print(f"scan s: {scan:.3f}")
    print(f"start-up s: {s:.3f} ({min(startups):.3f} .. {max(startups):.3f})")
    print(f"on screen s: {w:.3f} ({min(shown):.3f} .. {max(shown):.3f}, "
          f"spread {(max(shown) - min(shown)) / w * 100:.0f} %)")
    print(f"(on screen - start-up)/scan: {(w - s) / scan:.2f}")


if __name__ == "__main__":
    main()
