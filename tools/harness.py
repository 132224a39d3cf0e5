# harness.py -- what the Python tools share about running the intro: its facts (menu, pace), the interposer's
# report, the private X server, waiting for an event, and headless chromium with a local web server
import contextlib, functools, gzip, http.server, json, os, pathlib, re, signal, subprocess, threading, time, urllib.request

import websocket   # Debian's python3-websocket, for chromium's DevTools

TOOLS = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(TOOLS)     # the repository


@functools.cache
def facts(build):
    """What the build's intro-facts wrote of the intro (BUILD/facts.json): its menu, preset answer, frame
    interval in ms, data files and the scroller's message."""
    with open(os.path.join(build, "facts.json"), encoding="utf-8") as f:
        return json.load(f)


def menu(build):
    """Each answer of the intro's resolution menu and its size: {1: "320x240", ...}."""
    return {entry["answer"]: f"{entry['width']}x{entry['height']}" for entry in facts(build)["menu"]}


def frame_rate(build):
    """The intro's pace as frames per second, exactly ("1000/21") and as a number (47.6)."""
    return f"1000/{facts(build)['frame_ms']}", 1000 / facts(build)["frame_ms"]


def with_xvfb(command, *options):
    """The command run against a private Xvfb (tools/with-xvfb.sh, options --wm or --wayland)."""
    return [os.path.join(TOOLS, "with-xvfb.sh"), *options, *command]


def wait_for(cond, seconds, step=0.05):
    """Polls cond until it gives something true or the deadline passes; returns its last value."""
    deadline = time.monotonic() + seconds
    while True:
        value = cond()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


#
# the interposer's report (tools/interpose/interpose.h lists its lines)
#
def read_report(path):
    """The report as a dict. A last line not yet ended by a newline is still being written and is left
    out, so a report can be read while the intro runs. A line that does not parse, or of a kind the
    interposer does not write, raises ValueError."""
    r = {"marks": {}, "frames": [], "music": None, "cpu": {}, "first": {}, "last": {}, "xvfb_ns": None}
    with open(path, errors="replace") as f:
        for number, line in enumerate(f.read().split("\n")[:-1], 1):
            try:
                read_line(r, line)
            except (ValueError, IndexError):
                raise ValueError(f"{path}:{number}: not a report line: {line[:80]!r}") from None
    return r


def read_line(r, line):
    key, _, rest = line.partition(" ")
    f = rest.split()
    if key == "mark":                   # step, ns
        r["marks"].setdefault(f[0], number(f[1]))
    elif key == "frame":                # ticks, begin, swap in, swap out [, render, wait, read]
        if len(f) not in (4, 7):
            raise ValueError
        r["frames"].append([number(x) for x in f])
    elif key == "music":                # ticks, the intro's working directory
        ticks, _, folder = rest.partition(" ")
        r["music"] = (number(ticks), folder)
    elif key == "audio":                # the device's rate and channels
        if len(f) != 2:
            raise ValueError
        r["audio"] = (number(f[0]), number(f[1]))
    elif key in ("renderer", "gl_version", "size"):
        r[key] = rest
    elif key == "cpu" and len(f) == 4:  # first or last, ns, user ns, system ns
        r["cpu"][moment(f[0])] = [number(x) for x in f[1:]]
    elif key == "thread" and len(f) >= 4:   # first or last, tid, name (which may hold spaces), ns
        r[moment(f[0])][f[1]] = (" ".join(f[2:-1]), number(f[-1]))
    elif key in ("cpu", "thread"):
        raise ValueError
    elif key == "maxrss_kib":
        r["maxrss_kib"] = number(f[0])
    elif key == "xvfb_cpu_ns":          # added after the run by tools/bench.sh
        r["xvfb_ns"] = number(f[0])
    else:
        raise ValueError


def number(text):
    if not re.fullmatch(r"-?[0-9]{1,20}", text):
        raise ValueError
    return int(text)


def moment(text):
    if text not in ("first", "last"):
        raise ValueError
    return text


