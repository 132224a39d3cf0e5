#!/usr/bin/python3
# web_test.py WWW_FOLDER NATIVE_BUILD_DIR [Class.test_name] -- the browser build in headless chromium over its
# DevTools protocol, served locally; the frame the page keeps is held against the native intro's (tools/capture.py)
import base64, json, os, subprocess, sys, tempfile, unittest, urllib.request
from pathlib import Path
import websocket   # Debian's python3-websocket
import harness                   # chromium, the local web server, the intro's menu, waiting for an event
from harness import wait_for

WWW, BUILD = map(os.path.abspath, sys.argv[1:3])
TONE = os.path.join(os.path.dirname(__file__), "..", "hardening", "corpus-mp3", "id3v2_xing_newline.mp3")
KEPT = 144                       # the page counts frames from 1, the capture from 0
BLOCK = 16                       # the pictures are compared as means of 16x16 blocks
CLEAR = (26, 128, 178)           # the clear colour (0.1, 0.5, 0.7)
WIDTH, HEIGHT = 640, 480
START_S, EVENT_S = 120, 60       # upper bounds only: every wait ends at its event; SwiftShader can be slow
BACK_AT_CHOICE = "location.search === '' && getComputedStyle(document.getElementById('choice')).display !== 'none'"
PLAYING = "!!Module.music && !Module.music[0].paused && Module.music[0].currentTime > 0"


class Page:
    """One chromium tab over the DevTools protocol, keeping every console error and exception."""
    def __init__(self, profile, flags=()):
        self.proc = harness.chromium(profile, *flags, "--remote-debugging-port=0", "--window-size=800,600", "about:blank",
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = Path(profile, "DevToolsActivePort")
        if not wait_for(lambda: port_file.exists() and port_file.read_text().strip(), START_S):
            raise RuntimeError("chromium gave no DevTools port")
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port_file.read_text().split()[0]}/json/list"))
        self.ws = websocket.create_connection(next(t for t in targets if t["type"] == "page")["webSocketDebuggerUrl"])
        self.next_id, self.errors, self.logs, self.paused = 0, [], [], []
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable")

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

    def frames(self):
        return self.eval("window.Module ? Module.framesShown : 0") or 0

    def shown(self, element):
        return self.eval(f"getComputedStyle(document.getElementById('{element}')).display") != "none"

    def screenshot(self):
        return decode(base64.b64decode(self.call("Page.captureScreenshot", format="png")["data"]))

    def viewport(self, width, height, mobile=False):
        self.call("Emulation.setDeviceMetricsOverride", width=width, height=height, deviceScaleFactor=1, mobile=mobile)
        self.call("Emulation.setTouchEmulationEnabled", enabled=mobile, **({"maxTouchPoints": 5} if mobile else {}))

    def tap(self, x, y):
        self.call("Input.dispatchTouchEvent", type="touchStart", touchPoints=[{"x": x, "y": y}])
        self.call("Input.dispatchTouchEvent", type="touchEnd", touchPoints=[])

    def click(self):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=400, y=300, button="left", clickCount=1)

    def key(self, name, code, keycode):
        # held until the intro has drawn two frames, so its loop has seen it down (or, ending the show, has gone)
        self.call("Input.dispatchKeyEvent", type="keyDown", key=name, code=code, windowsVirtualKeyCode=keycode)
        down = self.frames()
        wait_for(lambda: (lambda now: not down or now == 0 or now >= down + 2)(self.frames()), EVENT_S)
        self.call("Input.dispatchKeyEvent", type="keyUp", key=name, code=code, windowsVirtualKeyCode=keycode)


def decode(png):
    return subprocess.run(["ffmpeg", "-v", "error", "-f", "png_pipe", "-i", "-", "-f", "rawvideo", "-pix_fmt", "rgb24",
                           "-"], input=png, capture_output=True, check=True).stdout


def native_frame():
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([os.path.join(harness.TOOLS, "capture.py"), "-r", "2", "-d", "4", "--shot-frame", str(KEPT - 1),
                        "--build", BUILD, "-o", f"{folder}/native.mp4", "-p", f"{folder}/native.png"], check=True,
                       capture_output=True)
        return decode(Path(folder, "native.png").read_bytes())


def block_means(rgb):
    return [sum(rgb[3 * (y * WIDTH + x) + c] for y in range(by, by + BLOCK) for x in range(bx, bx + BLOCK)) / BLOCK ** 2
            for by in range(0, HEIGHT, BLOCK) for bx in range(0, WIDTH, BLOCK) for c in range(3)]


