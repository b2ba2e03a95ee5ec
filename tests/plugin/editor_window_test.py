#!/usr/bin/env python3
"""The editor in a real X window, driven the way a user works it.

Runs under xvfb-run (see CMakeLists.txt): quill-vsthost --editor opens the plug-in's editor in
a top-level window while audio runs; xdotool sends real pointer and key events; xwd takes
pictures of the window; the chunk the host saves when the window closes tells what the
model became. Every wait is on a condition (a window exists, a picture changed or settled),
never a fixed sleep.

usage: editor_window_test.py QUILL_VSTHOST PLUGIN.so WORKDIR
"""
import os
import re
import signal
import subprocess
import sys
import time

HOST, PLUGIN, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
TITLE = "^Quillatrove editor$"
TIMEOUT = 60.0
POLL = 0.05


def wait_for(what, condition, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(POLL)
    raise AssertionError("timed out waiting for " + what)


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout.strip()


class Picture:
    """A window picture from xwd, as rows of RGB bytes."""

    def __init__(self, window):
        xwd = subprocess.run(["xwd", "-silent", "-id", str(window)], capture_output=True, check=True).stdout
        ppm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True, check=True).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)  # one whitespace byte ends it
        self.width, self.height = int(header[1]), int(header[2])
        self.pixels = ppm[header.end():header.end() + self.width * self.height * 3]

    def region(self, x, y, w, h):
        rows = ((y + r) * self.width + x for r in range(h))
        return b"".join(self.pixels[start * 3:(start + w) * 3] for start in rows)

    def blank(self):
        return self.pixels.count(self.pixels[:3]) * 3 == len(self.pixels)


class Editor:
    """One session: the host with the editor open until close()."""

    def __init__(self, name, state=None, stopped=False):
        self.chunk = saved(name)
        if os.path.exists(self.chunk):
            os.remove(self.chunk)
        # --stopped: a host whose transport is stopped, with no audio block at all.
        args = [HOST, PLUGIN, "--editor", "--save-state", self.chunk] + (["--state", state] if state else [])
        args += ["--stopped"] if stopped else []
        self.process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        live.append(self)
        self.window = wait_for("the editor window",
                               lambda: xdotool("search", "--onlyvisible", "--name", TITLE).split("\n")[0])
        wait_for("the window's size", lambda: "920x690" in xdotool("getwindowgeometry", self.window))
        self.picture = self.settled(lambda p: not p.blank())

    def settled(self, accept, looks=4):
        """The picture once it satisfies accept and stays the same for `looks` looks in a row."""
        history = []

        def check():
            now = Picture(self.window)
            history.append(now)
            recent = history[-looks:]
            stable = len(recent) == looks and all(p.pixels == now.pixels for p in recent)
            return now if stable and accept(now) else None

        return wait_for("a settled picture", check)

    def changed(self, region=None):
        """Waits for the picture (or one region of it) to change after an action, then for it
        to settle."""
        seen = (lambda p: p.pixels) if region is None else (lambda p: p.region(*region))
        before = seen(self.picture)
        self.picture = self.settled(lambda p: seen(p) != before)

    def at(self, x, y):
        xdotool("mousemove", "--window", self.window, x, y)

    def drag(self, points):  # one point: a click
        self.at(*points[0])
        xdotool("mousedown", 1)
        for x, y in points[1:]:
            self.at(x, y)
        xdotool("mouseup", 1)

    def close(self):
        self.process.send_signal(signal.SIGTERM)
        _, errors = self.process.communicate(timeout=TIMEOUT)
        live.remove(self)
        assert self.process.returncode == 0, errors.decode(errors="replace")
        # The server destroys the window when the connection goes: the next session must not
        # find this one.
        wait_for("the window to go", lambda: self.window not in xdotool("search", "--name", TITLE).split("\n"))
        with open(self.chunk, "rb") as f:
            data = f.read()
        assert data.endswith(b"\0"), "the chunk ends with its NUL"
        # The state text ends at its NUL; the host parameters' trailer follows it.
        return data.split(b"\0", 1)[0].decode("ascii").split(",")


def after(chunk, token, offset=1):
    """The field `offset` places after each section name `token` in a chunk, as a number where it is one."""
    fields = [chunk[i + offset] for i, name in enumerate(chunk) if name == token]
    return [float(v) if v.replace(".", "").lstrip("-").isdigit() else v for v in fields]


