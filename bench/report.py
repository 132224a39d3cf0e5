#!/usr/bin/python3
# report.py -- PYTHONPATH=tools bench/report.py DIR PAGE.md: writes the performance page from what
# tools/bench.sh left in DIR:
#   machine.txt       "key: value" lines describing the machine, shown as they stand
#   commands.txt      the commands the run used, shown as they stand
#   frame.json        the frame benchmark's JSON output
#   run-<answer>.txt  interposer report (tools/interpose) of a run at each menu answer,
#                     with the driver's "xvfb_cpu_ns" line after it
#   whatif-*.txt      the same for runs with one setting changed; whatif-*.label names the change
#   startup-<n>.txt   reports of short runs at 640x480, for the start-up figures
#   sizes.txt         "intro_stripped_bytes N" and "data_bytes N"
#   profile.txt       a system-wide profile by thread and library during the largest run (optional)
#   web.txt           tools/web_bench.py: "fps ANSWER RATE WINDOW_S" per report window of the browser page,
#                     "story HOST NETWORK STORY MS BYTES" per run of a page story and
#                     "size FILE BYTES GZIP_BYTES" per file of the web folder (optional)
#   facts.json        the intro's facts (tools/facts), its pace among them
#   capture-<WxH>.txt the interposer's report of a capture at that size, and capture-<WxH>.run with
#                     "wall_s", "cpu_s" (every process of the capture) and "load" (before it) lines
import glob
import json
import math
import os
import sys

import harness

FRAME_MS = FPS_LIMIT = None          # the pacing, ms apart and per second: main reads it from DIR/facts.json
FPS_TARGET = 46.0
MEDIAN_TARGET_MS = (21.0, 22.0)
P99_TARGET_MS = 25.0
LATE_FRAME_MS = 25.0                 # an interval longer than this is a late frame
FRAME_CPU_TARGET_US = 20.0
STARTUP_TARGET_MS = 300.0

# each step runs from the mark before it to its own mark; the first from the exec
STARTUP_STEPS = [
    ("libraries_loaded", "dynamic loading"),
    ("tables_done",      "sine tables"),
    ("video_init_begin", "sparks, message, menu"),
    ("audio_init_begin", "SDL video start"),
    ("video_mode_begin", "audio start and soundtrack"),
    ("video_mode_end",   "window and GL context"),
    ("gl_ready",         "GL state and textures"),
    ("fullscreen_end",   "full screen"),
    ("first_frame",      "first frame drawn and swapped"),
]


def fail(why):
    sys.exit(f"report.py: {why}")


def percentile(values, p):
    """Nearest rank: the smallest value with at least p % of the list at or below it."""
    ordered = sorted(values)
    return ordered[min(max(math.ceil(p / 100 * len(ordered)) - 1, 0), len(ordered) - 1)]


def ms(ns):
    return ns / 1e6


def verdict(met):
    return "met" if met else "**missed**"


def read_report(path):
    try:
        r = harness.read_report(path)
    except ValueError as e:
        fail(str(e))
    # the interposer writes the peak memory last, so a report without it was cut short
    if "maxrss_kib" not in r:
        fail(f"{path}: the report ends before its last line (maxrss_kib)")
    return r


def summarize(path, setting=""):
    r = read_report(path)
    frames = r["frames"]
    if len(frames) < 2 or "last" not in r["cpu"]:
        fail(f"{path}: fewer than two frames were presented")
    shown = [f[3] for f in frames]
    gaps = [ms(b - a) for a, b in zip(shown, shown[1:])]
    # a presented interval is the start-to-start gap plus the growth of the frame's latency
    latency = [f[3] - f[1] for f in frames]
    first, last = r["cpu"]["first"], r["cpu"]["last"]
    window = last[0] - first[0]
    threads = {}
    for tid, (name, ns) in r["last"].items():
        threads[name] = threads.get(name, 0) + ns - r["first"].get(tid, (name, 0))[1]
    return {
        "setting": setting, "size": r["size"], "renderer": r["renderer"], "gl_version": r["gl_version"],
        "frames": len(frames), "fps": (len(frames) - 1) * 1000 / ms(shown[-1] - shown[0]),
        "median": percentile(gaps, 50), "p99": percentile(gaps, 99), "longest": max(gaps),
        "late": sum(g > LATE_FRAME_MS for g in gaps) / len(gaps),
        "pacing_median": percentile([ms(b[1] - a[1]) for a, b in zip(frames, frames[1:])], 50),
        "pacing_p99": percentile([ms(b[1] - a[1]) for a, b in zip(frames, frames[1:])], 99),
        "draw_median": percentile([ms(f[2] - f[1]) for f in frames], 50),
        "swap_median": percentile([ms(f[3] - f[2]) for f in frames], 50),
        "swap_p99": percentile([ms(f[3] - f[2]) for f in frames], 99),
        "latency_p99": percentile([ms(b - a) for a, b in zip(latency, latency[1:])], 99),
        "window_s": window / 1e9,
        "cpu": (sum(last[1:]) - sum(first[1:])) / window,
        "xvfb": None if r["xvfb_ns"] is None else r["xvfb_ns"] / window,
        "peak_mib": r["maxrss_kib"] / 1024,
        "threads": sorted(threads.items(), key=lambda t: -t[1]),
    }


