#!/usr/bin/python3
# harness_test.py -- tools/harness.py's report reader: every kind of line, a report still being
# written, and hostile reports, which must fail with the line named and nothing else
import random, tempfile, unittest

import harness

REPORT = (b"mark libraries_loaded 0\nmark tables_done 505421\nmark tables_done 9\nmusic 0 /the intro's folder\n"
          b"audio 44100 1\nframe 21 195029939 275443198 278343365 22626617 8232 2928119\nrenderer llvmpipe (LLVM 15.0.6, 256 bits)\n"
          b"size 640x480\ncpu first 278402814 61142000 44158000\nthread first 10693 intro:disk$0 57225\n"
          b"thread last 10681 SDLAudioDev 2 734501\nframe 4294967295 1 2 3\nmaxrss_kib 98304\nxvfb_cpu_ns 12345\n")


def read(content):
    with tempfile.NamedTemporaryFile(buffering=0) as f:
        f.write(content)
        return harness.read_report(f.name)


class Report(unittest.TestCase):
    def test_every_line_of_a_report_and_not_the_one_still_being_written(self):
        self.assertEqual(read(REPORT + b"frame 42 5 6"), {
            "marks": {"libraries_loaded": 0, "tables_done": 505421}, "music": (0, "/the intro's folder"),
            "frames": [[21, 195029939, 275443198, 278343365, 22626617, 8232, 2928119], [4294967295, 1, 2, 3]],
            "renderer": "llvmpipe (LLVM 15.0.6, 256 bits)", "size": "640x480", "audio": (44100, 1),
            "first": {"10693": ("intro:disk$0", 57225)}, "last": {"10681": ("SDLAudioDev 2", 734501)},
            "cpu": {"first": [278402814, 61142000, 44158000]}, "maxrss_kib": 98304, "xvfb_ns": 12345})

    def test_hostile_lines_fail_naming_the_line_and_random_bytes_fail_only_so(self):
        for line in [b"frame 21 1 2", b"frame 21 1 2 3 4", b"frame x 1 2 3", b"frame 21 1 2 3.5", b"frame",
                     b"frame 1 2 3 " + b"9" * 400, b"music", b"music soon /here", b"audio 44100", b"audio x 2",
                     b"cpu first 1 2", b"cpu middle 1 2 3", b"thread first 7 main", b"thread first 7 main ns",
                     b"maxrss_kib", b"mark gl_ready", b"mark gl_ready \xff\xfe", b"xvfb_cpu_ns 1e9", b"frames 21 1 2 3"]:
            with self.subTest(line=line), self.assertRaisesRegex(ValueError, ":2: not a report line"):
                read(b"mark libraries_loaded 0\n" + line + b"\n")
        rng, outcomes = random.Random(20), set()
        words = REPORT.split(b" ") + [b"\n", b"\0", b"-", b"\xff", b"frame", b"99999999999999999999999"]
        for _ in range(2000):
            try:
                outcomes.add(type(read(b" ".join(rng.choice(words) for _ in range(rng.randrange(1, 40))))).__name__)
            except Exception as e:
                outcomes.add(type(e).__name__)
        self.assertEqual(outcomes, {"dict", "ValueError"})


if __name__ == "__main__":
    unittest.main(verbosity=1)
