#!/usr/bin/python3
# web-bench.py -- the browser build's frame rate in headless chromium and its weight, for the performance page
#   tools/web-bench.py BUILD SECONDS RESULTS
# Serves BUILD/web/www (cmake --build BUILD --target web) on a free local port and opens the page at each
# answer of the intro's menu (BUILD/intro) until it has logged SECONDS of frame rates past its first report,
# which holds start-up.
# The page logs its frame rate every 5 s of page time; RESULTS gets "fps ANSWER RATE" for every later
# report and "size FILE BYTES GZIP_BYTES" for each file of the folder.
import gzip, math, os, re, subprocess, sys, tempfile, threading

import harness   # chromium, the local web server, the menu

REPORT_S = 5           # the page's report window
START_S = 60           # loading the page and compiling its WebAssembly, on a busy machine
RATE = re.compile(r'"frame rate: ([0-9.]+) ')


def page_rates(site, answer, windows, profile):
    """The frame rates the page at this answer logs after its first report: windows of them, or fewer if
    it logs none for long."""
    proc = harness.chromium(profile, "--window-size=1100,800", "--enable-logging=stderr", "--v=0",
                            f"{site}index.html?res={answer}", stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, errors="replace")
    deadline = threading.Timer(START_S + 2 * REPORT_S * (windows + 1), harness.stop, [proc])
    deadline.start()
    rates = []
    for found in filter(None, map(RATE.search, proc.stderr)):
        rates.append(found.group(1))
        if len(rates) > windows:
            break
    deadline.cancel()
    harness.stop(proc)
    proc.stderr.close()
    return rates[1:]


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: tools/web-bench.py BUILD SECONDS RESULTS")
    build, seconds, results = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    www, lines = os.path.join(build, "web", "www"), []
    with harness.serve(www) as site, tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as scratch:
        for answer in harness.menu(os.path.join(build, "intro")):
            rates = page_rates(site, answer, math.ceil(seconds / REPORT_S), os.path.join(scratch, str(answer)))
            lines += [f"fps {answer} {rate}\n" for rate in rates]
    for name in sorted(os.listdir(www)):
        with open(os.path.join(www, name), "rb") as f:
            whole = f.read()
        lines.append(f"size {name} {len(whole)} {len(gzip.compress(whole, 9))}\n")
    with open(results, "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