def startup_split(path, size):
    r = read_report(path)
    if r.get("size") != size:
        fail(f"{path}: ran at {r.get('size')}, not {size} as the first run did")
    steps, previous = [], 0
    for mark, step in STARTUP_STEPS:
        if mark not in r["marks"]:
            fail(f"{path}: the report has no mark {mark}")
        if r["marks"][mark] < previous:
            fail(f"{path}: the mark {mark} comes before the one ahead of it")
        steps.append((step, ms(r["marks"][mark] - previous)))
        previous = r["marks"][mark]
    return steps, ms(previous)


def benchmark_figures(path):
    """Name and CPU time in µs of every benchmark; of repeated ones, the median under the plain name."""
    entries = json.load(open(path))["benchmarks"]
    aggregated = any(e.get("run_type") == "aggregate" for e in entries)
    per_us = {"ns": 1e-3, "us": 1, "ms": 1e3, "s": 1e6}
    return [(e["run_name"] if aggregated else e["name"], e["cpu_time"] * per_us[e.get("time_unit", "ns")])
            for e in entries if not aggregated or e.get("aggregate_name") == "median"]


def runs_section(runs):
    out = ["## The real intro at each menu resolution\n",
           f"Each run lasts {runs[0]['window_s']:.0f} s from its first frame, on Xvfb with Mesa's software renderer, "
           "the soundtrack decoding through SDL's dummy audio driver. The limit is one frame per "
           f"{FRAME_MS} ms, {FPS_LIMIT:.1f} frames per second. Intervals are between returns from the "
           "buffer swap, as the picture is presented.\n",
           "| Figure | Target | " + " | ".join(s["size"] for s in runs) + " |",
           "|---|---|" + "---|" * len(runs)]
    rows = [
        ("Frames per second", f"at least {FPS_TARGET:.0f}", lambda s: f"{s['fps']:.2f} "
         f"({100 * s['fps'] / FPS_LIMIT:.1f} % of the limit), {verdict(s['fps'] >= FPS_TARGET)}"),
        ("Median interval", f"{MEDIAN_TARGET_MS[0]:.0f} to {MEDIAN_TARGET_MS[1]:.0f} ms", lambda s:
         f"{s['median']:.2f} ms, {verdict(MEDIAN_TARGET_MS[0] <= s['median'] <= MEDIAN_TARGET_MS[1])}"),
        ("99th-percentile interval", f"at most {P99_TARGET_MS:.0f} ms",
         lambda s: f"{s['p99']:.2f} ms, {verdict(s['p99'] <= P99_TARGET_MS)}"),
        ("Longest interval", "", lambda s: f"{s['longest']:.2f} ms"),
        (f"Frames later than {LATE_FRAME_MS:.0f} ms", "", lambda s: f"{100 * s['late']:.2f} %"),
        ("Frames presented", "", lambda s: str(s["frames"])),
        ("CPU of the intro per second", "", lambda s: f"{s['cpu']:.3f} s"),
        ("CPU of Xvfb per second", "", lambda s: "not measured" if s["xvfb"] is None else f"{s['xvfb']:.3f} s"),
        ("Peak resident memory", "", lambda s: f"{s['peak_mib']:.1f} MiB"),
    ]
    out += [f"| {label} | {target} | " + " | ".join(cell(s) for s in runs) + " |" for label, target, cell in rows]
    out += ["\nThe intro's CPU counts all its threads: ours (main), Mesa's rasterisers (llvmpipe-N) and SDL's "
            "audio thread, which decodes the MP3 (named intro, like Mesa's idle helper threads). Both CPU figures "
            "are over the run from its first frame, except that Xvfb's is read before start-up and after exit, "
            "so it is a little high.\n",
            "### Where a frame's time goes\n",
            "A frame starts at the pacing test's tick reading; *draw* is from there to the buffer swap (our GL "
            "calls, queued by Mesa), *swap* is inside SDL_GL_SwapBuffers (llvmpipe rasterises the queued frame, "
            "then the picture is copied to the X server).\n",
            "A presented interval is the start-to-start gap plus the growth of the frame's latency (start to "
            "presentation) over the frame before it; the last column but one is the 99th percentile of that growth.\n",
            "| | Start-to-start median | Start-to-start p99 | Draw median | Swap median | Swap p99 | "
            "Latency growth p99 | CPU by thread over the run |",
            "|---|---|---|---|---|---|---|---|"]
    for s in runs:
        threads = ", ".join(f"{name} {ns / 1e9:.2f} s" for name, ns in s["threads"] if ns > 0)
        out.append(f"| {s['size']} | {s['pacing_median']:.2f} ms | {s['pacing_p99']:.2f} ms | "
                   f"{s['draw_median']:.2f} ms | {s['swap_median']:.2f} ms | {s['swap_p99']:.2f} ms | "
                   f"{s['latency_p99']:.2f} ms | {threads} |")
    return out


