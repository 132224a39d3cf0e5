#!/usr/bin/env python3
# web_test.py -- the browser build in Debian's headless chromium, served by a local http.server
#   web_test.py WWW_FOLDER NATIVE_BUILD_DIR
# Chromium is driven over its DevTools protocol: the page picks 640x480 from its query, the
# canvas is photographed twice a second apart, a click starts the music, Escape ends the show.
# The page keeps one frame, which is held against the same frame of the native intro, recorded
# by tools/capture: the browser's platform layer has to give the native picture.
import base64, json, os, subprocess, sys, tempfile, time, unittest, urllib.request
from pathlib import Path
import websocket   # Debian's python3-websocket

WWW, BUILD = map(os.path.abspath, sys.argv[1:3])
TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
CAPTURE = os.path.join(TOOLS, "capture", "capture")
sys.path.insert(0, TOOLS)
import harness                   # chromium and the local web server
TONE = os.path.join(os.path.dirname(__file__), "..", "hardening", "corpus-mp3", "id3v2_xing_newline.mp3")
KEPT = 144                       # the page counts frames from 1, the capture from 0
BLOCK = 16                       # the pictures are compared as means of 16x16 blocks
CLEAR = (26, 128, 178)           # the clear colour (0.1, 0.5, 0.7)
WIDTH, HEIGHT = 640, 480
# upper bounds only, for what never comes: every wait ends at its event
START_S = 120                    # WebGL on SwiftShader beside the rest of the suite can be slow
EVENT_S = 60


