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
        tokens, i = [], 0
        while len(tokens) < 4:  # magic, width, height, maxval; comments start with #
            while ppm[i:i + 1].isspace():
                i += 1
            if ppm[i:i + 1] == b"#":
                i = ppm.index(b"\n", i)
                continue
            j = i
            while not ppm[j:j + 1].isspace():
                j += 1
            tokens.append(ppm[i:j])
            i = j
        assert tokens[0] == b"P6" and tokens[3] == b"255", tokens
        self.width, self.height = int(tokens[1]), int(tokens[2])
        self.pixels = ppm[i + 1:i + 1 + self.width * self.height * 3]

    def region(self, x, y, w, h):
        rows = ((y + r) * self.width + x for r in range(h))
        return b"".join(self.pixels[start * 3:(start + w) * 3] for start in rows)

    def blank(self):
        return self.pixels.count(self.pixels[:3]) * 3 == len(self.pixels)


class Editor:
    """One session: the host with the editor open until close()."""

    def __init__(self, name, state=None, stopped=False):
        self.chunk = os.path.join(WORK, name + ".chunk")
        if os.path.exists(self.chunk):
            os.remove(self.chunk)
        args = [HOST, PLUGIN, "--editor", "--save-state", self.chunk]
        if state is not None:
            args += ["--state", state]
        if stopped:  # a host whose transport is stopped: no audio block at all
            args.append("--stopped")
        self.process = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        live.append(self)
        self.window = wait_for("the editor window",
                               lambda: xdotool("search", "--onlyvisible", "--name", TITLE).split("\n")[0])
        wait_for("the window's size", lambda: "920x690" in xdotool("getwindowgeometry", self.window))
        self.picture = self.settled(lambda p: not p.blank())

    def shot(self):
        return Picture(self.window)

    def settled(self, accept, looks=4):
        """The picture once it satisfies accept and stays the same for `looks` looks in a row."""
        history = []

        def check():
            now = self.shot()
            history.append(now)
            recent = history[-looks:]
            stable = len(recent) == looks and all(p.pixels == now.pixels for p in recent)
            return now if stable and accept(now) else None

        return wait_for("a settled picture", check)

    def changed(self, region=None):
        """Waits for the picture (or one region of it) to change after an action, then for it
        to settle."""
        before = self.picture
        if region is None:
            self.picture = self.settled(lambda p: p.pixels != before.pixels)
        else:
            self.picture = self.settled(lambda p: p.region(*region) != before.region(*region))
        return self.picture

    def at(self, x, y):
        xdotool("mousemove", "--window", self.window, x, y)

    def click(self, x, y):
        self.at(x, y)
        xdotool("click", 1)

    def drag(self, points):
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


def section(chunk, name):
    start = chunk.index(name) + 1
    end = start
    while end < len(chunk) and not chunk[end].startswith("^"):
        end += 1
    return [float(v) for v in chunk[start:end]]


def voices(chunk):
    return [section(chunk[i:], "^VOI") for i, token in enumerate(chunk) if token == "^VOI"]


def line(points, steps):
    (x0, y0), (x1, y1) = points
    return [(x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps) for i in range(steps + 1)]


failures = []
live = []  # sessions still running; a failed case ends its own


def check(name, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + name + (" " + detail if detail else ""))
    if not condition:
        failures.append(name)


def global_volume_follows_a_drag():
    editor = Editor("volume")
    # "Global Volume" is the knob at (229, 429), 72 pixels square: drag up from its centre.
    editor.drag(line(((265, 465), (265, 385)), 16))
    editor.changed(region=(229, 429, 72, 72))  # the knob turned
    chunk = editor.close()
    volume = section(chunk, "^PAR")[1]
    check("a drag up on Global Volume raises it in the chunk", volume > 0.55, "norm %.6f" % volume)


# Regions whose change proves an action's result (x, y, width, height): a pressed face or a
# tooltip elsewhere must not count.
PAGE_TITLE = (34, 153, 126, 24)  # the page's name in the display on the left
PITCH_KNOB = (240, 140, 90, 90)  # "Pitch" on the voices page
PITCH_FIELD = (400, 182, 78, 24)  # its text field
EQ_PANE = (614, 362, 306, 106)  # the voice's EQ row in the side pane