def whatif_section(whatifs):
    if not whatifs:
        return []
    out = ["\n### The same runs with one setting of the renderer changed\n",
           "| Setting | Size | Frames per second | Median interval | 99th percentile | "
           f"Later than {LATE_FRAME_MS:.0f} ms | Swap median | Swap p99 | CPU per second |",
           "|---|---|---|---|---|---|---|---|---|"]
    out += [f"| `{s['setting']}` | {s['size']} | {s['fps']:.2f} | {s['median']:.2f} ms | {s['p99']:.2f} ms | "
            f"{100 * s['late']:.2f} % | {s['swap_median']:.2f} ms | {s['swap_p99']:.2f} ms | {s['cpu']:.3f} s |"
            for s in whatifs]
    return out


def capture_section(folder):
    """Each capture: frames per wall second, the read-back's parts and the CPU every frame costs."""
    rows = []
    for name in sorted(glob.glob(os.path.join(folder, "capture-*.txt")),
                       key=lambda n: int(n.split("-")[-1].split("x")[0])):
        r = read_report(name)
        run = dict(line.split() for line in open(name[:-4] + ".run"))
        frames = r["frames"]          # ticks, begin, swap in, swap out, render, wait, read
        if len(frames) < 2 or len(frames[0]) < 7:
            fail(f"{name}: not a capture's report")
        n, wall = len(frames), float(run["wall_s"])
        steady = (n - 1) * 1000 / ms(frames[-1][3] - frames[0][3])
        intro_cpu = (sum(r["cpu"]["last"][1:]) - sum(r["cpu"]["first"][1:])) / 1e9
        median = lambda i: percentile([ms(f[i]) for f in frames], 50)
        rows.append(f"| {r['size']} | {n} | {wall:.1f} s | {n / wall:.1f} | {steady:.1f} | {median(4):.2f} ms | "
                    f"{median(6):.2f} ms | {median(5):.2f} ms | {1000 * float(run['cpu_s']) / n:.1f} ms | "
                    f"{1000 * intro_cpu / n:.1f} ms | {run['load']} |")
    if not rows:
        return []
    return ["\n## The capture tool\n",
            "`tools/capture.py --size WxH -d SECONDS`, the intro on its virtual clock under its own Xvfb, every "
            f"frame read back and encoded (x264 `superfast`, CRF 16). The video plays at {FPS_LIMIT:.1f} frames per second, so a "
            "capture above that runs faster than real time. *Captured* counts the whole command, start-up and the "
            "soundtrack's encoding included; *steady* runs from the first frame to the last. Per frame: *render* waits "
            "for the rasteriser to finish the frame, *read-back* copies it out of GL, *wait* is for a free buffer (the "
            "encoder falling behind). CPU counts every process of the capture (the intro with Mesa's threads, "
            "ffmpeg, Xvfb); the intro's share is from its first frame to its last, the rest is mostly the encoder.\n",
            "| Size | Frames | Wall time | Captured per second | Steady per second | Render median | "
            "Read-back median | Wait median | CPU per frame | of it the intro | Load before |",
            "|---|---|---|---|---|---|---|---|---|---|---|"] + rows


