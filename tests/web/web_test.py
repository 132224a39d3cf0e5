#!/usr/bin/python3
# web_test.py WWW_FOLDER NATIVE_BUILD_DIR [Class.test_name] -- the browser build in headless chromium over its
# DevTools protocol (harness.Page), served locally, as visitors meet it; the frame the page keeps is held against
# the native intro's (tools/capture.py)
import base64, os, re, subprocess, sys, tempfile, unittest, urllib.request
from pathlib import Path
import harness                   # chromium, the local web server, waiting for an event
from harness import wait_for

WWW, BUILD = map(os.path.abspath, sys.argv[1:3])
TONE = os.path.join(os.path.dirname(__file__), "..", "hardening", "corpus-mp3", "id3v2_xing_newline.mp3")
KEPT = 144                       # the page counts frames from 1, the capture from 0
BLOCK = 16                       # the pictures are compared as means of 16x16 blocks
WIDTH, HEIGHT = 640, 480
START_S, EVENT_S = 120, 60       # upper bounds only: every wait ends at its event; SwiftShader can be slow
BACK_AT_CHOICE = "location.search === '' && getComputedStyle(document.getElementById('choice')).display !== 'none'"
PLAYING = "!!Module.music && !Module.music[0].paused && Module.music[0].currentTime > 0"
AUDIO = "window.Module && Module.music && Module.music[0].context && Module.music[0].context.state"
ARRIVED = "performance.getEntriesByType('resource').map(e => e.name.split('/').pop())"   # whole downloads
STATUS = "document.getElementById('status').textContent"
DAMAGED = "The download of intro.pack failed: it arrived damaged. Choose again to retry."
# the page's song as it plays: segments back to back, each from the sample after the last, then the whole
# song repeating from where the first pass ends, its samples those of the whole file decoded at once
SEAMLESS = """(async () => { const m = Module.music[0], s = m.schedule, end = s.at(-1)[0] + s.at(-1)[1];
    const whole = await new OfflineAudioContext(2, 1, 32000).decodeAudioData(await (await fetch('soundtrack.mp3'))
        .arrayBuffer());
    let differs = 0;
    for (let c = 0; c < 2; c++)
        differs += whole.getChannelData(c).filter((v, i) => v !== m.whole.getChannelData(c)[i]).length;
    return [s.filter((x, i) => i && s[i - 1][0] + s[i - 1][1] !== x[0]).length, m.loopAt - end, m.source.loop,
            m.whole.length, whole.length, differs]; })()"""