def the_mixer_hotspot_shows_the_mix_page():
    editor = Editor("mix")
    voices = editor.picture
    editor.click(98, 372)  # the mixer hotspot (32, 354) 132 x 37
    mix = editor.changed(region=PAGE_TITLE)
    # The page title and the body differ; the frame on the left is the same on both pages.
    check("the page title changes", voices.region(*PAGE_TITLE) != mix.region(*PAGE_TITLE))
    check("the body changes", voices.region(200, 100, 400, 400) != mix.region(200, 100, 400, 400))
    check("the version label stays", voices.region(32, 476, 132, 24) == mix.region(32, 476, 132, 24))
    editor.close()


def a_stroke_draws_the_eq_curve():
    editor = Editor("eq")
    editor.click(778, 420)  # the EQ pane's add button: a new EQ patch for this voice
    editor.changed(region=EQ_PANE)
    editor.click(778, 420)  # the EQ pane's title: its page
    editor.changed(region=PAGE_TITLE)
    # A stroke across the graph (369, 142) - (881, 654), low on the left, high on the right.
    editor.drag(line(((380, 640), (870, 160)), 40))
    editor.changed(region=(845, 142, 36, 512))  # the curve's right end is drawn too
    chunk = editor.close()
    patches = chunk.index("^PAT")
    kind = chunk[patches + 1]
    curve = [float(v) for v in chunk[patches + 2 + 8:patches + 2 + 72]]
    check("the patch is an EQ patch", kind == "93003", kind)
    check("the curve rises from left to right", curve[2] < 0.2 and curve[60] > 0.8,
          "points 2, 60: %.3f %.3f" % (curve[2], curve[60]))
    check("the whole curve was drawn", all(abs(v - 0.5) > 1e-3 for v in curve[1:63]))


def closing_with_a_focused_field_keeps_what_was_typed():
    editor = Editor("focused")
    editor.click(439, 194)
    editor.changed(region=PITCH_FIELD)  # the field has the focus
    xdotool("key", "ctrl+a")
    editor.changed(region=PITCH_FIELD)  # its text is selected
    # One key, so that a change of the field means the whole value is in: a busy host could
    # otherwise show the first of two keys and close before the second.
    xdotool("type", "9")
    editor.changed(region=PITCH_FIELD)
    chunk = editor.close()  # the field still has the focus
    pitch = section(chunk, "^VOI")[0]
    check("a value typed but not entered survives closing", abs(pitch - (0.5 + 9 / 24)) < 1e-6, "norm %.6f" % pitch)
    # Reopened on that state, with the focus in the field again when it closes.
    again = Editor("refocused", state=editor.chunk)
    again.click(439, 194)
    again.changed(region=PITCH_FIELD)
    xdotool("key", "ctrl+a")
    again.changed(region=PITCH_FIELD)
    xdotool("type", "3")
    again.changed(region=PITCH_FIELD)
    pitch = section(again.close(), "^VOI")[0]
    check("and again after reopening", abs(pitch - (0.5 + 3 / 24)) < 1e-6, "norm %.6f" % pitch)


CHOOSER = (340, 150, 240, 390)  # the patch chooser's box on the voices page


def a_long_patch_chooser_pages_inside_its_box():
    base = Editor("chooser-base")
    base.close()
    with open(base.chunk, "rb") as f:
        text, trailer = f.read().split(b"\0", 1)
    lfo = b",^PAT,93001,0.700000,0.000000,0.000000,0.010101,0.030000,0.000000,0.000000,0.000000"
    state = os.path.join(WORK, "thirty.chunk")
    with open(state, "wb") as f:
        f.write(text.replace(b",^VOI", lfo * 30 + b",^VOI", 1) + b"\0" + trailer)
    editor = Editor("chooser", state=state)
    editor.click(235, 222)  # the modulate button beside Pitch: the chooser of its modulators
    editor.changed(region=CHOOSER)
    for _ in range(2):  # the list's last row turns the pages: down twice to the third
        editor.click(510, 500)
        editor.changed(region=CHOOSER)
    editor.click(400, 202 + 24 * 8 + 10)  # the third page's last row: the thirtieth patch
    editor.changed(region=CHOOSER)
    chunk = editor.close()
    picked = [chunk[i + 1] for i, token in enumerate(chunk) if token == "^PAM"]
    check("the thirtieth patch is picked from the third page", picked == ["29"], str(picked))