def misses(runs, whatifs, frame_us, startup, cores):
    """What each missed target comes from, in the measured figures' own terms."""
    notes = []
    for s in runs:
        size = s["size"]
        if s["fps"] < FPS_TARGET:
            notes.append(f"{size}: {s['fps']:.2f} frames per second. The swap takes {s['swap_median']:.2f} ms at "
                         f"the median, so draw and swap together pass the {FRAME_MS} ms gap and the pacing "
                         "waits on the renderer.")
        if s["median"] < MEDIAN_TARGET_MS[0]:
            notes.append(f"{size}: median interval {s['median']:.2f} ms, under {MEDIAN_TARGET_MS[0]:.0f} ms. The "
                         "pacing counts whole ticks of SDL's millisecond counter, and a tick reading lies up to 1 ms "
                         f"behind the real time, so a gap of {FRAME_MS} ticks lasts from just over {FRAME_MS - 1} ms "
                         f"to {FRAME_MS + 1} ms of real time; the start-to-start median "
                         f"was {s['pacing_median']:.2f} ms. This is the counter's resolution, not lost time.")
        if s["median"] > MEDIAN_TARGET_MS[1]:
            notes.append(f"{size}: median interval {s['median']:.2f} ms, over {MEDIAN_TARGET_MS[1]:.0f} ms: frames "
                         "wait on the renderer "
                         f"(swap median {s['swap_median']:.2f} ms).")
        if s["p99"] > P99_TARGET_MS:
            note = (f"{size}: 99th-percentile interval {s['p99']:.2f} ms. The pacing holds (start-to-start p99 "
                    f"{s['pacing_p99']:.2f} ms); the rest is a frame's latency growing over the one before, by "
                    f"{s['latency_p99']:.2f} ms at the 99th percentile, and the latency is nearly all swap (median "
                    f"{s['swap_median']:.2f} ms, p99 {s['swap_p99']:.2f} ms).")
            if s["xvfb"] is not None and cores:
                note += (f" The intro and Xvfb kept {s['cpu'] + s['xvfb']:.2f} of the {cores} cores busy, so the "
                         "swap waits on the rasteriser threads, not for CPU.")
            for w in whatifs:
                if w["size"] == size:
                    note += (f" With `{w['setting']}` the 99th percentile was {w['p99']:.2f} ms, "
                             f"{verdict(w['p99'] <= P99_TARGET_MS)}.")
            notes.append(note)
    if frame_us >= FRAME_CPU_TARGET_US:
        notes.append(f"The frame costs {frame_us:.2f} µs of our CPU; the per-pass rows show which pass.")
    if startup["median"] >= STARTUP_TARGET_MS:
        step, length = max(startup["steps"], key=lambda s: s[1])
        notes.append(f"Start-up takes {startup['median']:.1f} ms; the longest step is {step} at {length:.1f} ms.")
    return ["## Targets missed\n"] + ([f"- {n}" for n in notes] or ["None in this run."])


# the page's stories on a phone's network, with their targets in ms: (host, network, story)
STORY_TARGETS_MS = {("compressing", "slow4g", "tap_first_frame"): 2500, ("compressing", "slow4g", "tap_music"): 5000,
                    ("compressing", "slow4g", "link_first_frame"): 5000, ("compressing", "4g", "tap_first_frame"): 1000,
                    ("compressing", "4g", "tap_music"): 2000}
FIRST_FRAME_BYTES_TARGET = 1.2e6      # fetched before the first frame of a direct link, from a plain host
STORIES = [("tap_first_frame", "reads 3 s, taps 640x480: to the first frame"),
           ("tap_music", "... and to the music heard"), ("link_first_frame", "a direct link: to the first frame")]
NETWORKS = [("slow4g", "slow 4G"), ("4g", "4G"), ("unthrottled", "unthrottled")]


