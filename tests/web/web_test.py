#!/usr/bin/env python3
# web_test.py -- the browser build in Debian's headless chromium, served by a local http.server
#   web_test.py WWW_FOLDER NATIVE_BUILD_DIR
# Chromium is driven over its DevTools protocol: the page picks 640x480 from its query, the
# canvas is photographed twice a second apart, a click starts the music, Escape ends the show.
# The page keeps one frame, which is held against the same frame of the native intro, recorded
# by tools/capture: the browser's platform layer has to give the native picture.
import base64, json, os, re, subprocess, sys, tempfile, time, unittest, urllib.request
from pathlib import Path
import websocket   # Debian's python3-websocket

WWW, BUILD = map(os.path.abspath, sys.argv[1:3])
CAPTURE = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "capture", "capture")
TONE = os.path.join(os.path.dirname(__file__), "..", "hardening", "corpus-mp3", "id3v2_xing_newline.mp3")
KEPT = 144                       # the page counts frames from 1, the capture from 0
BLOCK = 16                       # the pictures are compared as means of 16x16 blocks
CLEAR = (26, 128, 178)           # the clear colour (0.1, 0.5, 0.7)
WIDTH, HEIGHT = 640, 480
START_S = 60                     # WebGL on SwiftShader beside the rest of the suite can be slow
EVENT_S = 15
CHROMIUM = ["chromium", "--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
            "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--remote-debugging-port=0", "--window-size=800,600", "about:blank"]


def wait_for(cond, seconds, step=0.1):
    deadline = time.monotonic() + seconds
    while not (value := cond()) and time.monotonic() < deadline:
        time.sleep(step)
    return value


class Page:
    """One chromium tab over the DevTools protocol, keeping every console error and exception."""
    def __init__(self, profile):
        self.proc = subprocess.Popen(CHROMIUM + ["--user-data-dir=" + profile],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        port_file = Path(profile, "DevToolsActivePort")
        if not wait_for(lambda: port_file.exists() and port_file.read_text().strip(), START_S):
            raise RuntimeError("chromium gave no DevTools port")
        port = port_file.read_text().split()[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list"))
        self.ws = websocket.create_connection(next(t for t in targets if t["type"] == "page")["webSocketDebuggerUrl"])
        self.next_id, self.errors, self.logs = 0, [], []
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable")

    def close(self):
        self.ws.close()
        os.killpg(self.proc.pid, 9)   # chromium and every helper it started
        self.proc.wait()

    def note(self, event):
        method, params = event.get("method"), event.get("params", {})
        if method == "Runtime.consoleAPICalled":
            text = " ".join(str(a.get("value", a.get("description"))) for a in params["args"])
            (self.errors if params["type"] == "error" else self.logs).append(text)
        elif method == "Runtime.exceptionThrown":
            self.errors.append(json.dumps(params["exceptionDetails"])[:400])
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
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, key=name, code=code, windowsVirtualKeyCode=keycode)
            time.sleep(0.15)   # held like a real key, so the intro's loop sees it down


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


class WebPage(unittest.TestCase):
    def setUp(self):
        self.server = subprocess.Popen([sys.executable, "-u", "-m", "http.server", "0", "--bind", "127.0.0.1",
                                        "--directory", WWW], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                       text=True)
        self.addCleanup(lambda: (self.server.kill(), self.server.wait(), self.server.stdout.close()))
        self.port = re.search(r"port (\d+)", self.server.stdout.readline()).group(1)
        profile = tempfile.TemporaryDirectory(ignore_cleanup_errors=True)
        self.addCleanup(profile.cleanup)
        self.page = Page(profile.name)
        self.addCleanup(self.page.close)

    def test_intro_at_640x480_plays_after_a_click_and_escape_returns_to_the_choice(self):
        page = self.page
        page.call("Page.navigate", url=f"http://127.0.0.1:{self.port}/index.html?res=2&frame={KEPT}")
        self.assertTrue(wait_for(lambda: (page.eval("window.Module ? Module.framesShown : 0") or 0) > KEPT, START_S),
                        page.errors + page.logs)
        self.assertEqual(page.eval("(c => c.width + 'x' + c.height)(document.getElementById('canvas'))"), "640x480")

        first = page.canvas_pixels()
        # the rolled picture leaves the clear colour in its margins; the logo circles in the
        # upper middle and lights it well above the banner alone (which gives at most + 40)
        self.assertGreater(near_clear_share(first), 0.005)
        self.assertGreater(brightness(first, 160, 48, 320, 128), sum(CLEAR) / 3 + 45)
        time.sleep(1)
        self.assertNotEqual(first, page.canvas_pixels())

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

        page.key("Escape", "Escape", 27)
        back = "location.search === '' && getComputedStyle(document.getElementById('choice')).display !== 'none'"
        # the page loads again, which on a busy machine can take as long as the first load
        self.assertTrue(wait_for(lambda: page.eval(back), START_S), page.errors + page.logs[-5:])
        print("\n".join(line for line in page.logs if line.startswith("frame rate")))
        self.assertEqual(page.errors, [])

    def test_a_44_1_khz_soundtrack_with_tags_and_a_newline_plays(self):
        # lame's ID3v2 tag and Xing frame, a fifth of a second of tone and a newline, written over the
        # packed soundtrack once the runtime is up, before the intro reads it
        tone, page = Path(TONE).read_bytes(), self.page
        page.call("Page.addScriptToEvaluateOnNewDocument", source="""var tone = Uint8Array.from(atob('%s'),
            c => c.charCodeAt(0)), module; Object.defineProperty(window, 'Module', { configurable: true,
            get: () => module, set: m => { module = m; m.onRuntimeInitialized = () => FS.writeFile(
            '/data/soundtrack.mp3', tone); } });""" % base64.b64encode(tone).decode())
        page.call("Page.navigate", url=f"http://127.0.0.1:{self.port}/index.html?res=2")
        self.assertTrue(wait_for(lambda: (page.eval("window.Module ? Module.framesShown : 0") or 0) > 0, START_S))
        self.assertEqual(page.eval("FS.readFile('/data/soundtrack.mp3').length"), len(tone))
        for kind in ("mousePressed", "mouseReleased"):
            page.call("Input.dispatchMouseEvent", type=kind, x=400, y=300, button="left", clickCount=1)
        self.assertTrue(wait_for(lambda: page.eval("!!Module.music && !Module.music[0].paused && "
                                                   "Module.music[0].currentTime > 0"), EVENT_S), page.errors + page.logs)
        self.assertEqual(page.errors, [])

if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
