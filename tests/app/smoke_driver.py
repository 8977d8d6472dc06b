#!/usr/bin/env python3
"""Drives the real program under X: key presses through the X test extension (ctypes, no extra
modules), the log file read as the program writes it."""
import ctypes
import functools
import ctypes.util
import os
import shutil
import struct
import subprocess
import sys
import time


print = functools.partial(print, flush=True)


def write_preferences(path, log_file):
    def record(name, kind, data):
        raw = name.encode("utf-16-le")
        return raw + bytes(512 - len(raw)) + struct.pack("<II", kind, len(data)) + data

    def text(value):
        return value.encode("utf-16-le") + b"\0\0"

    body = b"".join([
        record("DefaultOutputFolder", 1, text("")),
        record("LogFileName", 1, text(log_file)),
        record("UseDefaultFolder", 0, b"\0"),
        record("IsSaveLog", 0, b"\1"),
        record("DrawParameters", 0, bytes(168)),
        record("OverlapSecs", 2, struct.pack("<i", 0)),
        record("Overlap", 0, b"\0"),
    ])
    with open(path, "wb") as out:
        out.write(body)


class Keyboard:
    def __init__(self):
        x11 = ctypes.util.find_library("X11")
        xtst = ctypes.util.find_library("Xtst")
        if not x11 or not xtst:
            print("smoke: libX11 or libXtst missing")
            sys.exit(77)
        self.x = ctypes.CDLL(x11)
        self.t = ctypes.CDLL(xtst)
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XStringToKeysym.restype = ctypes.c_ulong
        self.x.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.t.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.x.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            print("smoke: no X display")
            sys.exit(1)

    def code(self, name):
        return self.x.XKeysymToKeycode(self.display, self.x.XStringToKeysym(name.encode()))

    def focus(self, window):
        # Without a window manager nobody gives the window the focus: take it there.
        self.x.XSetInputFocus(self.display, window, 2, 0)
        self.x.XFlush(self.display)
        time.sleep(0.3)

    def press(self, *names):
        codes = [self.code(n) for n in names]
        for c in codes:
            self.t.XTestFakeKeyEvent(self.display, c, True, 0)
        for c in reversed(codes):
            self.t.XTestFakeKeyEvent(self.display, c, False, 0)
        self.x.XFlush(self.display)
        time.sleep(0.25)


def read_log(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def wait_for(predicate, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


def run(program, log_file, mp3, prefs):
    started = time.time()
    proc = subprocess.Popen([program, "--ignored-argument", mp3], stderr=subprocess.PIPE, text=True)
    line = proc.stderr.readline()
    while line and " shown at " not in line:
        line = proc.stderr.readline()
    if not line:
        print("smoke: the window was never shown")
        return 1
    shown_ms = int(line.split()[-1]) - started * 1000
    window = int(line.split()[2], 16)
    print(f"smoke: start-up to a shown window {shown_ms:.0f} ms")
    time.sleep(0.5)
    if prefs and os.path.exists(prefs):
        os.utime(prefs, (0, 0))

    # The caption the window manager shows is the title alone, with nothing appended.
    if shutil.which("xprop"):
        caption = subprocess.run(["xprop", "-id", str(window), "_NET_WM_NAME"], capture_output=True,
                                 text=True).stdout.strip()
        if caption != '_NET_WM_NAME(UTF8_STRING) = "Kerfline 4.0"':
            print("smoke: window caption is", caption)
            proc.kill()
            return 1

    keys = Keyboard()
    keys.focus(window)
    # File menu, down to "Open Recent List ...", into the submenu, the first entry.
    keys.press("Alt_L", "f")
    keys.press("Down")
    keys.press("Right")
    keys.press("Return")

    expected = [
        f"Loading MP3 file - {mp3} ...",
        "MP3 file basic info: ",
        "MP3 file has been loaded successfully!",
    ]

    def text():
        data = read_log(log_file)
        return data[2:].decode("utf-16-le", errors="replace") if data[:2] == b"\xff\xfe" else ""

    ok = wait_for(lambda: expected[-1] in text(), 20)
    content = text()
    failures = [e for e in expected if e not in content]
    if not ok or failures:
        print("smoke: missing in the log file:", failures)
        print(content)
    if not read_log(log_file).startswith(b"\xff\xfe"):
        failures.append("byte order mark")

    # File menu, "E&xit". "E&xport Break Points ..." above it shares the mnemonic, so the first x
    # only highlights that item, the second highlights Exit, and Return chooses it.
    keys.press("Alt_L", "f")
    keys.press("x")
    keys.press("x")
    keys.press("Return")
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
        print("smoke: the window did not close")
        return 1
    if not os.path.exists(prefs) or os.path.getmtime(prefs) < 1:
        print("smoke: preferences.dat not written at exit")
        return 1
    if failures:
        return 1
    print("smoke: ok; log:\n" + content)
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "write-preferences":
        write_preferences(sys.argv[2], sys.argv[3])
        sys.exit(0)
    sys.exit(run(*sys.argv[2:6]))