def web_section(path, runs):
    """The browser build: the page's frame rate at each menu answer, its stories on a phone's network, and
    what the folder weighs."""
    if not os.path.exists(path):
        return []
    fps, sizes, stories = {}, [], {}
    for kind, *fields in (line.split() for line in open(path) if line.strip()):
        if kind == "fps":
            fps.setdefault(int(fields[0]), []).append((float(fields[1]), float(fields[2])))
        elif kind == "size":
            sizes.append((fields[0], int(fields[1]), int(fields[2])))
        elif kind == "story":
            stories.setdefault(tuple(fields[:3]), []).append((int(fields[3]), int(fields[4])))
    window = next((w for windows in fps.values() for _, w in windows), 0)

    def rate(answer):
        windows = [r for r, _ in fps.get(answer, [])]
        if not windows:
            return "no window past start-up"
        mean = sum(windows) / len(windows)
        return f"{mean:.1f} ({100 * mean / FPS_LIMIT:.1f} % of the limit; {min(windows):.1f} to {max(windows):.1f})"

    def told(key):
        if key not in stories:
            return "not run"
        median = percentile([ms for ms, _ in stories[key]], 50)
        target = STORY_TARGETS_MS.get(key)
        return f"{median / 1000:.2f} s" + (f" (target {target / 1000:g} s, {verdict(median <= target)})" if target else "")

    out = ["\n## In a browser\n",
           "The browser build (`cmake --build BUILD --target web`, emscripten -Os) in Debian's headless chromium, "
           "WebGL on SwiftShader (the CPU, no GPU), served locally by Python's `http.server` "
           "(`tools/web_bench.py`). The page counts the frames the intro presents against page time "
           f"(`performance.now()`) and logs the rate every {window:g} s; the first report, which holds start-up, "
           "is left out, and the figure is the mean of the rest (lowest to highest in brackets). Same limit as "
           f"natively: one frame per {FRAME_MS} ms, {FPS_LIMIT:.1f} frames per second.\n",
           "| Figure | " + " | ".join(s["size"] for s in runs.values()) + " |", "|---|" + "---|" * len(runs),
           "| Frames per second | " + " | ".join(rate(answer) for answer in runs) + " |",
           "\nThe page's stories, each in a fresh browser with DevTools throttling its network (slow 4G: 150 ms, "
           "1.6 Mbit/s down, 750 kbit/s up; 4G: 60 ms, 9 Mbit/s, 1.5 Mbit/s), from a host that gzips html, "
           "JavaScript and WebAssembly and from a plain one; the median of the runs:\n",
           "| Story | " + " | ".join(f"{n}, {h}" for h in ("compressing", "plain") for _, n in NETWORKS) + " |",
           "|---|" + "---|" * 2 * len(NETWORKS)]
    out += [f"| {what} | " + " | ".join(told((h, n, story)) for h in ("compressing", "plain") for n, _ in NETWORKS)
            + " |" for story, what in STORIES]
    link = [fetched for ms, fetched in stories.get(("plain", "slow4g", "link_first_frame"), [])]
    if link:
        first = percentile(link, 50)
        out += [f"\nFetched before the first frame of a direct link, slow 4G, plain host: {first} bytes "
                f"(target at most {FIRST_FRAME_BYTES_TARGET / 1e6:g} MB, {verdict(first <= FIRST_FRAME_BYTES_TARGET)}): "
                "the page and `intro.pack`. A visitor who reads first has more by then, the song coming on behind "
                "the pack: " + ", ".join(f"{n} {percentile([f for _, f in stories[('plain', k, 'tap_first_frame')]], 50)}"
                                         for k, n in NETWORKS if ("plain", k, "tap_first_frame") in stories) +
                " bytes by the first frame of the tap story."]
    out += ["\n| File | Bytes | gzip -9 |", "|---|---|---|"]
    out += [f"| `{name}` | {size} | {packed} |" for name, size, packed in sizes]
    out += ["\n`intro.pack` holds the code, the five pictures (as differences from the byte three before) and the "
            "song's first frames, gzip-compressed by the build; `soundtrack.mp3`, the song as the intro's check "
            "accepts it, streams after it; `screenshot.png` is fetched only by browsers without WebGL."]
    return out


