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
    def __init__(self, profile):
        self.proc = harness.chromium(profile, "--remote-debugging-port=0", "--window-size=800,600", "about:blank",
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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
        harness.stop(self.proc)

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
        # held like a real key until the intro has drawn two frames, so its loop has seen it down; a key
        # that ends the show may take the intro away first
        shown = lambda: self.eval("window.Module && Module.framesShown")
        self.call("Input.dispatchKeyEvent", type="keyDown", key=name, code=code, windowsVirtualKeyCode=keycode)
        down = shown()
        wait_for(lambda: not down or shown() in (None, 0) or shown() >= down + 2, EVENT_S)
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


class WebPage(unittest.TestCase):
    def setUp(self):
        self.site = self.enterContext(harness.serve(WWW))
        profile = tempfile.TemporaryDirectory(ignore_cleanup_errors=True)
        self.addCleanup(profile.cleanup)
        self.page = Page(profile.name)
        self.addCleanup(self.page.close)

    def test_intro_at_640x480_plays_after_a_click_and_escape_returns_to_the_choice(self):
        page = self.page
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

        page.key("Escape", "Escape", 27)
        back = "location.search === '' && getComputedStyle(document.getElementById('choice')).display !== 'none'"
        # the page loads again, which on a busy machine can take as long as the first load
        self.assertTrue(wait_for(lambda: page.eval(back), START_S), page.errors + page.logs[-5:])
        print("\n".join(line for line in page.logs if line.startswith("frame rate")))
        self.assertEqual(page.errors, [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