def wait_for(cond, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while not (value := cond()) and time.monotonic() < deadline:
        time.sleep(step)
    return value


class Page:
    """One chromium tab over the DevTools protocol, keeping every console error and exception."""
    def __init__(self, profile, flags=()):
        self.proc = harness.chromium(profile, *flags, "--remote-debugging-port=0", "--window-size=800,600", "about:blank",
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = Path(profile, "DevToolsActivePort")
        if not wait_for(lambda: port_file.exists() and port_file.read_text().strip(), START_S):
            raise RuntimeError("chromium gave no DevTools port")
        port = port_file.read_text().split()[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        self.ws = websocket.create_connection(next(t for t in targets if t["type"] == "page")["webSocketDebuggerUrl"])
        self.next_id, self.errors, self.logs, self.paused = 0, [], [], []
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable")

    def close(self):
        self.ws.close()
        harness.stop(self.proc)

    def note(self, event):
        method, params = event.get("method"), event.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description"))) for a in params["args"])
            (self.errors if params["type"] == "error" else self.logs).append(text)
        elif method == "Runtime.exceptionThrown":
            self.errors.append(json.dumps(params["exceptionDetails"])[:400])
        elif method == "Fetch.requestPaused":
            self.paused.append(params["requestId"])
        elif method == "Log.entryAdded" and (params["entry"]["level"] == "error" or "WebGL" in params["entry"]["text"]):
            self.errors.append(params["entry"]["text"])

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.recv())
            if message.get("id") == self.next_id:
                return message.get("result", {})
            self.note(message)

    def eval(self, expression):
        return self.call("Runtime.evaluate", expression=expression, returnByValue=True)["result"].get("value")

    def kept_frame(self):
        return decode(base64.b64decode(self.eval("Module.keptFrame").split(",")[1]))

    def canvas_pixels(self):
        """The canvas as the page shows it: a screenshot clipped to it, decoded to RGB by ffmpeg."""
        box = self.eval("(r => [r.x, r.y])(document.getElementById('canvas').getBoundingClientRect())")
        png = self.call("Page.captureScreenshot", format="png",
                        clip={"x": box[0], "y": box[1], "width": WIDTH, "height": HEIGHT, "scale": 1})["data"]
        return decode(base64.b64decode(png))

    def key(self, name, code, keycode):
        # held like a real key until the intro has drawn two frames, so its loop has seen it down; a key
        # that ends the show may take the intro away first
        shown = lambda: self.eval("window.Module && Module.framesShown")
        self.call("Input.dispatchKeyEvent", type="keyDown", key=name, code=code, windowsVirtualKeyCode=keycode)
        down = shown()
        wait_for(lambda: (lambda now: not down or not now or now >= down + 2)(shown()), EVENT_S)
        self.call("Input.dispatchKeyEvent", type="keyUp", key=name, code=code, windowsVirtualKeyCode=keycode)


def decode(png):
    """RGB bytes of a PNG, through ffmpeg."""
    return subprocess.run(["ffmpeg", "-v", "error", "-f", "png_pipe", "-i", "-", "-f", "rawvideo", "-pix_fmt", "rgb24",
                           "-"], input=png, capture_output=True, check=True).stdout


def native_frame(folder):
    png = os.path.join(folder, "native.png")
    subprocess.run([CAPTURE, "-r", "2", "-d", "4", "--shot-frame", str(KEPT - 1), "--build", BUILD, "-o",
                    os.path.join(folder, "native.mp4"), "-p", png], check=True, capture_output=True)
    return decode(Path(png).read_bytes())


def block_means(rgb):
    return [sum(rgb[3 * (y * WIDTH + x) + c] for y in range(by, by + BLOCK) for x in range(bx, bx + BLOCK)) / BLOCK ** 2
            for by in range(0, HEIGHT, BLOCK) for bx in range(0, WIDTH, BLOCK) for c in range(3)]


def near_clear_share(rgb):
    pixels = [rgb[i:i + 3] for i in range(0, len(rgb), 3)]
    return sum(all(abs(p[c] - CLEAR[c]) <= 2 for c in range(3)) for p in pixels) / len(pixels)


def brightness(rgb, x0, y0, w, h):
    return sum(sum(rgb[3 * (y * WIDTH + x):3 * (y * WIDTH + x) + 3]) / 3
               for y in range(y0, y0 + h) for x in range(x0, x0 + w)) / (w * h)


def viewport(page, width, height, mobile=False):
    page.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1, mobile=mobile)
    page.call("Emulation.setTouchEmulationEnabled", enabled=mobile, **({"maxTouchPoints": 5} if mobile else {}))


def screenshot(page):
    return decode(base64.b64decode(page.call("Page.captureScreenshot", format="png")["data"]))


def lit_span(values, floor=20):
    """First and last index of a pixel brighter than the page's black in any channel."""
    lit = [i for i in range(0, len(values), 3) if max(values[i:i + 3]) > floor]
    return lit[0] // 3, lit[-1] // 3


def picture_box(rgb, width, height):
    """Left, top, right, bottom of what is lit along the middle row and the middle column."""
    row = rgb[3 * width * (height // 2):3 * width * (height // 2 + 1)]
    column = b"".join(rgb[3 * (y * width + width // 2):3 * (y * width + width // 2) + 3] for y in range(height))
    (left, right), (top, bottom) = lit_span(row), lit_span(column)
    return left, top, right, bottom


def tap(page, x, y):
    page.call("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": x, "y": y}])
    page.call("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])


def frames(page):
    return page.eval("window.Module ? Module.framesShown : 0") or 0


def shown(page, element):
    return page.eval(f"getComputedStyle(document.getElementById('{element}')).display") != "none"


class WebPage(unittest.TestCase):
    FLAGS = ()

    def setUp(self):
        self.site = self.enterContext(harness.serve(WWW))
        profile = tempfile.TemporaryDirectory(ignore_cleanup_errors=True)
        self.addCleanup(profile.cleanup)
        self.page = Page(profile.name, self.FLAGS)
        self.addCleanup(self.page.close)

    def test_intro_at_640x480_plays_after_a_click_and_escape_returns_to_the_choice(self):
        page = self.page
        viewport(page, WIDTH, HEIGHT)   # the picture fits the window: here at its own size
        page.call("Page.navigate", url=f"{self.site}index.html?res=2&frame={KEPT}")
        self.assertTrue(wait_for(lambda: (page.eval("window.Module ? Module.framesShown : 0") or 0) > KEPT, START_S),
                        page.errors + page.logs)
        self.assertEqual(page.eval("(c => c.width + 'x' + c.height)(document.getElementById('canvas'))"), "640x480")

        first = page.canvas_pixels()
        # the rolled picture leaves the clear colour in its margins; the logo circles in the
        # upper middle and lights it well above the banner alone (which gives at most + 40)
        self.assertGreater(near_clear_share(first), 0.005)
        self.assertGreater(brightness(first, 160, 48, 320, 128), sum(CLEAR) / 3 + 45)
        self.assertTrue(wait_for(lambda: page.canvas_pixels() != first, EVENT_S), "a still picture")

        # the same frame as the native intro's; the sparks are placed at random, and one that comes
        # close to the eye crosses several blocks, so a few blocks in a hundred may differ
        with tempfile.TemporaryDirectory() as folder:
            native = block_means(native_frame(folder))
        differences = sorted(abs(a - b) for a, b in zip(block_means(page.kept_frame()), native))
        self.assertLess(differences[len(differences) * 95 // 100], 6)

        # no gesture has been made yet, so the browser holds the music back until the click
        self.assertTrue(page.eval("Module.music[0].paused"))
        for kind in ("mousePressed", "mouseReleased"):
            page.call("Input.dispatchMouseEvent", type=kind, x=400, y=300, button="left", clickCount=1)
        self.assertTrue(wait_for(lambda: page.eval("!Module.music[0].paused && Module.music[0].currentTime > 0"),
                                 EVENT_S))
        # the whole soundtrack, 120.06 s, repeats from one buffer, with no element's gap at the loop point
        self.assertEqual(page.eval("(s => [s.loop, s.buffer.duration.toFixed(2)])(Module.music[0].source)"),
                         [True, "120.06"])

        page.key("Escape", "Escape", 27)
        back = "location.search === '' && getComputedStyle(document.getElementById('choice')).display !== 'none'"
        # the page loads again, which on a busy machine can take as long as the first load
        self.assertTrue(wait_for(lambda: page.eval(back), START_S), page.errors + page.logs[-5:])
        print("\n".join(line for line in page.logs if line.startswith("frame rate")))
        self.assertEqual(page.errors, [])

    def open_intro(self, query, width, height, mobile=False, first_frame=True):
        viewport(self.page, width, height, mobile)
        self.page.call("Page.navigate", url=f"{self.site}index.html{query}")
        if first_frame:
            self.assertTrue(wait_for(lambda: frames(self.page) > 1, START_S), self.page.errors + self.page.logs)

    def test_loading_is_shown_until_the_first_frame(self):
        page = self.page
        page.call("Fetch.enable", patterns=[{"urlPattern": "*intro.data"}])   # the data waits for the test
        self.open_intro("?res=2", 800, 600, first_frame=False)
        self.assertTrue(wait_for(lambda: page.eval("1") and page.paused, START_S))
        self.assertTrue(shown(page, "loading"))
        self.assertEqual(frames(page), 0)
        # the progress line, light in the middle of the black page
        middle = screenshot(page)[3 * 800 * 280:3 * 800 * 320]
        self.assertGreater(max(middle), 150)

        page.call("Fetch.continueRequest", requestId=page.paused[0])
        self.assertTrue(wait_for(lambda: frames(page) > 0, START_S), page.errors + page.logs)
        self.assertFalse(shown(page, "loading"))
        self.assertEqual(page.eval("document.querySelector('#bar div').style.width"), "100%")

    def test_the_picture_fits_a_laptop_and_a_phone_where_a_tap_toggles_full_screen_and_the_cross_leaves(self):
        page = self.page
        self.open_intro("?res=2", 1280, 720)
        # 640x480 grows to 960x720, centred between black bands
        for got, expected in zip(picture_box(screenshot(page), 1280, 720), (160, 0, 1119, 719)):
            self.assertAlmostEqual(got, expected, delta=1)

        viewport(page, 390, 844, mobile=True)
        seen = frames(page)
        self.assertTrue(wait_for(lambda: frames(page) > seen + 1, EVENT_S))
        # 390x292.5 from row 275.75, the rows it half covers included
        for got, expected in zip(picture_box(screenshot(page), 390, 844), (0, 275, 389, 568)):
            self.assertAlmostEqual(got, expected, delta=1)
        self.assertEqual(page.eval("(e => [e.scrollWidth, e.scrollHeight])(document.documentElement)"), [390, 844])

        in_full_screen = "document.fullscreenElement !== null"
        tap(page, 195, 422)
        self.assertTrue(wait_for(lambda: page.eval(in_full_screen), EVENT_S))
        tap(page, 195, 422)
        self.assertTrue(wait_for(lambda: not page.eval(in_full_screen), EVENT_S))
        cross = page.eval("(r => [r.x + r.width / 2, r.y + r.height / 2])"
                          "(document.getElementById('leave').getBoundingClientRect())")
        tap(page, *cross)
        back = "location.search === '' && getComputedStyle(document.getElementById('choice')).display !== 'none'"
        self.assertTrue(wait_for(lambda: page.eval(back), START_S), page.errors + page.logs[-5:])

    def test_the_window_size_choice_draws_at_the_windows_size_and_follows_its_resizes(self):
        page = self.page
        self.open_intro("", 1280, 720, first_frame=False)
        self.assertTrue(wait_for(lambda: shown(page, "choice"), START_S))
        page.key("4", "Digit4", 52)
        self.assertTrue(wait_for(lambda: frames(page) > 1, START_S), page.errors + page.logs)
        size = "(c => c.width + 'x' + c.height)(document.getElementById('canvas'))"
        gl_viewport = "Array.from(Module.ctx.getParameter(Module.ctx.VIEWPORT)).join()"
        self.assertEqual(page.eval(size), "1280x720")
        self.assertEqual(page.eval(gl_viewport), "0,0,1280,720")
        self.assertEqual(picture_box(screenshot(page), 1280, 720), (0, 0, 1279, 719))

        # the intro's own resize path sets the viewport, nothing else on the page does
        viewport(page, 1000, 700)
        self.assertTrue(wait_for(lambda: page.eval(gl_viewport) == "0,0,1000,700", EVENT_S), page.eval(gl_viewport))
        self.assertEqual(page.errors, [])

    def test_a_44_1_khz_soundtrack_with_tags_and_a_newline_plays(self):
        # lame's ID3v2 tag and Xing frame, a fifth of a second of tone and a newline, written over the
        # packed soundtrack once the runtime is up, before the intro reads it
        tone, page = Path(TONE).read_bytes(), self.page
        page.call("Page.addScriptToEvaluateOnNewDocument", source="""var tone = Uint8Array.from(atob('%s'),
            c => c.charCodeAt(0)), module; Object.defineProperty(window, 'Module', { configurable: true,
            get: () => module, set: m => { module = m; m.onRuntimeInitialized = () => FS.writeFile(
            '/data/soundtrack.mp3', tone); } });""" % base64.b64encode(tone).decode())
        page.call("Page.navigate", url=f"{self.site}index.html?res=2")
        self.assertTrue(wait_for(lambda: (page.eval("window.Module ? Module.framesShown : 0") or 0) > 0, START_S))
        self.assertEqual(page.eval("FS.readFile('/data/soundtrack.mp3').length"), len(tone))
        for kind in ("mousePressed", "mouseReleased"):
            page.call("Input.dispatchMouseEvent", type=kind, x=400, y=300, button="left", clickCount=1)
        self.assertTrue(wait_for(lambda: page.eval("!!Module.music && !Module.music[0].paused && "
                                                   "Module.music[0].currentTime > 0"), EVENT_S), page.errors + page.logs)
        self.assertEqual(page.errors, [])


class WebPageWithoutWebGL(unittest.TestCase):
    FLAGS = ("--disable-webgl",)
    setUp = WebPage.setUp

    def test_the_page_says_so_shows_the_picture_and_carries_its_preview(self):
        page = self.page
        viewport(page, 1280, 720)
        page.call("Page.navigate", url=f"{self.site}index.html")
        picture = "(i => i.complete && i.naturalWidth === 640)(document.querySelector('#nowebgl img'))"
        self.assertTrue(wait_for(lambda: page.eval(picture), START_S), page.errors + page.logs)
        text = page.eval("document.getElementById('nowebgl').innerText")
        self.assertIn("This browser cannot draw WebGL, which the intro needs, so here is a picture of it instead.", text)
        self.assertIn("An invitation to NEON FJORD 2027: 23-25 JULY 2027, THE OLD FERRY HALL, PORT EXAMPLE.", text)
        # the picture itself is on the screen, lit exactly across its box
        box = page.eval("(r => [r.left, r.right, (r.top + r.bottom) / 2])"
                        "(document.querySelector('#nowebgl img').getBoundingClientRect())")
        rgb = screenshot(page)
        row = int(box[2])
        self.assertEqual(lit_span(rgb[3 * 1280 * row:3 * 1280 * (row + 1)]), (round(box[0]), round(box[1]) - 1))

        # the link preview: the tags, and a picture that is there to fetch
        tags = page.eval("Object.fromEntries(Array.from(document.querySelectorAll('meta[property], meta[name]'),"
                         " m => [m.getAttribute('property') || m.name, m.content]))")
        self.assertEqual(tags["og:title"], "NEON FJORD 2027 invitation intro")
        self.assertEqual(tags["og:description"], "The NEON FJORD 2027 invitation intro, in your browser: "
                         "NEON FJORD 2027, 23-25 JULY 2027, THE OLD FERRY HALL, PORT EXAMPLE.")
        self.assertEqual(tags["twitter:card"], "summary_large_image")
        self.assertEqual(tags["og:image"], tags["twitter:image"])
        with urllib.request.urlopen(f"{self.site}{tags['og:image']}") as reply:
            png = reply.read()
        self.assertEqual((png[:8], int.from_bytes(png[16:20], "big"), int.from_bytes(png[20:24], "big")),
                         (b"\x89PNG\r\n\x1a\n", 640, 480))
        # no video in the folder: its link stays hidden, and the probe's 404 is the only complaint
        self.assertTrue(page.eval("document.getElementById('video').hidden"))
        self.assertEqual([e for e in page.errors if "404" not in e], [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