class Lying(harness.Quiet):
    """A host whose Content-Length for intro.pack is off by N bytes under /lieN/."""
    def do_GET(self):
        lie = re.fullmatch(r"/lie([+-][0-9]+)(/intro\.pack)", self.path)
        if not lie:
            self.path = re.sub(r"^/lie[+-][0-9]+", "", self.path)
            return super().do_GET()
        body = Path(WWW, "intro.pack").read_bytes()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body) + int(lie.group(1))))
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True


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
    def start(self, *flags, host=harness.Quiet):
        self.site = self.enterContext(harness.serve(WWW, host))
        self.page = harness.Page(self.enterContext(tempfile.TemporaryDirectory(ignore_cleanup_errors=True)), flags)
        self.addCleanup(self.page.close)
        self.addCleanup(lambda: self.assertEqual(self.page.exceptions, [], "uncaught exceptions"))
        return self.page

    def until(self, condition, seconds=EVENT_S):
        self.assertTrue(wait_for(condition, seconds), self.page.exceptions + self.page.errors + self.page.logs[-5:])

    def screenshot(self):
        return decode(base64.b64decode(self.page.call("Page.captureScreenshot", format="png")["data"]))

    def requested(self, name, since=0):
        """A held request for the file, after the first `since` held ones."""
        self.page.eval("1")   # reading the events that came meanwhile
        return next((id for id, file in self.page.paused[since:] if file == name), None)

    def key(self, name, code, keycode):
        # held until the intro has drawn two frames, so its loop has seen it down (or, ending the show, has gone)
        self.page.call("Input.dispatchKeyEvent", type="keyDown", key=name, code=code, windowsVirtualKeyCode=keycode)
        down = self.page.frames()
        wait_for(lambda: (lambda now: not down or now == 0 or now >= down + 2)(self.page.frames()), EVENT_S)
        self.page.call("Input.dispatchKeyEvent", type="keyUp", key=name, code=code, windowsVirtualKeyCode=keycode)

    def goes_on(self, frames=50):
        shown = self.page.frames()
        self.until(lambda: self.page.frames() > shown + frames)

    def test_640x480_draws_the_native_frame_before_its_held_song_which_then_plays_seamlessly_until_escape(self):
        page = self.start()
        page.viewport(800, HEIGHT)
        page.call("Fetch.enable", patterns=[{"urlPattern": "*soundtrack.mp3"}])   # the song waits for the test
        # held as long as the test takes, which a slow machine would otherwise see as a stalled download
        page.call("Page.navigate", url=f"{self.site}index.html?res=2&frame={KEPT}&stall=600000")
        self.until(lambda: page.frames() > KEPT, START_S)
        self.assertEqual(picture_box(self.screenshot(), 800, HEIGHT), (80, 0, 719, 479))   # between black bands
        self.assertEqual(page.text("note"), "The music is on its way: 1876 KB to come")
        # the same frame as the native intro's; the sparks are placed at random, and one that comes
        # close to the eye crosses several blocks, so a few blocks in a hundred may differ
        kept = decode(base64.b64decode(page.eval("Module.keptFrame").split(",")[1]))
        differences = sorted(abs(a - b) for a, b in zip(block_means(kept), block_means(native_frame())))
        self.assertLess(differences[len(differences) * 95 // 100], 6)
        page.call("Fetch.continueRequest", requestId=self.requested("soundtrack.mp3"))
        page.call("Fetch.disable")
        page.click()   # the gesture the music waits for
        self.until(lambda: page.eval(PLAYING + " && Module.music[0].loopAt > 0"), START_S)
        # 3335 frames of 1152 samples at 32 kHz: 120.06 s, looping
        self.assertEqual(page.eval(SEAMLESS, promise=True), [0, 0, True, 3841920, 3841920, 0])
        self.assertEqual(page.text("note"), "")
        self.key("Escape", "Escape", 27)
        self.until(lambda: page.eval(BACK_AT_CHOICE), START_S)   # the page loads again, as slowly as the first time
        self.assertEqual(page.errors, [])

    def test_a_laptop_is_counted_down_to_the_choice_its_key_names_gets_its_window_size_and_a_way_back(self):
        # lame's ID3v2 tag and Xing frame, 0.2 s of tone and a newline, over the packed song before it is read
        tone, page = Path(TONE).read_bytes(), self.start()
        page.call("Page.addScriptToEvaluateOnNewDocument", source="""var tone = Uint8Array.from(atob('%s'),
            c => c.charCodeAt(0)), module; Object.defineProperty(window, 'Module', { configurable: true,
            get: () => module, set: m => { module = m; m.onRuntimeInitialized = () => FS.writeFile(
            '/data/soundtrack.mp3', tone); } });""" % base64.b64encode(tone).decode())
        page.call("Fetch.enable", patterns=[{"urlPattern": "*intro.pack"}])   # the pack waits for the test
        page.viewport(800, 500)
        for key, name in (("1", "320x240"), ("2", "640x480"), ("3", "1024x768"), ("4", "the window's own size")):
            held = len(page.paused)
            page.call("Page.navigate", url=f"{self.site}index.html")
            self.until(lambda: self.requested("intro.pack", held), START_S)
            self.key(key, "Digit" + key, 48 + int(key))
            self.until(lambda: re.fullmatch(f"Loading {name}… 4[0-9][0-9] KB to come", page.text("progress") or ""))
        page.call("Fetch.continueRequest", requestId=self.requested("intro.pack", held))
        self.until(lambda: page.frames() > 1, START_S)
        self.assertEqual((page.shown("loading"), page.eval("document.querySelector('#bar div').style.width"),
                          page.eval("FS.readFile('/data/soundtrack.mp3').length")), (False, "100%", len(tone)))
        # the window's own size reaches the intro through its own resize path
        gl_viewport = "Array.from(Module.ctx.getParameter(Module.ctx.VIEWPORT)).join()"
        self.assertEqual(page.eval(f"[canvas.width, canvas.height, {gl_viewport}]"), [800, 500, "0,0,800,500"])
        self.assertEqual(picture_box(self.screenshot(), 800, 500), (0, 0, 799, 499))
        page.viewport(700, 400)
        self.until(lambda: page.eval(gl_viewport) == "0,0,700,400")
        page.click()   # music other than the page's song plays whole: the 44.1 kHz tone
        self.until(lambda: page.eval(PLAYING + " && Module.music[0].context.sampleRate === 44100"))
        # the browser takes WebGL back: the show stops, silent, and a choice starts afresh
        page.eval("Module.ctx.getExtension('WEBGL_lose_context').loseContext()")
        self.until(lambda: page.text("status"))
        self.assertEqual((page.text("status"), page.shown("canvas"), page.eval(AUDIO)),
                         ("The browser took back the picture (its WebGL context was lost). Choose again to retry.",
                          False, "closed"))
        held = len(page.paused)
        page.click(*page.centre("#choice button"))
        self.until(lambda: page.eval("location.search") == "?res=1" and self.requested("intro.pack", held), START_S)
        page.call("Fetch.failRequest", requestId=self.requested("intro.pack", held), errorReason="ConnectionClosed")
        lost = "The download of intro.pack failed: the connection was lost. Choose again to retry."
        self.until(lambda: page.text("status") == lost)   # the connection dropped while the pack came

    def test_a_phone_on_a_direct_link_loses_its_song_plays_on_silent_and_gets_full_screen_from_one_tap(self):
        page = self.start("--autoplay-policy=document-user-activation-required")   # a phone's rule for sound
        page.call("Fetch.enable", patterns=[{"urlPattern": "*soundtrack.mp3"}])
        page.viewport(390, 844, mobile=True)
        page.call("Page.navigate", url=f"{self.site}index.html?res=1")
        self.until(lambda: page.frames() > 1 and page.eval(AUDIO) and self.requested("soundtrack.mp3"), START_S)
        page.call("Fetch.failRequest", requestId=self.requested("soundtrack.mp3"), errorReason="ConnectionClosed")
        self.until(lambda: page.text("note") == "The music could not be loaded: the connection was lost. The show "
                                                "goes on without it.")
        self.goes_on()
        # 320x240 as 390x292.5 from row 275.75, the rows it half covers included (the note below it aside)
        page.eval("document.getElementById('note').style.visibility = 'hidden'")
        for got, expected in zip(picture_box(self.screenshot(), 390, 844), (0, 275, 389, 568)):
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
        page.call("Fetch.enable", patterns=[{"urlPattern": "*intro.pack"}])
        page.viewport(568, 320, mobile=True)
        page.call("Page.navigate", url=f"{self.site}index.html?res=2&stall=1500")   # nothing ever arrives
        self.until(lambda: page.text("status"), START_S)
        self.assertEqual(page.text("status"), "The download of intro.pack stopped: nothing arrived for 1.5 seconds. "
                                              "Choose again to retry.")
        # each part of the choice, the sentence too, wholly in the window (to a pixel's rounding) and on top
        # where its middle is, its text not cut, once the page is scrolled to the top or to the bottom
        shown = """Array.from(document.querySelectorAll('#choice > *')).filter(e => (r => r.left > -1 && r.top > -1
            && r.right < innerWidth + 1 && r.bottom < innerHeight + 1 && e.scrollWidth <= e.clientWidth &&
            e.contains(document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2)))(e.getBoundingClientRect()))
            .map(e => e.textContent.slice(0, 9))"""
        for width, height in ((568, 320), (320, 320), (390, 844), (1280, 720)):
            page.viewport(width, height, mobile=width < 1000)
            seen = []
            for way, end in ((600, "scrollY === 0"), (-600, "scrollY + innerHeight >= document.body.scrollHeight - 1")):
                page.call("Input.synthesizeScrollGesture", x=width // 2, y=height // 2, yDistance=way, speed=5000,
                          gestureSourceType="mouse")
                self.until(lambda: page.eval(end))   # the page scrolled as far as it goes
                seen.append(page.eval(shown))
            # the sentence, the heading, the four choices, the keys and the party, at one end or, for the last
            # two sizes, at both
            self.assertEqual(len(set(seen[0] + seen[1])) if height < 480 else len(seen[0] + seen[1]),
                             8 if height < 480 else 16, seen)
        held = len(page.paused)
        page.click(*page.centre("#choice button"))
        self.until(lambda: self.requested("intro.pack", held), START_S)
        page.call("Fetch.fulfillRequest", requestId=self.requested("intro.pack", held), responseCode=404)
        self.until(lambda: page.text("status"))
        self.assertEqual((page.text("status"), page.eval("location.search")), ("The download of intro.pack failed: "
                         "the site answered 404 Not Found. Choose again to retry.", "?res=1"))

    def test_a_host_that_breaks_or_misstates_the_pack_or_sends_a_page_for_the_song_is_told_in_a_sentence(self):
        pack, page = Path(WWW, "intro.pack").read_bytes(), self.start(host=Lying)
        page.call("Fetch.enable", patterns=[{"urlPattern": "*/lie+0/intro.pack"}])
        lost = "The download of intro.pack failed: the connection was lost. Choose again to retry."
        for case, (lie, body, told) in enumerate((("+0", pack[:len(pack) // 2], DAMAGED),   # cut short, a bit
                                                  ("+0", pack[:9999] + bytes([pack[9999] ^ 4]) + pack[10000:], DAMAGED),
                                                  ("+0", b"<html><body>Not here</body></html>", DAMAGED),  # a page
                                                  ("-999", None, DAMAGED),   # a Content-Length too short, too long
                                                  ("+999", None, lost))):
            with self.subTest(lie=lie, body=body and body[:20]):
                held = len(page.paused)
                page.call("Page.navigate", url=f"{self.site}lie{lie}/index.html?case={case}")
                if body:
                    self.until(lambda: self.requested("intro.pack", held), START_S)
                    page.call("Fetch.fulfillRequest", requestId=self.requested("intro.pack", held), responseCode=200,
                              body=base64.b64encode(body).decode())
                self.until(lambda: page.eval(f"location.search === '?case={case}' && {STATUS} !== ''"), START_S)
                self.assertEqual(page.text("status"), told)
        page.call("Fetch.enable", patterns=[{"urlPattern": "*soundtrack.mp3"}])
        held = len(page.paused)
        page.call("Page.navigate", url=f"{self.site}index.html?res=1")
        self.until(lambda: self.requested("soundtrack.mp3", held), START_S)
        page.call("Fetch.fulfillRequest", requestId=self.requested("soundtrack.mp3", held), responseCode=200,
                  body=base64.b64encode(b"<html>" + b" " * 99999 + b"</html>").decode())
        self.until(lambda: page.text("note") == "The music could not be loaded: it arrived damaged. The show goes on "
                                                "without it.", START_S)
        self.goes_on()

    def test_a_slow_line_is_no_stall_and_a_visitor_who_reads_long_starts_with_nothing_more_to_fetch(self):
        page = self.start()
        page.call("Network.enable")
        # the pack takes about 2 s and the song 8 s, each far longer than the watch for a stalled download
        page.call("Network.emulateNetworkConditions", offline=False, latency=40, downloadThroughput=250000,
                  uploadThroughput=100000)
        page.call("Page.navigate", url=f"{self.site}index.html?stall=1000")
        self.until(lambda: page.eval("document.readyState") == "complete", START_S)
        page.click(*page.centre("#choice button"))
        self.until(lambda: page.frames() > 1, START_S)
        self.until(lambda: "soundtrack.mp3" in page.eval(ARRIVED), START_S)
        self.goes_on(100)   # 2.1 s of frames: past any watch that should have ended
        self.assertEqual((page.text("status"), page.text("note"), page.shown("canvas")), ("", "", True))
        page.call("Network.emulateNetworkConditions", offline=False, latency=0, downloadThroughput=-1,
                  uploadThroughput=-1)
        page.call("Page.navigate", url=f"{self.site}index.html")
        self.until(lambda: "soundtrack.mp3" in (page.eval(ARRIVED) or []), START_S)
        page.call("Fetch.enable", patterns=[{"urlPattern": "*"}])   # whatever the start would fetch waits
        page.click(*page.centre("#choice button"))
        self.until(lambda: page.frames() > 1, START_S)
        self.assertEqual((page.paused, page.eval(ARRIVED)), ([], ["intro.pack", "soundtrack.mp3"]))

    def test_without_webgl_the_page_says_so_shows_the_picture_and_carries_its_preview(self):
        page = self.start("--disable-webgl")
        page.viewport(1280, 720)
        page.call("Page.navigate", url=f"{self.site}index.html")
        picture = "(i => i.complete && i.naturalWidth === 640)(document.querySelector('#nowebgl img'))"
        self.until(lambda: page.eval(picture), START_S)
        self.assertEqual(page.eval("Array.from(document.querySelectorAll('#choice button'), b => b.textContent)"),
                         ["1) 320x240", "2) 640x480", "3) 1024x768", "4) the window's own size"])
        text = page.eval("document.getElementById('nowebgl').innerText")
        self.assertIn("This browser cannot draw WebGL, which the intro needs, so here is a picture of it instead.", text)
        self.assertIn("An invitation to NEON FJORD 2027: 23-25 JULY 2027, THE OLD FERRY HALL, PORT EXAMPLE.", text)
        # the preview's picture and the party's calendar there to fetch (the calendar's event: page_text_test);
        # the pack, sent for before the probe for WebGL, is stopped, and the song never asked for
        preview, calendar = (urllib.request.urlopen(self.site + page.eval(f"document.querySelector('{link}')"
                             f".getAttribute('{attribute}')"), timeout=harness.CALL_S).read() for link, attribute in
                             (("meta[property=\"og:image\"]", "content"), ("#nowebgl a[download]", "href")))
        self.assertEqual((len(decode(preview)), calendar[:15]), (640 * 480 * 3, b"BEGIN:VCALENDAR"))
        self.assertEqual([name for name in page.eval(ARRIVED) if name.startswith(("intro.m", "soundtrack"))],
                         ["intro.mp4"])   # the probe for the video
        # no video in the folder: its link stays hidden, and the probe's 404 is the only complaint
        self.assertTrue(page.eval("document.getElementById('video').hidden"))
        self.assertEqual([e for e in page.errors if "404" not in e], [])

if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
