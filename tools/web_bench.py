#!/usr/bin/python3
# web_bench.py -- the browser page as visitors meet it, for the performance page: its frame rate in headless
# chromium at each answer of the intro's menu, its weight, and how long its stories take on a phone's network
# (DevTools throttling) from a host that compresses and from one that does not
#   tools/web_bench.py BUILD SECONDS RESULTS [--runs N]
# Serves BUILD/web/www (cmake --build BUILD --target web) on a free local port. RESULTS gets
#   fps ANSWER RATE WINDOW_S          each report window of the page's frame rate past its first
#   size FILE BYTES GZIP_BYTES        each file of the folder
#   story HOST NETWORK STORY MS BYTES each run of a story: the time it measures and the bytes fetched before
#                                     the first frame
import argparse, gzip, os, re, tempfile, time

import harness   # chromium over DevTools, the local web servers, the intro's facts

START_S = 120          # loading the page and compiling its WebAssembly, on a busy machine
READING_S = 3          # the visitor reads the page this long before choosing
RATE = re.compile(r"frame rate: ([0-9.]+) frames per second over ([0-9.]+) s")
FIRST = re.compile(r"first frame: ([0-9]+) ms after the choice, ([0-9]+) ms after the page opened")
HEARD = re.compile(r"music heard: ([0-9]+) ms after the choice")
# Lighthouse's mobile profile ("slow 4G") and 4G: latency in ms, bytes per second down and up
NETWORKS = {"slow4g": (150, 1.6e6 / 8, 750e3 / 8), "4g": (60, 9e6 / 8, 1.5e6 / 8), "unthrottled": (0, -1, -1)}
HOSTS = {"plain": harness.Quiet, "compressing": harness.Compressing}


def logged(page, pattern):
    """The first console line of the page that matches, once it comes; it is taken, so the next call finds
    the next one."""
    def found():
        page.eval("1")   # reading the events that came meanwhile
        return next((i for i, line in enumerate(page.logs) if pattern.search(line)), None)
    at = harness.wait_for(found, START_S)
    if at is None:
        raise RuntimeError(f"the page never logged {pattern.pattern!r}")
    match = pattern.search(page.logs[at])
    del page.logs[at]
    return match


def fetched_before(page, first_frame_ms):
    """Bytes the network delivered to the page (headers included) before its first frame, on the page's clock:
    whole for the requests done by then, as far as they had come for the others."""
    origin = page.eval("performance.timeOrigin")
    sent = next(p for m, p in page.network if m == "Network.requestWillBeSent")
    at = lambda p: (p["timestamp"] + sent["wallTime"] - sent["timestamp"]) * 1000 - origin   # the network's clock
    done = {p["requestId"]: p["encodedDataLength"] for m, p in page.network
            if m == "Network.loadingFinished" and at(p) <= first_frame_ms}
    return sum(done.values()) + sum(p["encodedDataLength"] for m, p in page.network if m == "Network.dataReceived"
                                    and p["requestId"] not in done and at(p) <= first_frame_ms)


def story(site, kind, network, preset, profile):
    """One run of a story: tap (the visitor reads, then taps the preset size: tap to first frame and to music)
    or link (a direct link to the preset size: from the navigation to the first frame)."""
    page = harness.Page(profile)
    try:
        latency, down, up = NETWORKS[network]
        page.call("Network.enable")
        page.call("Network.emulateNetworkConditions", offline=False, latency=latency, downloadThroughput=down,
                  uploadThroughput=up)
        if kind == "link":
            page.call("Page.navigate", url=f"{site}index.html?res={preset}")
            frame = int(logged(page, FIRST).group(2))
            return [("link_first_frame", frame, fetched_before(page, frame))]
        page.call("Page.navigate", url=f"{site}index.html")
        harness.wait_for(lambda: page.eval("document.readyState") == "complete", START_S)
        time.sleep(READING_S)
        page.click(*page.centre(f'#choice button[data-answer="{preset}"]'))
        first = logged(page, FIRST)
        return [("tap_first_frame", int(first.group(1)), fetched_before(page, int(first.group(2)))),
                ("tap_music", int(logged(page, HEARD).group(1)), 0)]
    finally:
        page.close()


def page_rates(site, answer, seconds, profile):
    """The frame rates (and their windows) the page at this answer logs over the seconds after its first
    report, which holds start-up."""
    page = harness.Page(profile, ("--window-size=1100,800",))
    try:
        page.call("Page.navigate", url=f"{site}index.html?res={answer}")
        rates = [logged(page, RATE).groups()]
        while sum(float(window) for _, window in rates[1:]) < seconds:
            rates.append(logged(page, RATE).groups())
        return rates[1:]
    finally:
        page.close()


def main():
    arguments = argparse.ArgumentParser(description="The browser page's frame rate, weight and network stories.")
    arguments.add_argument("build", help="the build folder, whose web target has been built")
    arguments.add_argument("seconds", type=float, help="seconds of frame rate past start-up at each answer")
    arguments.add_argument("results", help="the results file")
    arguments.add_argument("--runs", type=int, default=3, help="runs of each story (default %(default)s)")
    a = arguments.parse_args()
    www, lines = os.path.join(a.build, "web", "www"), []
    preset = harness.facts(a.build)["preset_answer"]
    with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as scratch:
        profile = lambda: tempfile.mkdtemp(dir=scratch)   # a fresh browser, with nothing in its cache
        with harness.serve(www) as site:
            for answer in harness.menu(a.build):
                lines += [f"fps {answer} {rate} {window}\n" for rate, window in page_rates(site, answer, a.seconds,
                                                                                             profile())]
        for host, handler in HOSTS.items():
            with harness.serve(www, handler) as site:
                for network in NETWORKS:
                    for kind in ("tap", "link"):
                        for _ in range(a.runs):
                            lines += [f"story {host} {network} {name} {ms} {fetched}\n"
                                      for name, ms, fetched in story(site, kind, network, preset, profile())]
    for name in sorted(os.listdir(www)):
        with open(os.path.join(www, name), "rb") as f:
            whole = f.read()
        lines.append(f"size {name} {len(whole)} {len(gzip.compress(whole, 9))}\n")
    with open(a.results, "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