def line(points, steps):
    (x0, y0), (x1, y1) = points
    return [(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps) for i in range(steps + 1)]


def saved(name):
    return os.path.join(WORK, name + ".chunk")


def thirty_lfos():
    """The state of the session "chooser-base" with thirty LFO patches before its voice."""
    with open(saved("chooser-base"), "rb") as f:
        text, trailer = f.read().split(b"\0", 1)
    lfo = b",^PAT,93001,0.700000,0.000000,0.000000,0.010101,0.030000,0.000000,0.000000,0.000000"
    with open(saved("thirty"), "wb") as f:
        f.write(text.replace(b",^VOI", lfo * 30 + b",^VOI", 1) + b"\0" + trailer)
    return saved("thirty")


def four_voices():
    """Four voices told apart by their pitch."""
    with open(saved("fourvoices"), "wb") as f:
        f.write(b"QLT-VERSION:1.2a,^PAR,0.5" + b"".join(b",^VOI,%.1f,0.5,0.5,0,0.5,0.5,0" % p for p in PITCHES) + b"\0")
    return saved("fourvoices")


failures = []
live = []  # sessions still running; a failed case ends its own
chunks = {}  # the chunk each session saved, by name


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + (" " + detail if detail else ""))
    if not condition:
        failures.append(name)


def session(name, state, stopped, steps, checks):
    """Opens the editor on a state (None, an earlier session's name or a function making one), acts,
    waits after each step for its region to change (None: the whole picture), closes and checks."""
    if callable(state):
        state = state()
    editor = Editor(name, state=saved(state) if state in chunks else state, stopped=stopped)
    first = editor.picture
    for kind, what, region in steps:
        if kind in ("click", "drag"):
            editor.drag([what] if kind == "click" else what)
        else:  # "key" or "type"
            xdotool(kind, what)
        if region is not False:
            editor.changed(region=region)
    chunks[name] = editor.close()
    for label, measure, accept in checks:
        seen = measure(chunks[name], first, editor.picture)
        check(label + (" stopped" if stopped else ""), accept(seen), repr(seen))


# Regions whose change proves an action's result (x, y, width, height): a pressed face or a
# tooltip elsewhere must not count.
PAGE_TITLE = (34, 153, 126, 24)  # the page's name in the display on the left
PITCH_KNOB = (240, 140, 90, 90)  # "Pitch" on the voices page
PITCH_FIELD = (400, 182, 78, 24)  # its text field
EQ_PANE = (614, 362, 306, 106)  # the voice's EQ row in the side pane
HARMONY_PANE = (614, 470, 306, 200)
ROOT_FIELD = (229, 384, 78, 24)  # the first harmony interval's field
CHOOSER = (340, 150, 240, 390)  # the patch chooser's box on the voices page
VOLUME = (229, 429, 72, 72)  # "Global Volume"
PITCHES = (0.1, 0.2, 0.3, 0.4)
NEXT, PREV, DELETE = (554, 574), (503, 574), (502, 651)


def retype(key, at=(439, 194)):
    """Into the pitch field: focus, select all, one key (so a change of the field means the whole
    value is in: a busy host could otherwise show the first of two keys and close before the second)."""
    return [("click", at, PITCH_FIELD), ("key", "ctrl+a", PITCH_FIELD), ("type", key, PITCH_FIELD)]


def curve(chunk):  # an EQ patch's 64 points after its kind and 8 settings
    return [float(v) for v in chunk[chunk.index("^PAT") + 10:chunk.index("^PAT") + 74]]


def region_changed(box):
    return lambda chunk, first, last: first.region(*box) != last.region(*box)


INTERVAL = [("click", (780, 529), HARMONY_PANE), ("click", (778, 656), PAGE_TITLE), ("click", (268, 396), ROOT_FIELD),
            ("key", "ctrl+a", ROOT_FIELD), ("type", "7", ROOT_FIELD), ("key", "Return", False),
            ("click", (254, 155), PAGE_TITLE)]  # harmony ADD, its page, the field, 7, Return, BACK


def near(expected):
    return lambda value: abs(value - expected) < 1e-6


