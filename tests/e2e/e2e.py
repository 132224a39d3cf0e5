#!/usr/bin/python3
# e2e.py -- the real intro under a private X server: menu, window, keys, picture, sound and bad input
#   PYTHONPATH=tools tools/with-xvfb.sh tests/e2e/e2e.py INTRO REPO_ROOT [Class.test_name ...]
# Every run gets a temporary working directory with its own data/ folder (the committed files
# linked in, then the test's own written over them) and the menu answer in a file on stdin.
import array, math, os, random, shutil, struct, subprocess, sys, tempfile, unittest, wave
from collections import namedtuple
from statistics import correlation
from pathlib import Path
from Xlib import display, error, X, XK, protocol
from Xlib.ext import xtest

import harness                      # the reader of the interposer's report, waiting for an event
from harness import wait_for

INTRO, ROOT = map(os.path.abspath, sys.argv[1:3])
INTERPOSER = os.environ.get("E2E_INTERPOSER", "")   # tools/interpose: shifted clock, frame report, Escape
DATA = os.path.join(ROOT, "data")
IMAGES = ["logo.bmp", "bounce.bmp", "spark.bmp", "font.bmp", "bg.bmp"]
MENU = (b"\n\nChoose resolution\n\n1) 320x240 for software OpenGL\n2) 640x480 for hardware OpenGL\n"
        b"3) 1024x768 for hardware OpenGL on fast machines\n>")
SCREEN = (1280, 1024)               # what tools/with-xvfb.sh gives the server
CLEAR = (26, 128, 178)              # the clear colour (0.1, 0.5, 0.7)
BANNER = (51, 153, 204)             # the clear colour plus a tenth of a white banner
# upper bounds only, for a run that never comes: every wait ends at its event
START_S = 120                       # software GL on one busy core can be slow to come up
EVENT_S = 60                        # a key, a resize or a close to take effect
# SDL 1.2 over SDL2 (sdl12-compat, under a window manager) draws into the intro's one window and
# scales the picture into it when full screen; classic SDL 1.2 shows it unscaled in a child window
COMPAT = os.environ.get("E2E_SDL") == "sdl12-compat"
# the disk driver's file: 16-bit samples at the mixer's rate and channel count (32 kHz stereo without a
# soundtrack); SDL2 writes stereo, and at 44.1 kHz what is slower (as measured here)
disk_format = lambda rate=32000, channels=2: (max(rate, 44100), 2) if COMPAT else (rate, channels)
DISK_WARNING = (b"CRITICAL: You are using the SDL disk i/o audio driver!\nCRITICAL:  Writing to file [%s].\n"
                if COMPAT else b"WARNING: You are using the SDL disk writer audio driver!\n Writing to file [%s].\n")

View = namedtuple("View", "win x y w h full ox oy scale", defaults=(0, 0, 1))   # picture at ox, oy in win


def solid_bmp(w, h, rgb, bits=24):
    """An uncompressed BMP of 24 or 32 bits a pixel in one colour, rows bottom-up and padded to four bytes."""
    row = (bytes(rgb[::-1]) + b"\xff" * (bits == 32)) * w
    row += b"\0" * (-len(row) % 4)
    return (b"BM" + struct.pack("<IHHIIiiHHIIiiII", 54 + len(row) * h, 0, 0, 54, 40, w, h, 1, bits, 0,
                                len(row) * h, 2835, 2835, 0, 0) + row * h)


def lame_tone(folder, rate, channels):
    """A second of a 1 kHz tone encoded by lame at this rate, with an ID3v2 tag and a Xing frame in front."""
    wav, mp3 = os.path.join(folder, "tone.wav"), os.path.join(folder, "tone.mp3")
    with wave.open(wav, "wb") as w:
        w.setnchannels(channels), w.setsampwidth(2), w.setframerate(rate)
        w.writeframes(array.array("h", (round(12000 * math.sin(2 * math.pi * 1000 * i / rate))
                                        for i in range(rate) for _ in range(channels))).tobytes())
    subprocess.run(["lame", "--quiet", "-b", "64", "--resample", str(rate / 1000), "-m", "sm"[channels == 1],
                    "--id3v2-only", "--tt", "tone", wav, mp3], check=True)
    return Path(mp3).read_bytes()


