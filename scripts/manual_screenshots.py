#!/usr/bin/env python3
"""Drives the program under X for the manual's pictures; the X server is asked for the pixels and
they are written as PNG with the standard library alone."""
import ctypes
import ctypes.util
import os
import struct
import subprocess
import sys
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "app"))
import smoke_driver  # noqa: E402  (key presses and the log reader)


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class Screen:
    def __init__(self, keys):
        self.x = keys.x
        self.display = keys.display
        x = self.x
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XGetImage.restype = ctypes.POINTER(XImage)
        x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7
        x.XTranslateCoordinates.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                                            ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]
        x.XMoveResizeWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                        ctypes.c_uint, ctypes.c_uint]
        x.XDestroyImage = None
        self.root = x.XDefaultRootWindow(self.display)

    def click(self, left, top):
        """A left click at a point of the screen, through the X test extension."""
        t = ctypes.CDLL(ctypes.util.find_library("Xtst"))
        t.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
        t.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        t.XTestFakeMotionEvent(self.display, -1, left, top, 0)
        t.XTestFakeButtonEvent(self.display, 1, True, 0)
        t.XTestFakeButtonEvent(self.display, 1, False, 0)
        self.x.XFlush(self.display)
        time.sleep(0.5)

    def place(self, window, left, top, width, height):
        self.x.XMoveResizeWindow(self.display, window, left, top, width, height)
        self.x.XFlush(self.display)
        time.sleep(1.0)

    def rectangle(self, window):
        """The window's rectangle on the screen."""
        root, ux, uy = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_int()
        w, h, border, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        self.x.XGetGeometry(self.display, window, ctypes.byref(root), ctypes.byref(ux), ctypes.byref(uy),
                            ctypes.byref(w), ctypes.byref(h), ctypes.byref(border), ctypes.byref(depth))
        sx, sy, child = ctypes.c_int(), ctypes.c_int(), ctypes.c_ulong()
        self.x.XTranslateCoordinates(self.display, window, self.root, 0, 0, ctypes.byref(sx), ctypes.byref(sy),
                                     ctypes.byref(child))
        return sx.value, sy.value, w.value, h.value

    def save(self, path, left, top, width, height):
        image = self.x.XGetImage(self.display, self.root, left, top, width, height, 0xFFFFFFFF, 2)
        if not image or image.contents.bits_per_pixel != 32:
            raise RuntimeError("cannot read the screen")
        img = image.contents
        raw = ctypes.string_at(img.data, img.bytes_per_line * height)
        rows = []
        for y in range(height):
            line = raw[y * img.bytes_per_line:y * img.bytes_per_line + width * 4]
            rgb = bytearray(width * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
            rows.append(b"\0" + bytes(rgb))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
        with open(path, "wb") as out:
            out.write(png)
        print("wrote", path, f"{width}x{height}")


def main(program, mp3, log_file, out, cue):
    proc = subprocess.Popen([program, mp3], stderr=subprocess.PIPE, text=True)
    line = smoke_driver.wait_shown(proc)
    if not line:
        print("screenshots: the window was never shown")
        return 1
    window = int(line.split()[2], 16)
    keys = smoke_driver.Keyboard()
    screen = Screen(keys)
    if not smoke_driver.wait_for(lambda: "MP3 file has been loaded successfully!" in smoke_driver.log_text(log_file), 30):
        print("screenshots: the file did not load")
        proc.kill()
        return 1
    screen.place(window, 0, 0, 1000, 560)
    keys.focus(window)
    frame = screen.rectangle(window)

    # File menu, "Find &Silences ...": the dialog in the lower right corner, its preview in the view.
    keys.press("Alt_L", "f")
    keys.press("s")
    dialog = []
    title = "^Find silences \\.\\.\\.$"
    smoke_driver.wait_for(lambda: dialog.extend(smoke_driver.xdotool("search", "--onlyvisible", "--name", title))
                          or dialog, 10)
    if not dialog:
        print("screenshots: File, Find Silences opened no dialog")
        proc.kill()
        return 1
    _, _, width, height = screen.rectangle(int(dialog[0]))
    screen.place(int(dialog[0]), frame[0] + frame[2] - width - 20, frame[1] + frame[3] - height - 40, width, height)
    screen.save(os.path.join(out, "find-silences.png"), *frame)
    keys.focus(int(dialog[0]))
    keys.press("Escape")
    smoke_driver.wait_for(lambda: not smoke_driver.xdotool("search", "--onlyvisible", "--name", title), 5)
    keys.focus(window)

    # File menu, "Add &More Break Points ...": the dialog over the window.
    keys.press("Alt_L", "f")
    keys.press("m")
    time.sleep(1.0)
    screen.save(os.path.join(out, "more-break-points.png"), *frame)
    # OK with silence detection, the dialog's first method.
    keys.press("Return")
    if not smoke_driver.wait_for(lambda: "break point" in smoke_driver.log_text(log_file).lower(), 10):
        print("screenshots: no break point was placed")
    time.sleep(1.0)
    # A click in the first track gives the view the focus (its marks are dimmed without it) and
    # moves the play cursor there.
    screen.click(frame[0] + 90, frame[1] + 180)
    screen.save(os.path.join(out, "main-window.png"), *frame)

    # Editing: a click in the second track puts the cursor in its block, Shift+Delete removes the
    # block, which stays on screen dimmed and hatched.
    screen.click(frame[0] + 330, frame[1] + 180)
    keys.press("Shift_L", "Delete")
    if not smoke_driver.wait_for(lambda: "has been removed" in smoke_driver.log_text(log_file), 5):
        print("screenshots: Delete removed no block")
    time.sleep(0.5)
    screen.save(os.path.join(out, "editing.png"), *frame)

    # Edit menu, "&Gain ...": the removed block's neighbour, with the peak it will have.
    screen.click(frame[0] + 90, frame[1] + 180)
    keys.press("Alt_L", "e")
    keys.press("g")
    save_dialog(screen, keys, "^Gain", os.path.join(out, "gain.png"), frame)

    # File menu, "&Import Break Points ...": a CUE sheet with a track past the end of the file; the
    # question comes once the file has been read, and lists the line it skips.
    keys.focus(window)
    keys.press("Alt_L", "f")
    keys.press("i")
    time.sleep(1.5)
    smoke_driver.xdotool("type", "--delay", "20", cue)
    keys.press("Return")
    save_dialog(screen, keys, "^Import Break Points$", os.path.join(out, "import-question.png"), frame)

    # File menu, "&Preferences": the page Memory, the last one.
    keys.focus(window)
    keys.press("Alt_L", "f")
    keys.press("p")
    time.sleep(1.0)
    for _ in range(3):
        keys.press("Control_L", "Tab")
    save_dialog(screen, keys, "^Preferences$", os.path.join(out, "preferences-memory.png"), frame)

    keys.focus(window)
    smoke_driver.exit_through_menu(keys, proc)
    return 0


def dense_marks(program, mp3, bps, log_file, out):
    """A half-hour recording with 1,566 break points loaded from a file, at whole-file zoom: thin
    lines behind the wave, counts where several share a column, ticks in the overview."""
    already = len(smoke_driver.log_text(log_file))

    def text():
        return smoke_driver.log_text(log_file)[already:]

    proc = subprocess.Popen([program, mp3], stderr=subprocess.PIPE, text=True)
    line = smoke_driver.wait_shown(proc)
    if not line:
        print("screenshots: the window was never shown")
        return 1
    window = int(line.split()[2], 16)
    keys = smoke_driver.Keyboard()
    screen = Screen(keys)
    if not smoke_driver.wait_for(lambda: "MP3 file has been loaded successfully!" in text(), 60):
        print("screenshots: the long file did not load")
        proc.kill()
        return 1
    screen.place(window, 0, 0, 1000, 560)
    keys.focus(window)
    frame = screen.rectangle(window)
    keys.press("Control_L", "0")
    keys.press("Alt_L", "f")
    keys.press("l")
    dialog = smoke_driver.find_window("^Open$")
    if dialog is None:
        print("screenshots: File, Load Break Points showed no file dialog")
        proc.kill()
        return 1
    keys.focus(dialog)
    smoke_driver.xdotool("type", "--delay", "20", bps)
    keys.press("Return")
    if not smoke_driver.wait_for(lambda: "Break points loaded from file " in text(), 20):
        print("screenshots: the break points were not loaded")
    # A click gives the view the focus (its marks are dimmed without it); the pointer then rests
    # below the view.
    screen.click(frame[0] + 600, frame[1] + 300)
    smoke_driver.xdotool("mousemove", str(frame[0] + 600), str(frame[1] + frame[3] - 5))
    time.sleep(1.0)
    screen.save(os.path.join(out, "dense-marks.png"), *frame)
    keys.focus(window)
    smoke_driver.exit_through_menu(keys, proc)
    return 0


def save_dialog(screen, keys, title, path, frame):
    """Waits for the dialog of that title, takes the window with it, and closes it with Escape."""
    found = []
    if not smoke_driver.wait_for(lambda: found.extend(smoke_driver.xdotool("search", "--onlyvisible", "--name", title))
                                 or found, 10):
        print("screenshots: no dialog", title)
        return
    dialog = int(found[0])
    _, _, width, height = screen.rectangle(dialog)
    screen.place(dialog, frame[0] + max(0, (frame[2] - width) // 2), frame[1] + max(0, (frame[3] - height) // 2),
                 width, height)
    time.sleep(0.5)
    screen.save(path, *frame)
    keys.focus(dialog)
    keys.press("Escape")
    smoke_driver.wait_for(lambda: not smoke_driver.xdotool("search", "--onlyvisible", "--name", title), 5)


if __name__ == "__main__":
    if sys.argv[1] == "dense-marks":
        sys.exit(dense_marks(*sys.argv[2:7]))
    sys.exit(main(*sys.argv[1:6]))
