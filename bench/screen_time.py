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
import ctypes
import ctypes.util
import os
import shutil
import statistics
import subprocess
import tempfile
import time

SETTINGS = ["", "1", "1", "Semikolon", " ", "2", "2", "1", ""]  # banners off


class Screen:
    """Reads single pixels of an X display. Through Xlib in this process
    where it can be loaded: a poll then costs some microseconds, where one
    `import` run costs some 30 ms of CPU, which a two-core machine would
    take from the program being watched."""

    def __init__(self, display):
        self.display = display
        self.x = None
        try:
            x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
            x.XOpenDisplay.restype = ctypes.c_void_p
            x.XOpenDisplay.argtypes = [ctypes.c_char_p]
            x.XDefaultRootWindow.restype = ctypes.c_ulong
            x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
            x.XGetImage.restype = ctypes.c_void_p
            x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                    ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
            x.XGetPixel.restype = ctypes.c_ulong
            x.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
            x.XCloseDisplay.argtypes = [ctypes.c_void_p]
            self.connection = None
            self.x = x
        except (OSError, AttributeError):
            self.x = None

    def pixel(self, x, y):
        if self.x is not None:
            if self.connection is None:
                self.connection = self.x.XOpenDisplay(self.display.encode())
                if not self.connection:
                    self.connection = None
                    return None
                self.root = self.x.XDefaultRootWindow(self.connection)
            image = self.x.XGetImage(self.connection, self.root, x, y, 1, 1, 0xFFFFFFFF, 2)
            if not image:
                return None
            # The 1 x 1 image is not freed: a few bytes a poll for one run.
            return "%06x" % (self.x.XGetPixel(image, 0, 0) & 0xFFFFFF)
        out = subprocess.run(["import", "-display", self.display, "-window", "root", "-crop",
                              f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                             capture_output=True, text=True).stdout
        # "0,0: (r,g,b)  #RRGGBB  srgb(...)"
        for line in out.splitlines():
            if "#" in line and line[0].isdigit():
                return line.split("#")[1][:6]
        return None

    def close(self):
        if self.x is not None and self.connection is not None:
            self.x.XCloseDisplay(self.connection)
            self.connection = None


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
        screen = Screen(display)
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
                    time.sleep(0.01)
                    continue
                x, y, h = int(geo["X"]), int(geo["Y"]), int(geo["HEIGHT"])
                # With a file: the header row's second cell; without: the
                # bar's left edge, above the banner strip.
                where = (x + 100, y + 10) if path else (x + 3, y + h - 34 - 16)
            colour = screen.pixel(*where)
            if not colour or colour.lower() == "000000":
                time.sleep(0.002)
                continue  # not painted yet
            if not path:
                seen = time.monotonic() - start  # the bar is painted
            elif painted is None:
                painted = colour  # the start view's background
            elif colour != painted:
                seen = time.monotonic() - start  # the grid's header
            time.sleep(0.002)
        screen.close()
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