def a_click_on_the_pitch_digits_reaches_the_field():
    editor = Editor("digits")
    editor.click(415, 194)  # on "0.000", where the invisible fine knob's square also lies
    editor.changed(region=PITCH_FIELD)  # the field has the focus
    xdotool("key", "ctrl+a")
    editor.changed(region=PITCH_FIELD)
    xdotool("type", "5")
    editor.changed(region=PITCH_FIELD)
    xdotool("key", "Return")
    editor.changed(region=PITCH_KNOB)
    pitch = section(editor.close(), "^VOI")[0]
    check("a click on the pitch digits, 5 and Return set Pitch to 5 semitones", abs(pitch - (0.5 + 5 / 24)) < 1e-6,
          "norm %.6f" % pitch)


def reopening_keeps_the_state():
    first = Editor("first")
    first.drag(line(((265, 465), (265, 425)), 8))
    first.changed()
    saved = first.close()
    second = Editor("second", state=first.chunk)
    again = second.close()
    check("a reopened editor saves what the first one left", saved == again)


def delete_takes_the_voice_selected_when_pressed(stopped):
    # Four voices told apart by their pitch; voice 3 is selected, deleted, then PREV is pressed.
    state = os.path.join(WORK, "fourvoices.chunk")
    with open(state, "wb") as f:
        f.write(b"QLT-VERSION:1.2a,^PAR,0.5" + b"".join(b",^VOI,%.1f,0.5,0.5,0,0.5,0.5,0" % p for p in PITCHES) + b"\0")
    editor = Editor("delete", state=state, stopped=stopped)
    for x, y in ((554, 574), (554, 574), (502, 651), (503, 574)):  # NEXT, NEXT, DELETE, PREV
        editor.click(x, y)
        editor.changed(region=PITCH_KNOB)  # each shows another voice's pitch
    pitches = [v[0] for v in voices(editor.close())]
    check("DELETE removes voice 3 whatever is selected next", pitches == [0.1, 0.2, 0.4], str(pitches))


def a_typed_interval_survives_back_and_closing(stopped):
    editor = Editor("interval", stopped=stopped)
    editor.click(780, 529)  # the harmony pane's add button: a new harmony patch for this voice
    editor.changed(region=HARMONY_PANE)
    editor.click(778, 656)  # the pane's title: its page
    editor.changed(region=PAGE_TITLE)
    editor.click(268, 396)  # the first interval's field (229, 384) 78 x 24
    editor.changed(region=ROOT_FIELD)
    xdotool("key", "ctrl+a")
    editor.changed(region=ROOT_FIELD)
    xdotool("type", "7")
    editor.changed(region=ROOT_FIELD)
    xdotool("key", "Return")
    editor.click(254, 155)  # BACK (226, 138) 57 x 34
    editor.changed(region=PAGE_TITLE)
    chunk = editor.close()
    values = [float(v) for v in chunk[chunk.index("^PAT") + 2:chunk.index("^PAT") + 8]]  # norms
    # Intervals span -24..24 semitones; the set is no longer Thirds (norm 0).
    check("a typed interval survives BACK and closing", values[2] > 0 and abs(values[5] - 31 / 48) < 1e-6,
          "set %.6f, interval %.6f" % (values[2], values[5]))


PITCHES = (0.1, 0.2, 0.3, 0.4)
HARMONY_PANE = (614, 470, 306, 200)
ROOT_FIELD = (229, 384, 78, 24)
cases = [(test, ()) for test in (global_volume_follows_a_drag, the_mixer_hotspot_shows_the_mix_page,
                                 a_stroke_draws_the_eq_curve, closing_with_a_focused_field_keeps_what_was_typed,
                                 reopening_keeps_the_state, a_long_patch_chooser_pages_inside_its_box,
                                 a_click_on_the_pitch_digits_reaches_the_field)]
cases += [(test, (stopped,)) for test in (delete_takes_the_voice_selected_when_pressed,
                                          a_typed_interval_survives_back_and_closing) for stopped in (False, True)]
for test, args in cases:
    try:
        test(*args)
    except Exception as error:  # a hung or crashed host is a failure of that case, not of the run
        check(test.__name__ + (" stopped" if args and args[0] else ""), False, repr(error))
        for session in list(live):
            session.process.kill()
            print(session.process.communicate()[1].decode(errors="replace")[-3000:])
            live.remove(session)
            window = getattr(session, "window", None)
            wait_for("the window to go", lambda: window not in xdotool("search", "--name", TITLE).split("\n"))
sys.exit(1 if failures else 0)
