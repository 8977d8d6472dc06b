#!/usr/bin/env python3
"""Drives the real program under X: key presses through the X test extension (ctypes, no extra
modules), held keys and clicks through xdotool, window contents read back from the server, the log
file read as the program writes it."""
import ctypes
import functools
import ctypes.util
import os
import re
import struct
import subprocess
import sys
import threading
import time
import wave


print = functools.partial(print, flush=True)


def write_preferences(path, log_file, output_folder=""):
    def record(name, kind, data):
        raw = name.encode("utf-16-le")
        return raw + bytes(512 - len(raw)) + struct.pack("<II", kind, len(data)) + data

    def text(value):
        return value.encode("utf-16-le") + b"\0\0"

    body = b"".join([
        record("DefaultOutputFolder", 1, text(output_folder)),
        record("LogFileName", 1, text(log_file)),
        record("UseDefaultFolder", 0, b"\1" if output_folder else b"\0"),
        record("IsSaveLog", 0, b"\1"),
        record("DrawParameters", 0, bytes(168)),
        record("OverlapSecs", 2, struct.pack("<i", 0)),
        record("Overlap", 0, b"\0"),
    ])
    with open(path, "wb") as out:
        out.write(body)


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class XKeyboardState(ctypes.Structure):
    _fields_ = [("key_click_percent", ctypes.c_int), ("bell_percent", ctypes.c_int),
                ("bell_pitch", ctypes.c_uint), ("bell_duration", ctypes.c_uint), ("led_mask", ctypes.c_ulong),
                ("global_auto_repeat", ctypes.c_int), ("auto_repeats", ctypes.c_char * 32)]


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, check=False).stdout.split()


