#!/usr/bin/python3
# web_test.py WWW_FOLDER NATIVE_BUILD_DIR [Class.test_name] -- the browser build in headless chromium over its
# DevTools protocol, served locally; the frame the page keeps is held against the native intro's (tools/capture.py)
import base64, json, os, subprocess, sys, tempfile, time, unittest, urllib.request
from pathlib import Path
import websocket   # Debian's python3-websocket
import harness                   # chromium, the local web server, the intro's menu, waiting for an event
from harness import wait_for

WWW, BUILD = map(os.path.abspath, sys.argv[1:3])
TONE = os.path.join(os.path.dirname(__file__), "..", "hardening", "corpus-mp3", "id3v2_xing_newline.mp3")
KEPT = 144                       # the page counts frames from 1, the capture from 0
BLOCK = 16                       # the pictures are compared as means of 16x16 blocks
WIDTH, HEIGHT = 640, 480
START_S, EVENT_S = 120, 60       # upper bounds only: every wait ends at its event; SwiftShader can be slow
CALL_S = START_S                 # ... and chromium answers every DevTools call within this, a load included
BACK_AT_CHOICE = "location.search === '' && getComputedStyle(document.getElementById('choice')).display !== 'none'"
PLAYING = "!!Module.music && !Module.music[0].paused && Module.music[0].currentTime > 0"
AUDIO = "window.Module && Module.music && Module.music[0].context.state"
STATUS = "document.getElementById('status').textContent"


