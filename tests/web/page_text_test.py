#!/usr/bin/env python3
# page_text_test.py -- tools/web-page.py over hostile info files (the real one is checked on the built page)
import contextlib, io, sys, tempfile, unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
web_page = __import__("web-page")

TEMPLATE = "<title>{{title}}</title><p>{{party}}</p><meta content=\"{{summary}}\">"


def build(nfo_bytes, template=TEMPLATE):
    """Exit status and page of web-page.py over these info file bytes, in a temporary folder."""
    with tempfile.TemporaryDirectory() as folder:
        nfo, page, out = (Path(folder, name) for name in ("info.nfo", "page.html", "out.html"))
        nfo.write_bytes(nfo_bytes)
        page.write_text(template, encoding="utf-8")
        with contextlib.redirect_stderr(io.StringIO()):
            status = web_page.main(str(page), str(nfo), str(out))
        return status, out.read_text(encoding="utf-8") if out.exists() else None


class PageText(unittest.TestCase):
    def test_hostile_info_files(self):
        fields = "title .. T\nparty .. P\ndates .. D\nplace .. Q\n"
        cases = [
            (b"", 1, None),
            (fields.replace("dates .. D\n", "").encode(), 1, None),             # a field missing
            (b"dates . D\n" + fields.replace("dates .. D\n", "").encode(), 1, None),  # one dot is not a field line
            (fields.replace("D", "1 & <b>\"2\"</b>").encode(), 0,               # markup arrives as text
             "<title>T</title><p>An invitation to P: 1 &amp; &lt;b&gt;&quot;2&quot;&lt;/b&gt;, Q.</p>"
             "<meta content=\"The T, in your browser: P, 1 &amp; &lt;b&gt;&quot;2&quot;&lt;/b&gt;, Q.\">"),
            (("party .. FIRST\n" + fields).replace("\n", "\r\n").encode(), 0,   # CRLF; the first of two wins
             "<title>T</title><p>An invitation to FIRST: D, Q.</p>"
             "<meta content=\"The T, in your browser: FIRST, D, Q.\">"),
            (b"\xff\xfe" + fields.encode(), 1, None),                            # not UTF-8
        ]
        for nfo, status, page in cases:
            with self.subTest(nfo=nfo[:40]):
                self.assertEqual(build(nfo), (status, page))
        self.assertEqual(build(fields.encode(), "{{nonsense}}"), (1, None))


if __name__ == "__main__":
    unittest.main(verbosity=2)