def near_clear_share(rgb):
    pixels = [rgb[i:i + 3] for i in range(0, len(rgb), 3)]
    return sum(all(abs(p[c] - CLEAR[c]) <= 2 for c in range(3)) for p in pixels) / len(pixels)


def lit_span(values, floor=20):
    """First and last index of a pixel brighter than the page's black in any channel."""
    lit = [i // 3 for i in range(0, len(values), 3) if max(values[i:i + 3]) > floor]
    return lit[0], lit[-1]


def picture_box(rgb, width, height):
    """Left, top, right, bottom of what is lit along the middle row and the middle column."""
    row = rgb[3 * width * (height // 2):3 * width * (height // 2 + 1)]
    (left, right), (top, bottom) = lit_span(row), lit_span(b"".join(rgb[3 * (y * width + width // 2):][:3]
                                                                   for y in range(height)))
    return left, top, right, bottom


class WebPage(unittest.TestCase):
    def start(self, *flags):
        self.site = self.enterContext(harness.serve(WWW))
        self.page = Page(self.enterContext(tempfile.TemporaryDirectory(ignore_cleanup_errors=True)), flags)
        self.addCleanup(harness.stop, self.page.proc)
        self.addCleanup(self.page.ws.close)
        return self.page

    def until(self, condition, seconds=EVENT_S):
        self.assertTrue(wait_for(condition, seconds), self.page.errors + self.page.logs[-5:])

    def test_intro_at_640x480_draws_the_native_frame_plays_after_a_click_and_escape_returns_to_the_choice(self):
        page = self.start()
        page.viewport(WIDTH, HEIGHT)   # the picture fits the window: here the whole page
        page.call("Page.navigate", url=f"{self.site}index.html?res=2&frame={KEPT}")
        self.until(lambda: page.frames() > KEPT, START_S)
        first = page.screenshot()
        self.assertGreater(near_clear_share(first), 0.005)   # the rolled picture leaves the clear colour in its margins
        self.until(lambda: page.screenshot() != first)   # not a still picture
        # the same frame as the native intro's; the sparks are placed at random, and one that comes
        # close to the eye crosses several blocks, so a few blocks in a hundred may differ
        kept = decode(base64.b64decode(page.eval("Module.keptFrame").split(",")[1]))
        differences = sorted(abs(a - b) for a, b in zip(block_means(kept), block_means(native_frame())))
        self.assertLess(differences[len(differences) * 95 // 100], 6)
        # no gesture has been made yet, so the browser holds the music back until the click
        self.assertTrue(page.eval("Module.music[0].paused"))
        page.click()
        self.until(lambda: page.eval(PLAYING))
        # the whole soundtrack, 120.06 s, repeats from one buffer, with no element's gap at the loop point
        self.assertEqual(page.eval("(s => [s.loop, s.buffer.duration.toFixed(2)])(Module.music[0].source)"),
                         [True, "120.06"])
        page.key("Escape", "Escape", 27)
        self.until(lambda: page.eval(BACK_AT_CHOICE), START_S)   # the page loads again, as slowly as the first time
        self.assertEqual(page.errors, [])

    def test_loading_a_44_1_khz_soundtrack_fit_on_a_laptop_and_a_phone_touch_and_the_window_size_choice(self):
        # lame's ID3v2 tag and Xing frame, a fifth of a second of tone and a newline, written over the
        # packed soundtrack once the runtime is up, before the intro reads it
        tone, page = Path(TONE).read_bytes(), self.start()
        page.call("Page.addScriptToEvaluateOnNewDocument", source="""var tone = Uint8Array.from(atob('%s'),
            c => c.charCodeAt(0)), module; Object.defineProperty(window, 'Module', { configurable: true,
            get: () => module, set: m => { module = m; m.onRuntimeInitialized = () => FS.writeFile(
            '/data/soundtrack.mp3', tone); } });""" % base64.b64encode(tone).decode())
        page.call("Fetch.enable", patterns=[{"urlPattern": "*intro.data"}])   # the data waits for the test
        page.viewport(1280, 720)
        page.call("Page.navigate", url=f"{self.site}index.html?res=2")
        self.until(lambda: page.eval("1") and page.paused, START_S)
        self.assertEqual((page.shown("loading"), page.frames()), (True, 0))
        self.assertGreater(max(page.screenshot()[3 * 1280 * 340:3 * 1280 * 380]), 150)   # the progress line, lit
        page.call("Fetch.continueRequest", requestId=page.paused[0])
        page.call("Fetch.disable")
        self.until(lambda: page.frames() > 1, START_S)
        self.assertFalse(page.shown("loading"))
        self.assertEqual(page.eval("document.querySelector('#bar div').style.width"), "100%")
        self.assertEqual(page.eval("FS.readFile('/data/soundtrack.mp3').length"), len(tone))
        page.click()
        self.until(lambda: page.eval(PLAYING))

        # 640x480 grows to 960x720, centred between black bands
        for got, expected in zip(picture_box(page.screenshot(), 1280, 720), (160, 0, 1119, 719)):
            self.assertAlmostEqual(got, expected, delta=1)
        page.viewport(390, 844, mobile=True)
        seen = page.frames()
        self.until(lambda: page.frames() > seen + 1)
        # 390x292.5 from row 275.75, the rows it half covers included
        for got, expected in zip(picture_box(page.screenshot(), 390, 844), (0, 275, 389, 568)):
            self.assertAlmostEqual(got, expected, delta=1)
        self.assertEqual(page.eval("(e => [e.scrollWidth, e.scrollHeight])(document.documentElement)"), [390, 844])
        for full_screen in (True, False):
            page.tap(195, 422)
            self.until(lambda: page.eval("document.fullscreenElement !== null") == full_screen)
        page.tap(*page.eval("(r => [r.x + r.width / 2, r.y + r.height / 2])"
                            "(document.getElementById('leave').getBoundingClientRect())"))
        self.until(lambda: page.eval(BACK_AT_CHOICE), START_S)

        # back on a laptop, the fourth choice draws at the window's size through the intro's own resize path
        page.viewport(1280, 720)
        page.key("4", "Digit4", 52)
        self.until(lambda: page.frames() > 1, START_S)
        size = "(c => c.width + 'x' + c.height)(document.getElementById('canvas'))"
        gl_viewport = "Array.from(Module.ctx.getParameter(Module.ctx.VIEWPORT)).join()"
        self.assertEqual((page.eval(size), page.eval(gl_viewport)), ("1280x720", "0,0,1280,720"))
        self.assertEqual(picture_box(page.screenshot(), 1280, 720), (0, 0, 1279, 719))
        page.viewport(1000, 700)
        self.until(lambda: page.eval(gl_viewport) == "0,0,1000,700")
        self.assertEqual(page.errors, [])

    def test_without_webgl_the_page_says_so_shows_the_picture_and_carries_its_preview(self):
        page = self.start("--disable-webgl")
        page.viewport(1280, 720)
        page.call("Page.navigate", url=f"{self.site}index.html")
        picture = "(i => i.complete && i.naturalWidth === 640)(document.querySelector('#nowebgl img'))"
        self.until(lambda: page.eval(picture), START_S)
        # the choice the page was built with: the intro's own menu, then the window's size
        menu = harness.menu(os.path.join(BUILD, "intro"))
        self.assertEqual(page.eval("Array.from(document.querySelectorAll('#choice button'), b => b.textContent)"),
                         [f"{answer}) {size}" for answer, size in menu.items()] + ["4) the window's own size"])
        text = page.eval("document.getElementById('nowebgl').innerText")
        self.assertIn("This browser cannot draw WebGL, which the intro needs, so here is a picture of it instead.", text)
        self.assertIn("An invitation to NEON FJORD 2027: 23-25 JULY 2027, THE OLD FERRY HALL, PORT EXAMPLE.", text)
        # the picture itself is on the screen, lit exactly across its box
        box = page.eval("(r => [r.left, r.right, (r.top + r.bottom) / 2])"
                        "(document.querySelector('#nowebgl img').getBoundingClientRect())")
        row = int(box[2])
        self.assertEqual(lit_span(page.screenshot()[3 * 1280 * row:3 * 1280 * (row + 1)]),
                         (round(box[0]), round(box[1]) - 1))
        # the link preview: the tags, and a picture that is there to fetch
        tags = page.eval("Object.fromEntries(Array.from(document.querySelectorAll('meta[property], meta[name]'),"
                         " m => [m.getAttribute('property') || m.name, m.content]))")
        self.assertEqual([tags[name] for name in ("og:title", "og:description", "twitter:card", "twitter:image")],
                         ["NEON FJORD 2027 invitation intro", "The NEON FJORD 2027 invitation intro, in your browser: "
                          "NEON FJORD 2027, 23-25 JULY 2027, THE OLD FERRY HALL, PORT EXAMPLE.", "summary_large_image",
                          tags["og:image"]])
        with urllib.request.urlopen(f"{self.site}{tags['og:image']}") as reply:
            self.assertEqual(len(decode(reply.read())), 640 * 480 * 3)
        # no video in the folder: its link stays hidden, and the probe's 404 is the only complaint
        self.assertTrue(page.eval("document.getElementById('video').hidden"))
        self.assertEqual([e for e in page.errors if "404" not in e], [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