# Name, state, audio stopped, steps, checks (name, what is measured of the chunk and the first and last
# pictures, what is accepted).
cases = [
    ("volume", None, False, [("drag", line(((265, 465), (265, 385)), 16), VOLUME)],
     # From 0.5 (about 0.82 after the whole drag); a loaded sanitizer build can lose motion events, so "clearly up".
     [("a drag up on Global Volume raises it in the chunk", lambda c, *_: after(c, "^PAR", 2)[0], lambda v: v > 0.52)]),
    ("mix", None, False, [("click", (98, 372), PAGE_TITLE)],  # the mixer hotspot (32, 354) 132 x 37
     [("the page title changes", region_changed(PAGE_TITLE), bool),
      ("the body changes", region_changed((200, 100, 400, 400)), bool),
      ("the version label stays", region_changed((32, 476, 132, 24)), lambda changed: not changed)]),
    ("eq", None, False, [("click", (778, 420), EQ_PANE), ("click", (778, 420), PAGE_TITLE),  # ADD, then its page
                         ("drag", line(((380, 640), (870, 160)), 40), (845, 142, 36, 512))],  # up across the graph
     [("the patch is an EQ patch", lambda c, *_: after(c, "^PAT")[0], lambda kind: kind == 93003),
      ("the curve rises from left to right", lambda c, *_: (curve(c)[2], curve(c)[60]),
       lambda v: v[0] < 0.2 < 0.8 < v[1]),
      ("the whole curve was drawn", lambda c, *_: curve(c)[1:63], lambda v: all(abs(p - 0.5) > 1e-3 for p in v))]),
    ("focused", None, False, retype("9"),  # closed with the focus still in the field
     [("a value typed but not entered survives closing", lambda c, *_: after(c, "^VOI")[0], near(0.5 + 9 / 24))]),
    ("refocused", "focused", False, retype("3"),
     [("and again after reopening", lambda c, *_: after(c, "^VOI")[0], near(0.5 + 3 / 24))]),
    ("first", None, False, [("drag", line(((265, 465), (265, 425)), 8), None)], []),
    ("second", "first", False, [],
     [("a reopened editor saves what the first one left", lambda c, *_: c == chunks["first"], bool)]),
    ("digits", None, False,  # on "0.000", where the invisible fine knob's square also lies
     retype("5", at=(415, 194)) + [("key", "Return", PITCH_KNOB)],
     [("a click on the pitch digits, 5 and Return set Pitch to 5 semitones", lambda c, *_: after(c, "^VOI")[0],
       near(0.5 + 5 / 24))]),
    ("chooser-base", None, False, [], []),
    ("chooser", thirty_lfos, False,  # the modulate button beside Pitch; the last row turns the pages: down twice
     [("click", (235, 222), CHOOSER), ("click", (510, 500), CHOOSER), ("click", (510, 500), CHOOSER),
      ("click", (400, 202 + 24 * 8 + 10), CHOOSER)],  # the third page's last row: the thirtieth patch
     [("the thirtieth patch is picked from the third page",
       lambda c, *_: after(c, "^PAM"), lambda picked: picked == [29])]),
]
for stopped in (False, True):
    cases += [
        ("delete", four_voices, stopped, [("click", xy, PITCH_KNOB) for xy in (NEXT, NEXT, DELETE, PREV)],
         [("DELETE removes voice 3 whatever is selected next", lambda c, *_: after(c, "^VOI"),
           lambda pitches: pitches == [0.1, 0.2, 0.4])]),
        ("interval", None, stopped, INTERVAL,  # the set leaves Thirds (norm 0); the first interval is 7 of -24..24
         [("a typed interval survives BACK and closing", lambda c, *_: [after(c, "^PAT", k)[0] for k in (4, 7)],
           lambda v: v[0] > 0 and near(31 / 48)(v[1]))]),
    ]
for case in cases:
    try:
        session(*case)
    except Exception as error:  # a hung or crashed host is a failure of that case, not of the run
        check(case[0] + (" stopped" if case[2] else ""), False, repr(error))
        for crashed in list(live):
            crashed.process.kill()
            print(crashed.process.communicate()[1].decode(errors="replace")[-3000:])
            live.remove(crashed)
            window = getattr(crashed, "window", None)
            wait_for("the window to go", lambda: window not in xdotool("search", "--name", TITLE).split("\n"))
sys.exit(1 if failures else 0)
