# harness.py -- what the Python tools share about running the intro: its pace and menu, the interposer's
# report, the private X server, and headless chromium with a local web server for the browser build
import contextlib, os, re, signal, subprocess, sys

TOOLS = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(TOOLS)     # the repository

FRAME_MS = 21                     # the intro draws one frame per 21 ms of its clock
FRAME_RATE = f"1000/{FRAME_MS}"   # ... so a video of it runs at this many frames per second
FPS_LIMIT = 1000 / FRAME_MS       # 47.6
MENU_SIZES = {1: "320x240", 2: "640x480", 3: "1024x768"}   # what each menu answer opens


def with_xvfb(command, *options):
    """The command run against a private Xvfb (tools/with-xvfb.sh, options --wm or --wayland)."""
    return [os.path.join(TOOLS, "with-xvfb.sh"), *options, *command]


#
# the interposer's report (tools/interpose/interpose.cpp lists its lines)
#
def read_report(path):
    """The report as a dict. A last line not yet ended by a newline is still being written and is left
    out, so a report can be read while the intro runs. A line that does not parse raises ValueError."""
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
    """python3 -m http.server on a free port of 127.0.0.1 for the block: the URL of the folder."""
    proc = subprocess.Popen([sys.executable, "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory",
                             folder], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    with proc:
        try:
            yield "http://127.0.0.1:%s/" % re.search(r" port (\d+) ", proc.stdout.readline()).group(1)
        finally:
            proc.kill()


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