def tone_frequency(pcm, rate, channels):
    """The frequency of a tone in the disk driver's file of 16-bit samples, from its first channel's
    rising zero crossings over half a second, starting a tenth of a second into the sound."""
    left = array.array("h", pcm[:len(pcm) // 2 * 2])[0::channels]
    start = next(i for i, s in enumerate(left) if abs(s) > 1000) + rate // 10
    window = left[start:start + rate // 2]
    rising = [i + a / (a - b) for i, (a, b) in enumerate(zip(window, window[1:])) if a < 0 <= b]
    return (len(rising) - 1) * rate / (rising[-1] - rising[0])


def interposed(report):
    """The settings that run the intro under the interposer, writing its report."""
    return {"LD_PRELOAD": ":".join(filter(None, [os.environ.get("LD_PRELOAD"), INTERPOSER])),
            "INTERPOSE_REPORT": report}


def first_loud(pcm, frame, level=64):
    """Where the first frame of 16-bit samples with one of at least this level starts, in bytes."""
    samples = array.array("h", pcm[:len(pcm) // frame * frame])
    quiet = (len(pcm) - len(pcm.lstrip(b"\0"))) // 2   # a silent device writes zeros
    return next((i * 2 // frame * frame for i in range(quiet, len(samples)) if abs(samples[i]) >= level), None)


def decoded(mp3, seconds, rate):
    """The first seconds of an MP3 as 16-bit stereo at rate, decoded by ffmpeg."""
    return subprocess.run(["ffmpeg", "-v", "error", "-t", str(seconds), "-i", mp3, "-f", "s16le", "-ac", "2",
                           "-ar", str(rate), "-"], capture_output=True, check=True).stdout


def rms(pcm):
    samples = array.array("h", pcm)
    return math.sqrt(sum(s * s for s in samples) / max(len(samples), 1))


def envelope(pcm, rate, ms=10):
    """The loudness of every ms of 16-bit stereo: what a listener follows, whichever decoder made it."""
    step = 4 * rate * ms // 1000
    return [rms(pcm[i:i + step]) for i in range(0, len(pcm) - step + 1, step)]


class Shot:
    """The pixels of a window, as the X server holds them (blue, green, red, pad)."""
    def __init__(self, w, h, data):
        self.w, self.h, self.data = w, h, data

    def at(self, x, y):
        if not (0 <= x < self.w and 0 <= y < self.h):
            return 0, 0, 0   # outside a picture that has gone
        i = 4 * (y * self.w + x)
        return self.data[i + 2], self.data[i + 1], self.data[i]

    def brightness(self, x0, y0, w, h):
        return sum(sum(self.at(x, y)) / 3 for y in range(y0, y0 + h) for x in range(x0, x0 + w)) / (w * h)

    def pixels(self):
        rgb = bytearray(self.data)
        rgb[3::4] = bytes(len(rgb) // 4)   # the pad byte holds whatever GL left there
        return array.array("I", rgb)

    def share(self, colour):
        """The share of pixels of exactly this colour."""
        return self.pixels().count(colour[0] << 16 | colour[1] << 8 | colour[2]) / (self.w * self.h)

    def find(self, colour):
        """Where the first pixel of exactly this colour is."""
        i = self.pixels().index(colour[0] << 16 | colour[1] << 8 | colour[2])
        return i % self.w, i // self.w


class E2E(unittest.TestCase):
    def setUp(self):
        self.procs = []   # every intro this test started
        self.addCleanup(self.end_intros)

    def end_intros(self):
        for proc in self.procs:
            proc.poll() is None and (proc.kill(), proc.wait())

    def x(self):
        if not hasattr(self, "dpy"):
            self.dpy = display.Display()
            self.root = self.dpy.screen().root
            self.root.change_attributes(event_mask=X.SubstructureNotifyMask)   # to see maps
            self.addCleanup(self.dpy.close)
        return self.dpy

    def launch(self, answer=b"2\n", data=(), env=(), size=(640, 480), prefix=()):
        """Starts the intro in a temporary directory (data: file of data/ to bytes, None leaves it
        out; env: settings, None unsets) after ending any earlier one; waits for it full screen at size,
        a frame drawn."""
        self.end_intros()
        tmp = tempfile.mkdtemp(prefix="e2e-")
        self.addCleanup(shutil.rmtree, tmp, True)
        if data is not None:
            os.mkdir(os.path.join(tmp, "data"))
            for name in os.listdir(DATA):
                os.symlink(os.path.join(DATA, name), os.path.join(tmp, "data", name))
            for name, content in dict(data).items():
                os.remove(os.path.join(tmp, "data", name))
                if content is not None:
                    Path(tmp, "data", name).write_bytes(content)
        Path(tmp, "answer").write_bytes(answer or b"")
        env = dict(os.environ, **{"SDL_AUDIODRIVER": "dummy", "LIBGL_ALWAYS_SOFTWARE": "1", **dict(env)})
        env = {k: v for k, v in env.items() if v is not None}   # None unsets
        if "DISPLAY" in env:
            self.x()
        with open(os.path.join(tmp, "answer"), "rb") as stdin, \
                open(os.path.join(tmp, "out"), "wb") as out, open(os.path.join(tmp, "err"), "wb") as err:
            proc = subprocess.Popen([*prefix, INTRO], cwd=tmp, env=env, stdin=subprocess.PIPE if answer is None
                                    else stdin, stdout=out, stderr=err)
        proc.dir = tmp
        self.procs.append(proc)
        if not size:
            return proc, None
        view = wait_for(lambda: self.view(size, True), START_S)
        self.assertTrue(view, "no full-screen window of %dx%d; stderr: %r" % (*size, self.output(proc)[1]))
        self.assertTrue(wait_for(lambda: self.shot(view).share((0, 0, 0)) < 1, START_S), "no picture")
        return proc, view

    def output(self, proc):
        return tuple(Path(proc.dir, f).read_bytes() for f in ("out", "err"))

    def windows(self, parent):
        try:
            return [w for w in parent.query_tree().children if w.get_attributes().map_state == X.IsViewable]
        except error.XError:   # a window that went away meanwhile
            return []

    def view(self, size=None, full=None):
        return (self.scaled_view if COMPAT else self.child_view)(size, full)

    def scaled_view(self, size, full):
        """The intro's window if it is shown at the size asked for, or full screen with the picture
        scaled to fill the screen's width or height."""
        try:
            win = self.wm_window()
            g, at = win.get_geometry(), self.root.translate_coords(win, 0, 0)
            shown = win.get_attributes().map_state == X.IsViewable
        except (error.XError, StopIteration):
            return None
        is_full = (g.width, g.height) == SCREEN
        w, h = size or (g.width, g.height)
        scale = min(g.width / w, g.height / h)
        if not shown or full not in (None, is_full) or not is_full and (g.width, g.height) != (w, h):
            return None
        return View(win, at.x, at.y, w, h, is_full, (g.width - round(w * scale)) // 2,
                    (g.height - round(h * scale)) // 2, scale)

    def child_view(self, size, full):
        """The one shown child of a shown top-level window (screen-sized and override-redirect when
        full screen) if it is of the size and state asked for."""
        views = []
        for top in self.windows(self.root):
            for win in self.windows(top):
                try:
                    g, at = win.get_geometry(), self.root.translate_coords(win, 0, 0)
                    full_screen = top.get_attributes().override_redirect and \
                        (top.get_geometry().width, top.get_geometry().height) == SCREEN
                except error.XError:
                    continue
                views.append(View(win, at.x, at.y, g.width, g.height, bool(full_screen)))
        if len(views) != 1 or size and views[0][3:5] != size or full not in (None, views[0].full):
            return None
        return views[0]

    def shot(self, view):
        """The picture in the view; a black pixel when the view has gone."""
        try:
            w, h = round(view.w * view.scale), round(view.h * view.scale)
            data = view.win.get_image(view.ox, view.oy, w, h, X.ZPixmap, 0xffffffff).data
        except (error.XError, AttributeError):
            return Shot(1, 1, b"\0" * 4)
        if view.scale == 1:
            return Shot(w, h, data)
        # sampled back to the intro's own size, a pixel from the middle of each scaled one
        pixels, picked = array.array("I", data), array.array("I")
        columns = [int((x + 0.5) * view.scale) for x in range(view.w)]
        for y in range(view.h):
            row = int((y + 0.5) * view.scale) * w
            picked.extend(pixels[row + c] for c in columns)
        return Shot(view.w, view.h, picked.tobytes())

    def wm_window(self, program="intro"):
        """A program's top-level window (the intro's takes keys, resizes and close requests); weston's
        instance name carries a number."""
        tops = self.root.query_tree().children   # under a window manager, inside its frame
        return next(w for w in tops + [c for t in tops for c in t.query_tree().children]
                    if (w.get_wm_class() or ("",))[0].split("-")[0] == program)

    def key(self, name, window=None):
        # give the intro (or the compositor it runs in) the focus as a window manager would
        (window or self.wm_window()).set_input_focus(X.RevertToPointerRoot, X.CurrentTime)
        code = self.dpy.keysym_to_keycode(XK.string_to_keysym(name))
        xtest.fake_input(self.dpy, X.KeyPress, code)
        xtest.fake_input(self.dpy, X.KeyRelease, code)
        self.dpy.sync()

    def finish(self, proc, status=0, out=MENU, err=b""):
        """Waits for the intro to end and checks its status and its console."""
        self.assertTrue(wait_for(lambda: proc.poll() is not None, EVENT_S), "still running")
        self.assertEqual((status, out, err), (proc.returncode, *self.output(proc)))

    def quit(self, proc, err=b""):
        self.key("Escape")
        self.finish(proc, err=err)

    def disk_audio(self, data, seconds):
        """Runs the intro on the disk audio driver: seconds of what it played from its first loud sample on,
        with the rate and channels of the driver's file (the device the interposer reports); b"" when the
        device took 3 s of silence after the first frame, by when the music has started if it will. However
        far the driver's writer runs ahead of the music, nothing is timed by the clock."""
        folder = tempfile.mkdtemp(prefix="e2e-audio-")
        self.addCleanup(shutil.rmtree, folder)
        audio, report = os.path.join(folder, "audio.raw"), os.path.join(folder, "report")
        # SDL2's disk writer keeps real time by default; classic SDL's runs free with no delay
        env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": audio, "SDL_DISKAUDIODELAY": None if COMPAT else "0",
               **interposed(report)}
        proc, view = self.launch(data=data, env=env)
        drawn = os.path.getsize(audio)

        def heard():
            device = os.path.exists(report) and harness.read_report(report).get("audio")
            rate, channels = disk_format(*device) if device else disk_format()   # no music: the default
            pcm = Path(audio).read_bytes() if os.path.exists(audio) else b""
            start = first_loud(pcm, 2 * channels)
            if start is None:
                return len(pcm) >= drawn + 3 * rate * 2 * channels and (b"", rate, channels)
            end = start + int(seconds * rate) * 2 * channels
            return device and len(pcm) >= end and (pcm[start:end], rate, channels)
        got = wait_for(heard, START_S)
        self.assertTrue(got, "not %s s of audio" % seconds)
        self.quit(proc, err=DISK_WARNING % audio.encode())
        return got


class Menu(E2E):
    def test_answer_picks_the_size_centred_full_screen(self):
        for answer, w, h in [(b"1\n", 320, 240), (b"2\n", 640, 480), (b"3\n", 1024, 768), (b"x\n", 640, 480)]:
            with self.subTest(answer=answer):
                proc, view = self.launch(answer, size=(w, h))
                self.assertEqual(((SCREEN[0] - w) // 2, (SCREEN[1] - h) // 2), (view.x, view.y))
                self.quit(proc)

    def test_menu_shows_before_the_answer_is_typed(self):
        proc, _ = self.launch(None, size=None)   # stdin held open, nothing typed yet
        self.assertTrue(wait_for(lambda: self.output(proc)[0] == MENU, EVENT_S), self.output(proc))
        proc.stdin.write(b"1\n")
        proc.stdin.close()
        self.assertTrue(wait_for(lambda: self.view((320, 240), True), START_S), "no window")
        self.quit(proc)


class Failures(E2E):
    def test_no_display(self):
        proc, _ = self.launch(env={"DISPLAY": None, "SDL_VIDEODRIVER": "x11"}, size=None)
        self.finish(proc, 1, err=b"Video initialization failed: No available video device\n")


class Window(E2E):
    def test_close_request_ends_with_zero(self):
        proc, view = self.launch()
        wm = self.wm_window()
        wm.send_event(protocol.event.ClientMessage(
            window=wm, client_type=self.dpy.intern_atom("WM_PROTOCOLS"),
            data=(32, [self.dpy.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])))
        self.dpy.sync()
        self.finish(proc)

    def test_f_both_ways_and_resizes_keep_the_picture(self):
        # the banner alone, white: textured and blended, it lifts the clear colour by a tenth out to
        # near every edge; lost textures or blending would show white or black there instead
        proc, view = self.launch(data=dict(dict.fromkeys(IMAGES), **{"bg.bmp": solid_bmp(64, 64, (255,) * 3)}))
        for step, (w, h), full in [("f", (640, 480), False), ("resize", (800, 600), False),
                                   ("resize", (400, 300), False), ("f", (400, 300), True)]:
            with self.subTest(step=step, size=(w, h)):
                if step == "f":
                    self.key("f")
                else:
                    self.wm_window().configure(width=w, height=h)
                    self.dpy.sync()
                view = wait_for(lambda: self.view((w, h), full), EVENT_S)
                self.assertTrue(view, "no %s view of %dx%d" % ("full-screen" if full else "window", w, h))
                # without a window manager, leaving full screen puts the window in the corner
                self.assertTrue(COMPAT or full or (view.x, view.y) == (0, 0), view)
                corners = [(int(fx * w), int(fy * h)) for fx in (0.1, 0.9) for fy in (0.1, 0.9)]
                colours = lambda: [self.shot(self.view((w, h), full)).at(*p) for p in corners]
                self.assertTrue(wait_for(lambda: all(max(map(abs, map(int.__sub__, c, BANNER))) <= 3 for c in colours()), EVENT_S), colours())
        self.quit(proc)


class Wayland(E2E):
    """SDL 1.2 over SDL2 on a Wayland compositor that runs in a window of the X server."""
    def test_f_and_escape(self):
        proc, _ = self.launch(env={"SDL_VIDEODRIVER": "wayland"}, size=None)
        weston = self.wm_window("weston")
        output = View(weston, 0, 0, *SCREEN, True)
        edge = lambda: self.shot(output).at(5, SCREEN[1] // 2)   # the picture's margin when full screen
        self.assertTrue(wait_for(lambda: edge() == CLEAR, START_S), "no full-screen picture")
        self.key("f", weston)
        # in a window: the compositor's desktop around it, the picture inside (this once crashed)
        self.assertTrue(wait_for(lambda: edge() not in (CLEAR, (0, 0, 0)), EVENT_S), "still full screen")
        self.assertTrue(wait_for(lambda: self.shot(output).share(CLEAR) > 0.001, EVENT_S), "no picture")
        self.assertIsNone(proc.poll(), "the intro ended")
        # the compositor may keep the keys from the window that replaced the full-screen one until it is
        # clicked, as one would
        at = self.root.translate_coords(weston, *self.shot(output).find(CLEAR))
        xtest.fake_input(self.dpy, X.MotionNotify, x=at.x, y=at.y)
        xtest.fake_input(self.dpy, X.ButtonPress, 1)
        xtest.fake_input(self.dpy, X.ButtonRelease, 1)
        self.key("Escape", weston)
        self.assertTrue(wait_for(lambda: proc.poll() is not None, EVENT_S), "still running")
        self.assertEqual(0, proc.returncode)


class Picture(E2E):
    def test_picture_shows_the_logo_in_the_rolled_frame_and_moves(self):
        proc, view = self.launch()
        # the rolled picture leaves the clear colour in its margins; the logo circles in the
        # upper middle and lights it well above the banner alone (which gives at most + 40)
        def lit():
            shot = self.shot(view)
            return shot.share(CLEAR) > 0.005 and shot.brightness(160, 48, 320, 128) > sum(CLEAR) / 3 + 45 and shot
        first = wait_for(lit, START_S)
        self.assertTrue(first, "no logo over the banner in a rolled picture")
        self.assertTrue(wait_for(lambda: self.shot(view).data != first.data, EVENT_S), "a still picture")
        self.quit(proc)


class BadData(E2E):
    def test_bad_images_leave_the_rest_running(self):
        logo = Path(DATA, "logo.bmp").read_bytes()
        # the share of the picture left in the clear colour: all of it with nothing to draw,
        # little of it while the other layers draw (most, when the banner is the broken one)
        for name, data, clear in [
                ("no data folder", None, (1, 1)), ("zero bytes", {"logo.bmp": b""}, (0, 0.8)),
                ("random bytes", {"bounce.bmp": random.Random(7).randbytes(3000)}, (0, 0.8)),
                ("huge claimed size", {"bg.bmp": logo[:18] + struct.pack("<ii", 2**30, 2**30) + logo[26:]}, (0, 0.95)),
                ("32-bit image", {"font.bmp": solid_bmp(64, 64, (255, 0, 0), 32)}, (0, 0.8))]:
            with self.subTest(name):
                proc, view = self.launch(data=data)
                share = lambda: self.shot(view).share(CLEAR)
                self.assertTrue(wait_for(lambda: clear[0] <= share() <= clear[1], EVENT_S), share())
                self.quit(proc)

    def test_bad_soundtrack_leaves_it_silent(self):
        glued = Path(ROOT, "tests/hardening/corpus-mp3/glued_rates.mp3").read_bytes()
        for name, mp3 in [("random bytes", random.Random(40).randbytes(100000)), ("two rates glued", glued),
                          ("empty", b"")]:
            with self.subTest(name):
                self.assertEqual(b"", self.disk_audio({"soundtrack.mp3": mp3}, 2)[0])


class Soundtracks(E2E):
    def test_soundtrack_reaches_the_audio_device(self):
        played, rate, channels = self.disk_audio({}, 2)
        own = decoded(os.path.join(DATA, "soundtrack.mp3"), 3, rate)
        own = own[first_loud(own, 4):][:len(played)]
        # loud, and the soundtrack itself at its own speed: every 10 ms as loud as in the file
        self.assertEqual((2 * 4 * rate, 2), (len(played), channels))
        self.assertGreater(rms(played), 1000)
        self.assertGreater(correlation(envelope(played, rate), envelope(own, rate)), 0.9)

    def test_every_rate_plays_at_its_true_pitch_whatever_trails_it(self):
        tmp = tempfile.mkdtemp(prefix="e2e-tone-")
        self.addCleanup(shutil.rmtree, tmp)
        # lame's ID3v2 tag and Xing frame in front of every file, and behind it in turn: a newline, zeros,
        # 3 bytes of a frame, Lyrics3 and ID3v1, an ID3v2 tag (the check's table crosses the rest)
        tails = [b"\n", bytes(16), b"\xff\xfb\x90", b"LYRICSBEGININD00003110000022LYRICS200TAG" + b" " * 125,
                 b"ID3\x04\x00\x00\x00\x00\x00\x14" + b"x" * 20]
        rates = [(rate, channels) for rate in (8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000)
                 for channels in (1, 2)]
        for (rate, channels), tail in zip(rates, tails * 4):
            with self.subTest(rate=rate, channels=channels, tail=tail[:12]):
                sound = self.disk_audio({"soundtrack.mp3": lame_tone(tmp, rate, channels) + tail}, 1)
                self.assertTrue(sound[0], "silent")
                self.assertAlmostEqual(tone_frequency(*sound), 1000, delta=10)

    def test_a_damaged_soundtrack_plays_on_past_each_damage(self):
        song, frame, junk = Path(DATA, "soundtrack.mp3").read_bytes(), 576, random.Random(27).randbytes(50)
        frames = len(song) // frame
        cuts = [2, frames // 2, frames - 10]   # junk after frame 2, in the middle and 0.36 s from the end
        damaged = b"".join(song[a * frame:b * frame] + junk for a, b in zip([0] + cuts, cuts))
        played, rate, _ = self.disk_audio({"soundtrack.mp3": damaged + song[cuts[-1] * frame:]}, 122)
        own = decoded(os.path.join(DATA, "soundtrack.mp3"), 121, rate)
        own = (own[first_loud(own, 4):] + own)[:len(played)]   # on through the loop point
        # every 10 ms as loud as the undamaged song across each damage (0.07 s, 60 s, 119.7 s) and the loop
        for second in (0, 58, 118):
            part = slice(second * 4 * rate, (second + 4) * 4 * rate)
            loudness = correlation(envelope(played[part], rate), envelope(own[part], rate))
            self.assertGreater(loudness, 0.9, second)


class LongRuns(E2E):
    """Runs under the interposer, which writes every frame's tick reading to a report and presses Escape."""
    def run_interposed(self, settings, prefix=(), seconds=120, watch=lambda proc: None):
        report = os.path.join(tempfile.mkdtemp(prefix="e2e-report-"), "report")
        self.addCleanup(shutil.rmtree, os.path.dirname(report))
        proc, _ = self.launch(b"1\n", env={**interposed(report), **settings}, size=None, prefix=prefix)
        watch(proc)
        self.assertTrue(wait_for(lambda: proc.poll() is not None, seconds, 1), "still running")
        self.assertEqual((0, b""), (proc.returncode, self.output(proc)[1]))
        return [frame[0] for frame in harness.read_report(report)["frames"]]

    def test_pace_holds_through_both_wrap_points_of_the_tick_counter(self):
        # on the virtual clock, which moves only while the intro sleeps: however busy the machine, a frame
        # every 21 ms across the wrap (the first at once: the last frame's time starts at 0); a signed
        # comparison bunches them there or stops them
        for wrap in (2**31, 2**32):
            with self.subTest(wrap=wrap):
                start = wrap - 2000
                ticks = self.run_interposed({"INTERPOSE_VIRTUAL": "1", "INTERPOSE_TICKS": str(start),
                                             "INTERPOSE_QUIT_FRAMES": "200"})
                self.assertEqual(list(range(1, 21 * 200, 21)), [(t - start) % 2**32 for t in ticks])

    def test_soak_ten_minutes_memory_flat(self):
        rss = []   # resident KiB every 10 s from 30 s on, once textures, GL and audio are set up
        def sample(proc):
            while wait_for(lambda: proc.poll() is not None, 10, 1) is False:
                status = Path("/proc/%d/status" % proc.pid).read_text()
                rss.append(int(status.split("VmRSS:")[1].split()[0]))
        frames = self.run_interposed({"INTERPOSE_QUIT_SECONDS": "600"}, seconds=60, watch=sample)
        self.assertLess(max(rss[2:]) - rss[2], 2048)
        self.assertGreater(len(frames), 600 * 1000 / 21 / 5)   # on pace, within a busy machine's bounds

    def test_valgrind_memcheck_hundred_frames(self):
        memcheck = ("valgrind", "-q", "--leak-check=full", "--show-leak-kinds=definite", "--errors-for-leak-kinds=definite",
                    "--keep-debuginfo=yes", "--num-callers=30", "--error-exitcode=99",
                    "--suppressions=" + os.path.join(ROOT, "tests/hardening/valgrind.supp"))
        frames = self.run_interposed({"INTERPOSE_QUIT_FRAMES": "100"}, prefix=memcheck, seconds=600)
        self.assertGreaterEqual(len(frames), 100)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
