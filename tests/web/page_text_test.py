#!/usr/bin/python3
# page_text_test.py -- tools/web-page.py over hostile info files and menu tables (the real ones are checked on
# the built page)
import contextlib, io, tempfile, unittest
from pathlib import Path

web_page = __import__("web-page")

TEMPLATE = "<title>{{title}}</title><p>{{party}}</p><meta content=\"{{summary}}\">"
SCREEN = 'static const MenuEntry MENU[] = {\n  { 5, {  320, 200, 24 }, "for a" },\n  { 6, { 800,600,16}, "b" },\n};'


def build(nfo_bytes, template=TEMPLATE, screen=SCREEN):
    """Exit status and page of web-page.py over these info file bytes and intro source, in a temporary folder."""
    with tempfile.TemporaryDirectory() as folder:
        nfo, page, source, out = (Path(folder, name) for name in ("info.nfo", "page.html", "screen.cpp", "out.html"))
        nfo.write_bytes(nfo_bytes)
        page.write_text(template, encoding="utf-8")
        source.write_text(screen, encoding="utf-8")
        with contextlib.redirect_stderr(io.StringIO()):
            status = web_page.main(str(page), str(nfo), str(source), str(out))
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
        # the choice: a button for each answer of the menu table and the window's size after them, numbered
        self.assertEqual(build(fields.encode(), "{{menu}} {{last_key}}"), (0, '<button data-answer="5">1) 320x200'
                         '</button>\n  <button data-answer="6">2) 800x600</button>\n  <button data-answer="w">3) '
                         "the window's own size</button> 3"))
        for screen in ("", 'static const MenuEntry MENU[] = { { 1, { 320, 240 }, "no depth" } };', "\xff{ 1, {"):
            with self.subTest(screen=screen):
                self.assertEqual(build(fields.encode(), "{{menu}}", screen), (1, None))


if __name__ == "__main__":
    unittest.main(verbosity=2)
