#!/usr/bin/env python3
# report_test.py -- report.py on a results folder with known frames: the page shows the figures they give
#   report_test.py REPORT_PY
import os
import subprocess
import sys
import tempfile

MS = 1000000
# 101 frames, 96 intervals of 21 ms and two late frames, each caught up by the next
GAPS = [21] * 48 + [26, 16] + [21] * 48 + [29, 13]
STEPS = [("libraries_loaded", 10), ("tables_done", 11), ("video_init_begin", 12), ("audio_init_begin", 30),
         ("video_mode_begin", 40), ("video_mode_end", 80), ("gl_ready", 85), ("fullscreen_end", 90)]


def report(first_frame_ms):
    lines = [f"mark {step} {ms * MS}" for step, ms in STEPS + [("first_frame", first_frame_ms)]]
    lines += ["renderer llvmpipe", "gl_version 4.5", "size 640x480", "cpu first 0 0 0", "thread first 7 main 0"]
    shown = first_frame_ms
    for gap in [0] + GAPS:
        shown += gap
        lines.append(f"frame 0 {(shown - 5) * MS} {(shown - 3) * MS} {shown * MS}")   # draw 2 ms, swap 3 ms
    lines += [f"cpu last {2000 * MS} {1000 * MS} 0", f"thread last 7 main {1000 * MS}", "maxrss_kib 102400",
              f"xvfb_cpu_ns {200 * MS}"]
    return "\n".join(lines) + "\n"


files = {f"run-{n}.txt": report(100) for n in (1, 2, 3)}
files.update({"startup-1.txt": report(100), "startup-2.txt": report(120), "machine.txt": "Cores: 2\n",
              "sizes.txt": "intro_stripped_bytes 27296\ndata_bytes 3742926\n", "commands.txt": "tools/bench.sh\n",
              "frame.json": '{"benchmarks": [{"name": "BM_Frame_mean", "run_name": "BM_Frame", "run_type": "aggregate",'
                            ' "aggregate_name": "mean", "cpu_time": 9e9, "time_unit": "ns"}, {"name": "BM_Frame_median",'
                            ' "run_name": "BM_Frame", "run_type": "aggregate", "aggregate_name": "median",'
                            ' "cpu_time": 1795.0, "time_unit": "ns"}]}'})
with tempfile.TemporaryDirectory() as folder:
    for name, text in files.items():
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)
    subprocess.run([sys.executable, sys.argv[1], folder, os.path.join(folder, "page.md")], check=True)
    page = open(os.path.join(folder, "page.md")).read()

wanted = [
    "| Frames per second | at least 46 | 47.62 (100.0 % of the limit), met |",
    "| Median interval | 21 to 22 ms | 21.00 ms, met |",
    "| 99th-percentile interval | at most 25 ms | 26.00 ms, **missed** |",
    "| Longest interval |  | 29.00 ms |",
    "| Frames later than 25 ms |  | 2.00 % |",
    "| CPU of the intro per second |  | 0.500 s |",
    "| CPU of Xvfb per second |  | 0.100 s |",
    "| Peak resident memory |  | 100.0 MiB |",
    "| 640x480 | 21.00 ms | 26.00 ms | 2.00 ms | 3.00 ms | 3.00 ms | 0.00 ms | main 1.00 s |",
    "| `BM_Frame` | 1.795 µs | under 20 µs, met |",
    "| Start-up, median | under 300 ms | 100.0 ms, met |",
    "| Fastest and slowest run | | 100.0 ms, 120.0 ms |",
    "| window and GL context | 40.0 ms |",
    "- 640x480: 99th-percentile interval 26.00 ms. The pacing holds (start-to-start p99 26.00 ms)",
]
missing = [line for line in wanted if line not in page]
for line in missing:
    print(f"the page lacks: {line}")
sys.exit(1 if missing else 0)