#
# the browser build: its folder served on a free local port, headless chromium driven over DevTools
#
CHROMIUM = ["chromium", "--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
            "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync"]
COMPRESSED = (".html", ".js", ".wasm")   # what a host that compresses gzips, as most do
CALL_S = 120                             # chromium answers every DevTools call within this, a load included


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *_):
        pass


class Compressing(Quiet):
    """A host that gzips pages, scripts and WebAssembly for browsers that take it."""
    def do_GET(self):
        path = self.translate_path(self.path)
        path = os.path.join(path, "index.html") if os.path.isdir(path) else path
        if not path.endswith(COMPRESSED) or "gzip" not in self.headers.get("Accept-Encoding", "") or \
                not os.path.isfile(path):
            return super().do_GET()
        with open(path, "rb") as f:
            body = gzip.compress(f.read(), 6)
        self.send_response(200)
        for name, value in (("Content-Type", self.guess_type(path)), ("Content-Encoding", "gzip"),
                            ("Content-Length", str(len(body)))):
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)


@contextlib.contextmanager
def serve(folder, host=Quiet):
    """The folder served from a thread on a free port of 127.0.0.1 for the block, plainly or by another kind
    of host (Compressing): its URL."""
    with http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(host, directory=folder)) as server:
        threading.Thread(target=server.serve_forever, daemon=True).start()
        try:
            yield f"http://127.0.0.1:{server.server_address[1]}/"
        finally:
            server.shutdown()


def chromium(profile, *arguments, **popen):
    """Headless chromium with its own profile folder, in a process group of its own (see stop)."""
    return subprocess.Popen(CHROMIUM + ["--user-data-dir=" + profile, *arguments], start_new_session=True, **popen)


def stop(proc):
    """Ends chromium and every helper it started (once: a second call finds them gone)."""
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()


class Page:
    """One chromium tab over the DevTools protocol, keeping every console line, error and exception, held
    requests (Fetch) and network events (Network) as they come."""
    def __init__(self, profile, flags=(), seconds=CALL_S):
        self.proc = chromium(profile, *flags, "--remote-debugging-port=0", "--window-size=800,600", "about:blank",
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = pathlib.Path(profile, "DevToolsActivePort")
        if not wait_for(lambda: port_file.exists() and port_file.read_text().strip(), seconds):
            stop(self.proc)
            raise RuntimeError("chromium gave no DevTools port")
        port = port_file.read_text().split()[0]
        targets = json.load(urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=CALL_S))
        self.ws = websocket.create_connection(next(t for t in targets if t["type"] == "page")["webSocketDebuggerUrl"],
                                              timeout=CALL_S)
        self.next_id, self.errors, self.exceptions, self.logs, self.paused, self.network = 0, [], [], [], [], []
        for domain in ("Runtime", "Log", "Page"):
            self.call(domain + ".enable")

    def close(self):
        self.ws.close()
        stop(self.proc)

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
        elif method and method.startswith("Network."):
            self.network.append((method, params))

    def call(self, method, **params):
        """The answer to one call; an error answer raises DevToolsError."""
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            try:
                message = json.loads(self.ws.recv())
            except websocket.WebSocketTimeoutException:
                raise AssertionError(f"chromium did not answer {method} within {CALL_S} s") from None
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise DevToolsError(f"{method}: {message['error'].get('message')}")
                return message.get("result", {})
            self.note(message)

    def eval(self, expression, promise=False):
        """The expression's value; None while the page is between documents (a key or a tap that ends the
        show takes its context away), so that a wait for the next document goes on."""
        try:
            return self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                             awaitPromise=promise)["result"].get("value")
        except DevToolsError as error:
            if "context" in str(error).lower():
                return None
            raise

    def frames(self):
        return self.eval("window.Module ? Module.framesShown : 0") or 0

    def shown(self, element):
        return self.eval(f"getComputedStyle(document.getElementById('{element}')).display") != "none"

    def text(self, element):
        return self.eval(f"document.getElementById('{element}').textContent")

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


class DevToolsError(Exception):
    pass