class Keyboard:
    def __init__(self):
        x11 = ctypes.util.find_library("X11")
        xtst = ctypes.util.find_library("Xtst")
        if not x11 or not xtst:
            print("smoke: libX11 or libXtst missing")
            sys.exit(1)
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
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XGetKeyboardControl.argtypes = [ctypes.c_void_p, ctypes.POINTER(XKeyboardState)]
        self.x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
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

    def pixels(self, window, x, y, width, height):
        """The window's contents in the rectangle, as raw bytes."""
        self.x.XSync(self.display, 0)
        image = self.x.XGetImage(self.display, window, x, y, width, height, 0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return b""
        return ctypes.string_at(image.contents.data, image.contents.bytes_per_line * image.contents.height)

    def auto_repeat_on(self):
        state = XKeyboardState()
        self.x.XGetKeyboardControl(self.display, ctypes.byref(state))
        return state.global_auto_repeat == 1

    def press(self, *names):
        codes = [self.code(n) for n in names]
        for c in codes:
            self.t.XTestFakeKeyEvent(self.display, c, True, 0)
        for c in reversed(codes):
            self.t.XTestFakeKeyEvent(self.display, c, False, 0)
        self.x.XFlush(self.display)
        time.sleep(0.25)


class Screen:
    """Pixels of a window, read with XGetImage: no image tool needed."""

    class XImage(ctypes.Structure):
        _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                    ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                    ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                    ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                    ("bits_per_pixel", ctypes.c_int)]

    class Attributes(ctypes.Structure):
        _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                    ("height", ctypes.c_int), ("rest", ctypes.c_byte * 256)]

    def __init__(self, keyboard):
        self.x = keyboard.x
        self.display = keyboard.display
        self.x.XGetImage.restype = ctypes.POINTER(Screen.XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                     ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p]

    def columns_with(self, window, rgb):
        """The x of every column of the window holding at least one pixel of colour rgb."""
        attributes = Screen.Attributes()
        self.x.XGetWindowAttributes(self.display, window, ctypes.byref(attributes))
        width, height = attributes.width, attributes.height
        image = self.x.XGetImage(self.display, window, 0, 0, width, height, 0xFFFFFFFF, 2)
        if not image or image.contents.bits_per_pixel != 32:
            return width, None
        line = image.contents.bytes_per_line
        data = ctypes.string_at(image.contents.data, line * height)
        pixel = bytes([rgb[2], rgb[1], rgb[0]])
        found = set()
        for y in range(height):
            row = data[y * line:y * line + width * 4]
            at = row.find(pixel)
            while at >= 0:
                if at % 4 == 0:
                    found.add(at // 4)
                at = row.find(pixel, at + 1)
        return width, sorted(found)


def check_whole_file_fits(keys, window):
    """With the overview hidden, the wave reaches the right edge of the view before Ctrl+0 and ends
    well inside it after, starting at its left edge."""
    wave = (10, 161, 200)
    screen = Screen(keys)
    keys.press("Alt_L", "v")
    keys.press("v")  # O&verview off: the strip draws the levels in the same colour
    time.sleep(0.5)
    width, before = screen.columns_with(window, wave)
    if not before or before[-1] < width - 40:
        print("smoke: before zooming out the wave should reach the right edge:", before and before[-1], width)
        return False
    keys.press("Control_L", "0")
    time.sleep(0.8)
    width, after = screen.columns_with(window, wave)
    if not after or after[0] > 10 or after[-1] > width * 0.9:
        print("smoke: after Ctrl+0 the whole file should fit:", after and (after[0], after[-1]), width)
        return False
    print(f"smoke: Ctrl+0 fits the file into {after[-1] + 1} of {width} columns")
    keys.press("Alt_L", "v")
    keys.press("v")  # the overview back on, as the next run expects it
    return True


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


def wait_shown(proc):
    """The program's "shown at" line on stderr, or None when it ended first."""
    line = proc.stderr.readline()
    while line and " shown at " not in line:
        line = proc.stderr.readline()
    return line or None


def start_with_file(program, mp3):
    """`kerfline FILE` started as a file manager does: the process and its window, or no window
    (said on stdout) when it ended before showing one."""
    proc = subprocess.Popen([program, mp3], stderr=subprocess.PIPE, text=True)
    line = wait_shown(proc)
    if not line:
        print("smoke: kerfline FILE never showed its window")
        return proc, None
    return proc, int(line.split()[2], 16)


def log_text(path, start=0):
    data = read_log(path)
    return data[2:].decode("utf-16-le", errors="replace")[start:] if data[:2] == b"\xff\xfe" else ""


def exit_through_menu(keys, proc):
    """Alt+F, X: True when the program then ended. X must be Exit's letter alone in the File menu;
    a letter two items share only highlights the first of them."""
    keys.press("Alt_L", "f")
    keys.press("x")
    try:
        proc.wait(timeout=10)
        return True
    except subprocess.TimeoutExpired:
        proc.kill()
        return False


def run_open_argument(program, log_file, mp3):
    """`kerfline FILE` loads FILE once its window is shown, as the file manager starts it."""
    already = len(log_text(log_file))
    proc, window = start_with_file(program, mp3)
    if window is None:
        return 1
    expected = [
        f"Loading MP3 file - {mp3} ...",
        "MP3 file basic info: ",
        "MP3 file has been loaded successfully!",
    ]
    wait_for(lambda: expected[-1] in log_text(log_file, already), 20)
    content = log_text(log_file, already)
    missing = [e for e in expected if e not in content]
    keys = Keyboard()
    keys.focus(window)
    if not exit_through_menu(keys, proc):
        print("smoke: kerfline FILE did not close")
        return 1
    if missing:
        print("smoke: kerfline FILE; missing in the log file:", missing)
        print(content)
        return 1
    print("smoke: kerfline FILE loaded the file")
    return 0


def find_silences_ok(keys, window, text):
    """File menu, "Find &Silences ...", OK with the settings it opens with; the log's text since."""
    since = len(text())
    found = []
    title = "^Find silences \\.\\.\\.$"
    for _ in range(3):  # a busy machine may not have given the window the focus yet
        keys.focus(window)
        keys.press("Alt_L", "f")
        keys.press("s")
        if wait_for(lambda: found.extend(xdotool("search", "--onlyvisible", "--name", title)) or found, 10):
            break
        keys.press("Escape")
    if not found:
        return None
    keys.focus(int(found[0]))
    time.sleep(1.5)  # the preview
    keys.press("Return")
    wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", title), 10)
    time.sleep(0.5)
    return text()[since:]


def added_count(log):
    """How many break points the Find Silences runs in `log` added, by their summary lines."""
    found = re.findall(r"(\d+) break points? ha(?:s|ve) been added", log)
    return sum(int(n) for n in found)


def run_silences(program, log_file, mp3):
    """Find Silences run twice with the same settings adds nothing the second time."""
    proc, window = start_with_file(program, mp3)
    if window is None:
        return 1

    def text():
        return log_text(log_file)

    wait_for(lambda: "MP3 file has been loaded successfully!" in text(), 20)
    time.sleep(1)
    keys = Keyboard()
    failures = []
    first = find_silences_ok(keys, window, text)
    second = find_silences_ok(keys, window, text)
    # The first run's text starts before the load ended: only what the finder logged counts.
    print("smoke: Find Silences, first run:", first and first.strip().replace("\r\n", " | "))
    print("smoke: Find Silences, second run:", second and second.strip().replace("\r\n", " | "))
    if first is None or second is None:
        failures.append("the Find Silences dialog did not open")
    else:
        added = added_count(first)
        again = added_count(second)
        if added == 0:
            failures.append("the first Find Silences added no break point")
        if again != 0:
            failures.append(f"the second Find Silences added {again} break points again")
    keys.focus(window)
    if not exit_through_menu(keys, proc):
        failures.append("the window did not close")
    if failures:
        print("smoke:", failures)
        return 1
    print("smoke: Find Silences twice added nothing the second time")
    return 0


def open_dialog(keys, window, title, *presses):
    """The dialog `title` opened by the key presses (retried: a busy machine may not have given the
    window the focus yet), focused; its window id or None."""
    found = []
    for _ in range(3):
        keys.focus(window)
        for press in presses:
            keys.press(*press)
        if wait_for(lambda: found.extend(xdotool("search", "--onlyvisible", "--name", f"^{title}$")) or found, 10):
            break
        keys.press("Escape")
    if not found:
        return None
    keys.focus(int(found[0]))
    return int(found[0])


def white_strip_above_bottom(keys, window):
    """The middle of the lowest white strip crossing the window's middle column: in the Save blocks
    dialog the output folder's edit box, between the buttons below and the list above."""
    Screen(keys)  # declares XGetWindowAttributes
    attributes = Screen.Attributes()
    keys.x.XGetWindowAttributes(keys.display, window, ctypes.byref(attributes))
    width, height = attributes.width, attributes.height
    data = keys.pixels(window, width // 2, 0, 1, height)
    if len(data) < height * 4:
        return None
    line = len(data) // height
    white = [data[y * line:y * line + 3] == b"\xff\xff\xff" for y in range(height)]
    bottom = next((y for y in range(height - 1, -1, -1) if white[y]), None)
    if bottom is None:
        return None
    top = bottom
    while top > 0 and white[top - 1]:
        top -= 1
    return width // 2, (top + bottom) // 2


def folder_contents(folder):
    """The bytes of every file in the folder, in order of their names' numbers."""
    names = sorted(os.listdir(folder), key=lambda name: int(re.findall(r"-(\d+)\.mp3$", name)[0]))
    contents = []
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            contents.append(f.read())
    return names, contents


def run_save_blocks(program, log_file, mp3, all_folder, blocks_folder):
    """Break points 20, 50 and 50 again (Ctrl+A twice with the same value): Save Specified Blocks,
    every row ticked, writes exactly the pieces Save All writes, byte for byte, so no frame at a
    break point is lost, the last row runs to the end of the file and the duplicate makes no row."""
    proc, window = start_with_file(program, mp3)
    if window is None:
        return 1

    def text():
        return log_text(log_file)

    wait_for(lambda: "MP3 file has been loaded successfully!" in text(), 20)
    time.sleep(0.5)
    keys = Keyboard()
    failures = []
    for value in ("20", "50", "50"):
        since = len(text())
        dialog = open_dialog(keys, window, "Add break point", ("Control_L", "a"))
        if dialog is None:
            failures.append("Ctrl+A opened no dialog")
            break
        keys.press("Control_L", "a")  # the value in the edit, selected
        xdotool("type", "--delay", "50", value)
        keys.press("Return")
        if not wait_for(lambda: f"Set break point at {value} F" in text()[since:], 10):
            failures.append(f"Ctrl+A did not set {value}")
    keys.focus(window)

    if not failures:
        since = len(text())
        keys.press("Alt_L", "f")
        keys.press("e")  # Sav&e All, into the default folder of the preferences
        if not wait_for(lambda: "Separated blocks have been saved successfully!" in text()[since:], 30):
            failures.append("Save All did not finish")

    if not failures:
        dialog = open_dialog(keys, window, "Save blocks", ("Alt_L", "f"), ("a",))
        if dialog is None:
            failures.append("File, Save Specified Blocks opened no dialog")
        else:
            edit = white_strip_above_bottom(keys, dialog)
            if edit is None:
                failures.append("the output folder's edit box was not found")
            else:
                xdotool("mousemove", "--window", str(dialog), str(edit[0]), str(edit[1]), "click", "1")
                time.sleep(0.3)
                keys.press("Control_L", "a")
                xdotool("type", "--delay", "30", blocks_folder)
            keys.press("Alt_L", "a")  # Select &All
            keys.press("Alt_L", "s")  # &Save
            box = []
            wait_for(lambda: box.extend(xdotool("search", "--onlyvisible", "--name", "^Information$")) or box,
                     30)
            if not box:
                failures.append("no box said the blocks were saved")
            else:
                keys.focus(int(box[0]))
                keys.press("Return")
            keys.focus(dialog)
            keys.press("Escape")
            wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Save blocks$"), 5)

    if not failures:
        all_names, all_pieces = folder_contents(all_folder)
        block_names, block_pieces = folder_contents(blocks_folder)
        print(f"smoke: Save All wrote {all_names}, Save Specified Blocks {block_names}")
        if len(block_pieces) != len(all_pieces):
            failures.append(f"Save Specified Blocks wrote {len(block_pieces)} pieces, Save All {len(all_pieces)}")
        for number, (ours, theirs) in enumerate(zip(block_pieces, all_pieces), 1):
            if ours != theirs:
                failures.append(f"row {number} is {len(ours)} bytes, Save All's block {len(theirs)} bytes")
        with open(mp3, "rb") as f:
            source = f.read()
        if not block_pieces or not source.endswith(block_pieces[-1][-417:]):
            failures.append("the last row does not end where the file ends")
    keys.focus(window)
    if not exit_through_menu(keys, proc):
        failures.append("the window did not close")
    if failures:
        print("smoke:", failures)
        return 1
    print("smoke: Save Specified Blocks wrote Save All's blocks, byte for byte")
    return 0


def check_focus_look(keys, window):
    """A menu opened with Alt+letter leaves the view looking focused, as one opened by the mouse does."""
    # Right of the File menu: the view's labels and the top of its wave area.
    area = (300, 0, 600, 200)
    focused = keys.pixels(window, *area)
    keys.focus(0)  # nobody has the focus: the view shows its unfocused colours
    unfocused = keys.pixels(window, *area)
    keys.focus(window)
    if not focused or focused == unfocused or keys.pixels(window, *area) != focused:
        return ["the view's focused and unfocused looks cannot be told apart"]
    keys.press("Alt_L", "f")
    time.sleep(0.3)
    with_menu = keys.pixels(window, *area)
    keys.press("Escape")
    keys.press("Escape")
    return [] if with_menu == focused else ["the view lost its focused look while the File menu was open"]


def check_held_key(keys, window, text):
    """A held key acts once, on its release, however busy the machine is."""
    if not keys.auto_repeat_on():
        return ["the X server does not repeat held keys, so the hold proves nothing"]
    # A double click puts a break point under the pointer and selects it.
    xdotool("mousemove", "--window", str(window), "40", "250")
    xdotool("click", "--repeat", "2", "--delay", "80", "1")
    if not wait_for(lambda: "Break point has been added at " in text(), 10):
        return ["the double click placed no break point"]
    keys.focus(window)
    busy = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(2)]
    try:
        xdotool("keydown", "Right")
        time.sleep(2)
        xdotool("keyup", "Right")
        time.sleep(1.5)
    finally:
        for loop in busy:
            loop.kill()
            loop.wait()
    moves = text().count("Move break point from ")
    print(f"smoke: a 2 s hold of Right on two busy cores moved the break point {moves} time(s)")
    return [] if moves == 1 else [f"a 2 s hold of Right moved the break point {moves} times"]


def check_pipe_refused(keys, window, pipe, text):
    """A named pipe from the recent-file list is refused with a box; the window never blocks on it."""
    opened = []
    stop = []

    def watch():
        # Opening the writing end succeeds only while somebody holds the reading end.
        while not stop:
            try:
                os.close(os.open(pipe, os.O_WRONLY | os.O_NONBLOCK))
                opened.append(True)
            except OSError:
                pass
            time.sleep(0.02)

    watcher = threading.Thread(target=watch)
    watcher.start()
    try:
        keys.focus(window)
        # File menu, "Open Recent List ...", its second entry.
        keys.press("Alt_L", "f")
        keys.press("Down")
        keys.press("Right")
        keys.press("Down")
        keys.press("Return")
        box = []
        wait_for(lambda: box.extend(xdotool("search", "--onlyvisible", "--name", "^Error$")) or box, 10)
        failures = []
        if not box:
            failures.append("no box refused the named pipe (is the window blocked?)")
        else:
            keys.focus(int(box[0]))
            keys.press("Return")
            if not wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^Error$"), 5):
                failures.append("the box about the named pipe did not close")
            keys.focus(window)
    finally:
        stop.append(True)
        watcher.join()
    if opened:
        failures.append("the program opened the named pipe")
    if f"Loading MP3 file - {pipe}" in text():
        failures.append("the named pipe was loaded")
    return failures


def check_find_silences(keys, window):
    """File menu, "Find &Silences ...": the dialog opens, and Escape closes it."""
    keys.focus(window)
    keys.press("Alt_L", "f")
    keys.press("s")
    found = []
    title = "^Find silences \\.\\.\\.$"
    wait_for(lambda: found.extend(xdotool("search", "--onlyvisible", "--name", title)) or found, 10)
    if not found:
        return ["File, Find Silences opened no dialog"]
    keys.focus(int(found[0]))
    keys.press("Escape")
    closed = wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", title), 5)
    keys.focus(window)
    return [] if closed else ["the Find Silences dialog did not close on Escape"]


def view_origin(keys, window):
    """The view's top left corner in the window: the LOADING light's strip starts at (5, 5) of the
    view in its red, lit or not."""
    width, height = 40, 200
    data = keys.pixels(window, 0, 0, width, height)
    red = bytes([0, 0, 150])
    for y in range(height):
        for x in range(width):
            at = (y * width + x) * 4
            if data[at:at + 3] == red:
                return x - 5, y - 5
    return None


def mouse(window, origin, x, y, *actions):
    xdotool("mousemove", "--window", str(window), str(origin[0] + x), str(origin[1] + y), *actions)
    time.sleep(0.3)


def added_at(text, since):
    found = re.findall(r"Break point has been added at (\d+) F", text()[since:])
    return int(found[-1]) if found else None


def check_marks(keys, window, text):
    """Two marks 15 columns apart: a click on the right mark's R, drawn over the left mark's P,
    removes the right mark. Zoomed out, a drag from 4 px beside a mark's line does not grab it, a
    press 1 px beside it and a 1-px move leave it where it was, and a drag moves it by the pointer's
    movement."""
    origin = view_origin(keys, window)
    if origin is None:
        return ["the view's LOADING light was not found"]
    keys.focus(window)
    keys.press("Control_L", "1")  # one frame per column
    time.sleep(1.5)
    failures = []
    since = len(text())
    mouse(window, origin, 300, 250, "click", "--repeat", "2", "--delay", "80", "1")
    wait_for(lambda: added_at(text, since) is not None, 15)
    left = added_at(text, since)
    since = len(text())
    mouse(window, origin, 315, 250, "click", "--repeat", "2", "--delay", "80", "1")
    wait_for(lambda: added_at(text, since) is not None, 15)
    right = added_at(text, since)
    if left is None or right is None or right - left != 15:
        return [f"double clicks 15 px apart placed {left} and {right}"]
    since = len(text())
    mouse(window, origin, 315 + 21 + 4, 69 + 7 + 6, "click", "1")  # the right 'R' over the left 'P'
    removed = f"Break point at frame {right} F has been deleted!"
    if not wait_for(lambda: removed in text()[since:], 5):
        failures.append(f"the right mark's R did not remove {right}: " + text()[since:].strip())

    keys.press("Control_L", "0")
    time.sleep(0.8)
    since = len(text())
    mouse(window, origin, 500, 250, "click", "--repeat", "2", "--delay", "80", "1")
    wait_for(lambda: added_at(text, since) is not None, 15)
    mark = added_at(text, since)
    if mark is None:
        return failures + ["no mark was added at whole-file zoom"]
    since = len(text())
    mouse(window, origin, 504, 250, "mousedown", "1")
    mouse(window, origin, 544, 250)
    mouse(window, origin, 544, 250, "mouseup", "1")
    time.sleep(0.5)
    if "Break point has been moved to " in text()[since:]:
        failures.append(f"a drag from 4 px beside {mark}'s line grabbed it: " + text()[since:].strip())
    since = len(text())
    mouse(window, origin, 501, 250, "mousedown", "1")
    mouse(window, origin, 502, 250)
    mouse(window, origin, 502, 250, "mouseup", "1")
    wait_for(lambda: "Break point has been moved to " in text()[since:], 5)
    moved = re.findall(r"Break point has been moved to (\d+) F", text()[since:])
    if moved != [str(mark)]:
        failures.append(f"a press 1 px beside {mark} and a 1-px move moved it: {moved}")
    since = len(text())
    mouse(window, origin, 501, 250, "mousedown", "1")
    for x in (510, 520, 530, 541):
        mouse(window, origin, x, 250)
    mouse(window, origin, 541, 250, "mouseup", "1")
    wait_for(lambda: "Break point has been moved to " in text()[since:], 5)
    moved = re.findall(r"Break point has been moved to (\d+) F", text()[since:])
    if len(moved) != 1 or not int(moved[0]) > mark:
        failures.append(f"a 40-px drag of {mark} logged {moved}")
    else:
        print(f"smoke: zoomed out, a 40-px drag moved {mark} to {moved[0]}")
    keys.press("Control_L", "1")
    return failures


def view_columns(keys, window, origin, top, bottom, rgb):
    """The view's columns (from its left edge) holding a pixel of colour rgb in rows top..bottom-1
    of the view."""
    Screen(keys)  # the argument types of the calls below
    attributes = Screen.Attributes()
    keys.x.XGetWindowAttributes(keys.display, window, ctypes.byref(attributes))
    width = attributes.width - origin[0]
    height = bottom - top
    data = keys.pixels(window, origin[0], origin[1] + top, width, height)
    line = len(data) // height if height else 0
    pixel = bytes([rgb[2], rgb[1], rgb[0]])
    found = set()
    for y in range(height):
        row = data[y * line:y * line + width * 4]
        for x in range(width):
            if row[x * 4:x * 4 + 3] == pixel:
                found.add(x)
    return width, found


def play_line(keys, window, origin, seconds=3):
    """The view's first column showing the play line (drawn in its own colour while the view has the
    focus), waiting for a repaint; None when it is not on the screen."""
    play = (255, 255, 0)
    found = []

    def seen():
        _, columns = view_columns(keys, window, origin, 70 + 45, 70 + 300, play)
        found[:] = sorted(columns)
        return bool(found)

    wait_for(seen, seconds)
    return found[0] if found else None


def check_zoom_while_playing(keys, window, origin, width, text, zoom):
    """Played from a click at a third of the view at whole-file zoom `zoom`. Ctrl+wheel in with the
    pointer far right zooms around the pointer, which would push the play line off the left edge: the
    view keeps it at that edge (a page turned by the player would put it a twentieth in), and Ctrl+wheel
    out brings it back towards the pointer. Each zoom key then keeps the play line in its column (give
    or take what it plays on in between) instead of zooming around the middle."""
    since = len(text())
    mouse(window, origin, width // 3, 250, "click", "1")  # also gives the view the focus
    keys.press("space")
    if not wait_for(lambda: "Player now is playing" in text()[since:], 10):
        return ["Space did not start playback: " + text()[since:].strip()[-300:]]
    if "Failed to call function waveOutOpen!" in text()[since:]:
        return ["no sound device: the smoke run plays through JACK's dummy driver"]
    failures = []
    frames_per_second = 44100 / 1152
    column = play_line(keys, window, origin)
    if column is None:
        keys.press("space")
        return [f"no play line at 1:{zoom} while playing"]
    pointer = width - 60
    mouse(window, origin, pointer, 250, "keydown", "ctrl", "click", "4", "keyup", "ctrl")
    after = play_line(keys, window, origin)
    print(f"smoke: Ctrl+wheel in at column {pointer} while playing: play line from {column} to {after}")
    if after is None or after >= width // 20 - 8:
        failures.append(f"Ctrl+wheel in around column {pointer} moved the play line from {column} to {after}, "
                        "not to the left edge")
    else:
        column = after
        mouse(window, origin, pointer, 250, "keydown", "ctrl", "click", "5", "keyup", "ctrl")
        after = play_line(keys, window, origin)
        print(f"smoke: Ctrl+wheel out at column {pointer} while playing: play line from {column} to {after}")
        if after is None or not column + 100 < after < pointer:
            failures.append(f"Ctrl+wheel out around column {pointer} moved the play line from {column} to {after}")
    column = play_line(keys, window, origin)
    zoom = max(1, zoom // 2) * 2  # in and out again
    for name in ["equal"] * 4 + ["minus"]:
        if column is None:
            failures.append("the play line left the screen")
            break
        zoom = max(1, zoom // 2) if name == "equal" else zoom * 2
        before = time.time()
        keys.press("Control_L", name)
        after = play_line(keys, window, origin)
        played = (time.time() - before + 0.5) * frames_per_second / zoom
        print(f"smoke: Ctrl+{name} while playing at 1:{zoom}: play line from column {column} to {after}")
        if after is not None and not column - 4 <= after <= column + played + 8:
            failures.append(f"Ctrl+{name} while playing moved the play line from {column} to {after} (1:{zoom})")
        column = after
    keys.press("space")
    return failures


def run_dense_marks(program, log_file, mp3, bps, marks):
    """1,566 marks, two on each of 783 frames, loaded from a break point file: at whole-file zoom
    the wave shows in nearly every column it fills and every mark has its tick; drags anywhere fall
    on no single mark's line and move none; zooming while the file plays keeps the play line on
    the screen."""
    already = len(log_text(log_file))
    proc, window = start_with_file(program, mp3)
    if window is None:
        return 1

    def text():
        return log_text(log_file, already)

    wait_for(lambda: "MP3 file has been loaded successfully!" in text(), 30)
    time.sleep(1)
    keys = Keyboard()
    failures = []
    wave = (10, 161, 200)
    tick = (146, 182, 191)
    keys.focus(window)
    origin = view_origin(keys, window)
    if origin is None:
        failures.append("the view's LOADING light was not found")
        origin = (0, 0)
    # The wave at whole-file zoom before there are marks: the file's own quiet stretches show none.
    keys.press("Control_L", "0")
    time.sleep(1.5)
    _, bare_columns = view_columns(keys, window, origin, 70 + 45, 70 + 300, wave)
    keys.press("Alt_L", "f")
    keys.press("l")
    dialog = find_window("^Open$")
    if dialog is None:
        failures.append("File > Load Break Points showed no file dialog")
    else:
        keys.focus(dialog)
        xdotool("type", "--delay", "20", bps)
        keys.press("Return")
        if not wait_for(lambda: "Break points loaded from file " in text(), 20):
            failures.append("the break point file was not loaded: " + text().strip()[-300:])
    keys.focus(window)
    if not failures:
        time.sleep(1.0)
        width, wave_columns = view_columns(keys, window, origin, 70 + 45, 70 + 300, wave)
        _, tick_columns = view_columns(keys, window, origin, 69 + 4, 69 + 6, tick)
        filled = max(bare_columns) + 1 if bare_columns else 0
        print(f"smoke: {marks} marks at whole-file zoom: wave in {len(wave_columns)} columns, "
              f"{len(bare_columns)} without the marks; ticks in {len(tick_columns)}")
        if filled < width * 0.5 or len(wave_columns) < len(bare_columns) * 0.95:
            failures.append(f"the marks hide the wave: it shows in {len(wave_columns)} columns, "
                            f"{len(bare_columns)} without them")
        if len(tick_columns) < 300:
            failures.append(f"only {len(tick_columns)} columns show a mark's tick")
        since = len(text())
        for x in range(40, min(filled, width) - 60, max(1, (min(filled, width) - 100) // 12)):
            mouse(window, origin, x, 250, "mousedown", "1")
            mouse(window, origin, x + 40, 250)
            mouse(window, origin, x + 40, 250, "mouseup", "1")
        time.sleep(0.5)
        moved = re.findall(r"Break point has been moved to (\d+) F", text()[since:])
        if moved:
            failures.append(f"drags at whole-file zoom grabbed marks of crowded columns: {moved}")
        else:
            print("smoke: drags across crowded columns at whole-file zoom moved no mark")
        info = subprocess.run([os.path.join(os.path.dirname(program), "kerfline-cli"), "info", mp3],
                              capture_output=True, text=True, check=False).stdout
        frames = int(re.search(r"^frames:\s*(\d+)", info, re.M).group(1))
        zoom = -(-frames // width)  # Ctrl+0: the whole file in the view's columns
        failures += check_zoom_while_playing(keys, window, origin, width, text, zoom)
    keys.focus(window)
    if not exit_through_menu(keys, proc):
        failures.append("the window did not close")
    if failures:
        print("smoke:", failures)
        return 1
    print("smoke: dense marks ok")
    return 0


def run(program, log_file, mp3, prefs, pipe):
    started = time.time()
    proc = subprocess.Popen([program], stderr=subprocess.PIPE, text=True)
    line = wait_shown(proc)
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

    time.sleep(0.5)
    failures += check_focus_look(keys, window)
    failures += check_held_key(keys, window, text)
    failures += check_pipe_refused(keys, window, pipe, text)
    failures += check_find_silences(keys, window)
    if not failures and not check_whole_file_fits(keys, window):
        failures.append("whole file in the view after Ctrl+0")
    failures += check_marks(keys, window, text)
    content = text()
    if failures:
        print("smoke:", failures)

    if not exit_through_menu(keys, proc):
        print("smoke: the window did not close")
        return 1
    if not os.path.exists(prefs) or os.path.getmtime(prefs) < 1:
        print("smoke: preferences.dat not written at exit")
        return 1
    if failures:
        return 1
    print("smoke: ok; log:\n" + content)
    return 0


def find_window(title, seconds=10):
    found = []
    wait_for(lambda: found.extend(xdotool("search", "--onlyvisible", "--name", title)) or found, seconds)
    return int(found[0]) if found else None


def decoded_samples(path):
    """Samples per channel mpg123 decodes from the file (gapless, as a player plays it)."""
    wav = path + ".wav"
    subprocess.run(["mpg123", "-q", "-w", wav, path], check=False)
    with wave.open(wav, "rb") as decoded:
        return decoded.getnframes()


def run_edit(program, log_file, mp3, copy):
    """With the keyboard only: two break points through the A key's dialog, Ctrl+Right selects the
    first, Shift+Delete removes its block, File > Save Edited Copy writes the copy. mpg123 must decode it to
    the source's length less the removed frames' samples (within a frame), mp3val must say nothing."""
    already = len(log_text(log_file))
    proc, window = start_with_file(program, mp3)
    if window is None:
        return 1

    def text():
        return log_text(log_file, already)

    wait_for(lambda: "MP3 file has been loaded successfully!" in text(), 20)
    time.sleep(1)
    keys = Keyboard()
    failures = []
    for frame in ("100", "200"):
        keys.focus(window)
        keys.press("a")
        dialog = find_window("^Add break point$")
        if dialog is None:
            failures.append("the Add break point dialog did not open")
            break
        keys.focus(dialog)
        xdotool("type", "--delay", "50", frame)
        keys.press("Return")
        wait_for(lambda: f"Set break point at {frame} F" in text(), 5)
    keys.focus(window)
    keys.press("Control_L", "Right")  # from the cursor at 0: the break point at 100
    keys.press("Shift_L", "Delete")
    removed = "Block 100 F - 200 F has been removed"
    if not wait_for(lambda: removed in text(), 5):
        failures.append("Shift+Delete did not remove the block 100..200: " + text().strip()[-400:])
    keys.press("Alt_L", "f")
    keys.press("y")
    dialog = find_window("^Save As$")
    if dialog is None:
        failures.append("File > Save Edited Copy showed no file dialog")
    else:
        keys.focus(dialog)
        keys.press("Control_L", "a")
        xdotool("type", "--delay", "20", copy)
        keys.press("Return")
        if not wait_for(lambda: "The edited copy has been saved to " in text(), 20):
            failures.append("no edited copy was saved: " + text().strip()[-400:])
    keys.focus(window)
    if not exit_through_menu(keys, proc):
        failures.append("the window did not close")
    if not failures:
        source = decoded_samples(mp3)
        edited = decoded_samples(copy)
        spf = 1152
        expected = source - 100 * spf
        print(f"smoke: edited copy decodes to {edited} samples, source {source}, expected {expected}")
        if abs(edited - expected) > spf:
            failures.append(f"the edited copy decodes to {edited} samples, not {expected} (within {spf})")
        check = subprocess.run(["mp3val", copy], capture_output=True, text=True, check=False).stdout
        complaints = [l for l in check.splitlines() if l.startswith(("WARNING", "ERROR"))]
        if "Done!" not in check:
            complaints.append("mp3val did not run: " + check)
        if complaints:
            failures.append("mp3val: " + " | ".join(complaints))
    if failures:
        print("smoke:", failures)
        return 1
    print("smoke: Shift+Delete removed a block and the edited copy decodes and checks clean")
    return 0


def lowest_row_of(keys, window, bgr):
    """The lowest row of the window holding a pixel of the colour (given as its bytes in B, G, R)."""
    geometry = xdotool("getwindowgeometry", "--shell", str(window))
    size = {g.split("=")[0]: int(g.split("=")[1]) for g in geometry if "=" in g and g.split("=")[1].isdigit()}
    width, height = size.get("WIDTH", 0), size.get("HEIGHT", 0)
    data = keys.pixels(window, 0, 0, width, height)
    if not data or height == 0:
        return None
    line = len(data) // height
    for y in range(height - 1, -1, -1):
        row = data[y * line:y * line + width * 4]
        at = row.find(bgr)
        while at >= 0:
            if at % 4 == 0:
                return y
            at = row.find(bgr, at + 1)
    return None


def run_many_silences(program, log_file, mp3):
    """Find Silences on a file of more than a thousand pauses: while the dialog is open, the view
    zooms and scrolls and the overview takes a click; OK then adds them all with one log line."""
    # The log file goes on from the earlier runs: only what this run writes counts.
    start = len(log_text(log_file))
    proc, window = start_with_file(program, mp3)
    if window is None:
        return 1

    def text():
        return log_text(log_file)

    if not wait_for(lambda: "MP3 file has been loaded successfully!" in text()[start:], 120):
        print("smoke: the file of many pauses did not load")
        proc.kill()
        return 1
    time.sleep(1)
    keys = Keyboard()
    failures = []
    title = "^Find silences \\.\\.\\.$"
    found = []
    for _ in range(3):
        keys.focus(window)
        keys.press("Alt_L", "f")
        keys.press("s")
        if wait_for(lambda: found.extend(xdotool("search", "--onlyvisible", "--name", title)) or found, 10):
            break
        keys.press("Escape")
    if not found:
        failures.append("File, Find Silences opened no dialog")
    else:
        dialog = int(found[0])
        time.sleep(2)  # the first search and its preview
        origin = view_origin(keys, window)
        if origin is None:
            failures.append("the view's LOADING light was not found")
        else:
            # The labels of the view (RANGE names the frames shown) and a band of the waveform: what
            # zoom and scroll change. The file repeats itself, so the waveform alone may not.
            def band():
                return (keys.pixels(window, origin[0], origin[1] + 45, 600, 30) +
                        keys.pixels(window, origin[0], origin[1] + 120, 600, 120))

            keys.focus(window)
            keys.press("Control_L", "0")  # the whole file, every proposal on screen
            time.sleep(1.5)
            whole = band()
            keys.press("Control_L", "1")  # one frame per column
            time.sleep(1.5)
            detail = band()
            keys.press("End")
            time.sleep(1.5)
            end = band()
            if whole == detail:
                failures.append("Ctrl+1 changed nothing in the view while Find Silences was open")
            if detail == end:
                failures.append("End scrolled nothing while Find Silences was open")
            # The overview strip's preview ticks are the lowest pixels of the preview's colour: its
            # middle is half a strip above them. A click near its left end brings the view back.
            lowest = lowest_row_of(keys, window, bytes([255, 64, 255]))
            moved = False
            if lowest is None:
                failures.append("the overview shows no proposal")
            else:
                mouse(window, (0, 0), origin[0] + 20, lowest - 24, "click", "1")
                time.sleep(1)
                moved = band() != end
            if not moved:
                failures.append("no click under the view moved it while Find Silences was open")
        since = len(text())
        keys.focus(dialog)
        keys.press("Return")
        if not wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", title), 30):
            failures.append("OK did not close Find Silences")
        time.sleep(1)
        log = text()[since:]
        added = added_count(log)
        per_mark = log.count("Break point has been added at ")
        print(f"smoke: Find Silences added {added} break points with {per_mark} lines of single marks")
        if added < 1000:
            failures.append(f"Find Silences added {added} break points, not over a thousand")
        if per_mark != 0:
            failures.append(f"Find Silences logged {per_mark} lines for single marks")
    keys.focus(window)
    if not exit_through_menu(keys, proc):
        failures.append("the window did not close")
    if failures:
        print("smoke:", failures)
        return 1
    print("smoke: Find Silences left the view live and added over a thousand marks in one line")
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "many-silences":
        sys.exit(run_many_silences(*sys.argv[2:5]))
    if sys.argv[1] == "write-preferences":
        write_preferences(*sys.argv[2:5])
        sys.exit(0)
    if sys.argv[1] == "save-blocks":
        sys.exit(run_save_blocks(*sys.argv[2:7]))
    if sys.argv[1] == "silences":
        sys.exit(run_silences(*sys.argv[2:5]))
    if sys.argv[1] == "edit":
        sys.exit(run_edit(*sys.argv[2:6]))
    if sys.argv[1] == "dense-marks":
        sys.exit(run_dense_marks(*sys.argv[2:7]))
    if sys.argv[1] == "open-argument":
        sys.exit(run_open_argument(*sys.argv[2:5]))
    sys.exit(run(*sys.argv[2:7]))
