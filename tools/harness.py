# harness.py -- what the Python tools share about running the intro: its pace and menu, the interposer's
# report, the private X server, waiting for an event, and headless chromium with a local web server
import contextlib, functools, http.server, os, re, signal, subprocess, threading, time

TOOLS = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(TOOLS)     # the repository

# the intro's pace, from its one home in its loop: a frame is due once more than the threshold has passed,
# so on SDL's millisecond counter frames start one millisecond past it
with open(os.path.join(ROOT, "src/shell/loop.cpp")) as loop:
    FRAME_MS = int(re.search(r"FRAME_THRESHOLD_MS = ([0-9]+);", loop.read()).group(1)) + 1   # 21 ms
FRAME_RATE = f"1000/{FRAME_MS}"   # ... so a video of it runs at this many frames per second
FPS_LIMIT = 1000 / FRAME_MS       # 47.6


def menu(intro):
    """The intro's resolution menu as it prints it, each answer's size: {1: "320x240", ...}. With nothing
    to answer and a video driver that does not exist, the intro prints its menu and ends."""
    out = subprocess.run([intro], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         env=dict(os.environ, SDL_VIDEODRIVER="none"), text=True, errors="replace").stdout
    return {int(answer): size for answer, size in re.findall(r"^([0-9]+)\) ([0-9]+x[0-9]+) ", out, re.M)}


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
# the browser build: its folder served on a free local port, headless chromium
#
CHROMIUM = ["chromium", "--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
            "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync"]


@contextlib.contextmanager
def serve(folder):
    """The folder served from a thread on a free port of 127.0.0.1 for the block: its URL."""
    quiet = type("Quiet", (http.server.SimpleHTTPRequestHandler,), {"log_message": lambda *_: None})   # no log
    with http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(quiet, directory=folder)) as server:
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