def main():
    if len(sys.argv) != 3:
        fail("usage: report.py DIR PAGE.md")
    folder, page = sys.argv[1], sys.argv[2]
    global FRAME_MS, FPS_LIMIT
    FRAME_MS, FPS_LIMIT = harness.facts(folder)["frame_ms"], harness.frame_rate(folder)[1]
    path = lambda name: os.path.join(folder, name)
    text = lambda name: open(path(name)).read()

    runs = {int(name[len(path("run-")):-len(".txt")]): summarize(name) for name in sorted(glob.glob(path("run-*.txt")))}
    first = next(iter(runs.values()))
    whatifs = [summarize(name, open(name[:-4] + ".label").readline().strip())
               for name in sorted(glob.glob(path("whatif-*.txt")))]
    figures = benchmark_figures(path("frame.json"))
    frame_us = dict(figures).get("BM_Frame")
    if frame_us is None:
        fail("frame.json has no BM_Frame figure")
    startups = sorted(glob.glob(path("startup-*.txt")))
    if not startups:
        fail("no startup-*.txt reports")
    startup_size = read_report(startups[0])["size"]
    splits = [startup_split(name, startup_size) for name in startups]
    totals = [total for _, total in splits]
    startup = {"median": percentile(totals, 50),
               "steps": [(step, percentile([s[i][1] for s, _ in splits], 50))
                         for i, (step, _) in enumerate(splits[0][0])]}
    machine = [line.partition(":") for line in text("machine.txt").splitlines() if ":" in line]
    cores = next((int(value) for key, _, value in machine if key == "Cores"), 0)
    sizes = dict(line.split() for line in text("sizes.txt").splitlines() if line.strip())

    out = ["# Performance\n",
           "Written by `tools/bench.sh`, which runs everything below and rewrites this page. "
           f"Renderer: {first['renderer']}, OpenGL {first['gl_version']}.\n",
           "## Machine\n", "| | |", "|---|---|"]
    out += [f"| {key} | {value.strip()} |" for key, _, value in machine]
    out += [""] + runs_section(list(runs.values())) + whatif_section(whatifs)
    out += ["\n## CPU cost of our own code\n",
            "Google Benchmark, the effects linked against the recording GL stand-in with recording switched off, "
            "so the figures are our code alone: the median of five repetitions.\n",
            "| Benchmark | CPU time | Target |", "|---|---|---|"]
    out += [f"| `{name}` | {us:.3f} µs | " + (f"under {FRAME_CPU_TARGET_US:.0f} µs, {verdict(us < FRAME_CPU_TARGET_US)}"
                                              if name == "BM_Frame" else "") + " |" for name, us in figures]
    out += ["\n## Start-up\n",
            "From the exec of the intro, with the menu answered at once, to the return of the first buffer swap, "
            f"at {startup_size}: {len(splits)} runs.\n",
            "| Figure | Target | Measured |", "|---|---|---|",
            f"| Start-up, median | under {STARTUP_TARGET_MS:.0f} ms | {startup['median']:.1f} ms, "
            f"{verdict(startup['median'] < STARTUP_TARGET_MS)} |",
            f"| Fastest and slowest run | | {min(totals):.1f} ms, {max(totals):.1f} ms |",
            "\nHow it splits (median of each step; the steps follow one another):\n",
            "| Step | Median |", "|---|---|"]
    out += [f"| {step} | {length:.1f} ms |" for step, length in startup["steps"]]
    out += ["\n## Size\n", "| | Bytes |", "|---|---|",
            f"| The intro, stripped | {sizes['intro_stripped_bytes']} |",
            f"| `data/` (five images and the soundtrack) | {sizes['data_bytes']} |", ""]
    out += web_section(path("web.txt"), runs)
    out += capture_section(folder)
    out += misses(list(runs.values()), whatifs, frame_us, startup, cores)
    profile = text("profile.txt").rstrip("\n") if os.path.exists(path("profile.txt")) else ""
    out += ["\n## Profile\n"]
    out += [f"Samples of the whole machine during a {harness.read_report(path('profile-run.txt')).get('size')} run, "
            "by thread and by library: `swapper` is the idle "
            "kernel, `[JIT]` is llvmpipe's compiled shaders, `swrast_dri.so` the rest of Mesa:\n",
            "```", profile, "```"] if profile else ["No profile: `perf` was not available."]
    out += ["\n## Commands\n", "```", text("commands.txt").rstrip("\n"), "```"]
    with open(page, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