class Page:
    """One chromium tab over the DevTools protocol, keeping every console error and exception."""
    def __init__(self, profile, flags=()):
        self.proc = harness.chromium(profile, *flags, "--remote-debugging-port=0", "--window-size=800,600", "about:blank",
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = Path(profile, "DevToolsActivePort")
        if not wait_for(lambda: port_file.exists() and port_file.read_text().strip(), START_S):
            raise RuntimeError("chromium gave no DevTools port")
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port_file.read_text().split()[0]}/json/list",
                                                   timeout=CALL_S))
        self.ws = websocket.create_connection(next(t for t in targets if t["type"] == "page")["webSocketDebuggerUrl"],
                                              timeout=CALL_S)
        self.next_id, self.errors, self.exceptions, self.logs, self.paused = 0, [], [], [], []
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable")

    def note(self, event):
        method, params = event.get("method"), event.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description"))) for a in params["args"])
            (self.errors if params["type"] == "error" else self.logs).append(text)
        elif method == "Runtime.exceptionThrown":
            self.exceptions.append(json.dumps(params["exceptionDetails"])[:400])
        elif method == "Fetch.requestPaused":
            self.paused.append((params["requestId"], params["request"]["url"].rsplit("/", 1)[-1]))
        elif method == "Log.entryAdded" and (params["entry"]["level"] == "error" or "WebGL" in params["entry"]["text"]):
            self.errors.append(params["entry"]["text"])

    def call(self, method, **params):
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            try:
                message = json.loads(self.ws.recv())
            except websocket.WebSocketTimeoutException:
                raise AssertionError(f"chromium did not answer {method} within {CALL_S} s") from None
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

    def click(self, x=400, y=300):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def centre(self, selector):
        return self.eval(f"(r => [r.x + r.width / 2, r.y + r.height / 2])"
                         f"(document.querySelector('{selector}').getBoundingClientRect())")

    def requested(self, name, since=0):   # a held request for the file, after the first `since`
        self.eval("1")   # reading the events that came meanwhile
        return next((id for id, file in self.paused[since:] if file == name), None)

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
        self.addCleanup(lambda: self.assertEqual(self.page.exceptions, [], "uncaught exceptions"))
        return self.page

    def until(self, condition, seconds=EVENT_S):
        self.assertTrue(wait_for(condition, seconds), self.page.exceptions + self.page.errors + self.page.logs[-5:])

    def test_intro_at_640x480_draws_the_native_frame_loops_its_whole_tune_and_escape_returns_to_the_choice(self):
        page = self.start()
        page.viewport(800, HEIGHT)
        page.call("Page.navigate", url=f"{self.site}index.html?res=2&frame={KEPT}")
        self.until(lambda: page.frames() > KEPT, START_S)
        self.assertEqual(picture_box(page.screenshot(), 800, HEIGHT), (80, 0, 719, 479))   # between black bands
        # the same frame as the native intro's; the sparks are placed at random, and one that comes
        # close to the eye crosses several blocks, so a few blocks in a hundred may differ
        kept = decode(base64.b64decode(page.eval("Module.keptFrame").split(",")[1]))
        differences = sorted(abs(a - b) for a, b in zip(block_means(kept), block_means(native_frame())))
        self.assertLess(differences[len(differences) * 95 // 100], 6)
        # the whole soundtrack, 120.06 s, repeats from one buffer, with no element's gap at the loop point
        self.until(lambda: page.eval("!!Module.music[0].source"))
        self.assertEqual(page.eval("(s => [s.loop, s.buffer.duration.toFixed(2)])(Module.music[0].source)"),
                         [True, "120.06"])
        page.key("Escape", "Escape", 27)
        self.until(lambda: page.eval(BACK_AT_CHOICE), START_S)   # the page loads again, as slowly as the first time
        self.assertEqual(page.errors, [])

    def test_a_laptop_waits_for_the_download_gets_its_window_size_a_44_1_khz_tune_and_a_way_back_from_losses(self):
        # lame's ID3v2 tag and Xing frame, 0.2 s of tone and a newline, over the packed soundtrack before it is read
        tone, page = Path(TONE).read_bytes(), self.start()
        page.call("Page.addScriptToEvaluateOnNewDocument", source="""var tone = Uint8Array.from(atob('%s'),
            c => c.charCodeAt(0)), module; Object.defineProperty(window, 'Module', { configurable: true,
            get: () => module, set: m => { module = m; m.onRuntimeInitialized = () => FS.writeFile(
            '/data/soundtrack.mp3', tone); } });""" % base64.b64encode(tone).decode())
        page.call("Fetch.enable", patterns=[{"urlPattern": "*intro.data"}])   # the data waits for the test
        page.viewport(800, 500)
        page.call("Page.navigate", url=f"{self.site}index.html")
        self.until(lambda: page.eval("document.readyState") == "complete", START_S)
        page.key("4", "Digit4", 52)
        self.until(lambda: page.requested("intro.data"), START_S)
        self.assertEqual((page.shown("loading"), page.eval("document.getElementById('progress').textContent"),
                          page.frames()), (True, "Loading…", 0))
        page.call("Fetch.continueRequest", requestId=page.requested("intro.data"))
        self.until(lambda: page.frames() > 1, START_S)
        self.assertEqual((page.shown("loading"), page.eval("document.querySelector('#bar div').style.width"),
                          page.eval("FS.readFile('/data/soundtrack.mp3').length")), (False, "100%", len(tone)))
        # the window's own size reaches the intro through its own resize path
        gl_viewport = "Array.from(Module.ctx.getParameter(Module.ctx.VIEWPORT)).join()"
        self.assertEqual(page.eval(f"[canvas.width, canvas.height, {gl_viewport}]"), [800, 500, "0,0,800,500"])
        self.assertEqual(picture_box(page.screenshot(), 800, 500), (0, 0, 799, 499))
        page.viewport(700, 400)
        self.until(lambda: page.eval(gl_viewport) == "0,0,700,400")
        page.click()
        self.until(lambda: page.eval(PLAYING))
        # the browser takes WebGL back: the show stops, silent, and a choice starts afresh
        page.eval("Module.ctx.getExtension('WEBGL_lose_context').loseContext()")
        self.until(lambda: page.eval(STATUS))
        self.assertEqual((page.eval(STATUS), page.shown("canvas"), page.eval(AUDIO)),
                         ("The browser took back the picture (its WebGL context was lost). Choose again to retry.",
                          False, "closed"))
        held = len(page.paused)
        page.click(*page.centre("#choice button"))
        self.until(lambda: page.eval("location.search") == "?res=1" and page.requested("intro.data", held), START_S)
        page.call("Fetch.failRequest", requestId=page.requested("intro.data", held), errorReason="ConnectionClosed")
        lost = "The download of intro.data failed: the connection was lost. Choose again to retry."
        self.until(lambda: page.eval(STATUS) == lost)   # the connection dropped while the data came

    def test_a_phone_on_a_direct_link_gets_music_and_full_screen_from_one_tap_and_its_choice_plays_at_once(self):
        page = self.start("--autoplay-policy=document-user-activation-required")   # a phone's rule for sound
        page.viewport(390, 844, mobile=True)
        page.call("Page.navigate", url=f"{self.site}index.html?res=1")
        self.until(lambda: page.frames() > 1 and page.eval(AUDIO), START_S)
        # 320x240 as 390x292.5 from row 275.75, the rows it half covers included
        for got, expected in zip(picture_box(page.screenshot(), 390, 844), (0, 275, 389, 568)):
            self.assertAlmostEqual(got, expected, delta=1)
        self.assertEqual(page.eval(AUDIO), "suspended")   # no gesture yet
        page.tap(195, 422)
        self.until(lambda: page.eval(f"{AUDIO} === 'running' && document.fullscreenElement !== null"))
        page.tap(195, 422)
        self.until(lambda: page.eval("document.fullscreenElement === null"))
        page.tap(*page.centre("#leave"))
        self.until(lambda: page.eval(BACK_AT_CHOICE), START_S)
        page.tap(*page.centre("#choice button"))   # its tap is the gesture the music needs
        self.until(lambda: page.eval(AUDIO) == "running", START_S)

    def test_a_phone_on_a_train_is_told_of_a_stalled_download_and_a_lost_file_and_reaches_every_choice(self):
        page = self.start()
        page.call("Fetch.enable", patterns=[{"urlPattern": "*intro.data"}, {"urlPattern": "*intro.wasm"}])
        page.viewport(568, 320, mobile=True)
        page.call("Page.navigate", url=f"{self.site}index.html?res=2&stall=1500")   # nothing ever arrives
        self.until(lambda: page.eval(STATUS), START_S)
        self.assertEqual(page.eval(STATUS), "The download of intro.wasm and intro.data stopped: nothing arrived "
                                            "for 1.5 seconds. Choose again to retry.")
        # each part of the choice, the sentence too, wholly in the window (to a pixel's rounding) and on top
        # where its middle is, its text not cut, once the page is scrolled to the top or to the bottom
        shown = """Array.from(document.querySelectorAll('#choice > *')).filter(e => (r => r.left > -1 && r.top > -1
            && r.right < innerWidth + 1 && r.bottom < innerHeight + 1 && e.scrollWidth <= e.clientWidth &&
            e.contains(document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2)))(e.getBoundingClientRect()))
            .map(e => e.textContent.slice(0, 9))"""
        for width, height in ((568, 320), (320, 320), (390, 844), (1280, 720)):
            page.viewport(width, height, mobile=width < 1000)
            seen = [(page.call("Input.synthesizeScrollGesture", x=width // 2, y=height // 2, yDistance=way,
                               speed=5000, gestureSourceType="mouse"), page.eval(shown))[1] for way in (600, -600)]
            # the sentence, the heading, the four choices, the keys and the party, at one end or, for the last
            # two sizes, at both
            self.assertEqual(len(set(seen[0] + seen[1])) if height < 480 else len(seen[0] + seen[1]),
                             8 if height < 480 else 16, seen)
        held = len(page.paused)
        page.click(*page.centre("#choice button"))
        self.until(lambda: page.requested("intro.data", held), START_S)
        page.call("Fetch.fulfillRequest", requestId=page.requested("intro.data", held), responseCode=404)
        self.until(lambda: page.eval(STATUS))
        self.assertEqual((page.eval(STATUS), page.eval("location.search")), ("The download of intro.data failed: "
                         "the site answered 404 Not Found. Choose again to retry.", "?res=1"))

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
        # the preview's picture and the party's calendar there to fetch (the calendar's event: page_text_test)
        preview, calendar = (urllib.request.urlopen(self.site + page.eval(f"document.querySelector('{link}')"
                             f".getAttribute('{attribute}')"), timeout=CALL_S).read() for link, attribute in
                             (("meta[property=\"og:image\"]", "content"), ("#nowebgl a[download]", "href")))
        self.assertEqual((len(decode(preview)), calendar[:15]), (640 * 480 * 3, b"BEGIN:VCALENDAR"))
        # no video in the folder: its link stays hidden, and the probe's 404 is the only complaint
        self.assertTrue(page.eval("document.getElementById('video').hidden"))
        self.assertEqual([e for e in page.errors if "404" not in e], [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
