#!/usr/bin/python3
# page_text_test.py -- tools/web-page.py over hostile info files, menu tables, dates, addresses and messages,
# and the real page with and without its address (the built page, without, is checked in chromium)
import contextlib, datetime, io, re, tempfile, unittest
from pathlib import Path
import icalendar   # Debian's python3-icalendar

ROOT = Path(__file__).resolve().parents[2]
web_page = __import__("web-page")

TEMPLATE = "<title>{{title}}</title><p>{{party}}</p><meta content=\"{{summary}}\">"
SCREEN = 'static const MenuEntry MENU[] = {\n  { 5, {  320, 200, 24 }, "for a" },\n  { 6, { 800,600,16}, "b" },\n};'


def build(nfo_bytes, template=TEMPLATE, screen=SCREEN, message=b"", url="", calendar=False):
    """Exit status and page of web-page.py over these info file bytes and intro sources, in a temporary
    folder; with the calendar too, as its one event, parsed."""
    with tempfile.TemporaryDirectory() as folder:
        nfo, page, out, source, cpp, ics = (Path(folder, name) for name in
                                            ("i.nfo", "p.html", "o.html", "screen.cpp", "m.cpp", "c.ics"))
        nfo.write_bytes(nfo_bytes)
        cpp.write_bytes(message)
        page.write_text(template, encoding="utf-8")
        source.write_text(screen, encoding="utf-8")
        with contextlib.redirect_stderr(io.StringIO()):
            status = web_page.main(str(page), str(nfo), str(out), str(source), url, message and str(cpp),
                                   calendar and str(ics))
        page = status, out.read_text(encoding="utf-8") if out.exists() else None
        return page + (icalendar.Calendar.from_ical(ics.read_bytes()).walk("VEVENT")[0],) if ics.exists() else page


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
        # the dates, the page's address and the scroller's message
        nfo = "title .. T\nparty .. P\ndates .. {}\nplace .. {}\n"
        place = "HALL; PIER 3, \\ " + "Å" * 80   # escaped, and folded between characters, never inside one
        for dates, first, end in (("31 december 2027 - 2 january 2028", (2027, 12, 31), (2028, 1, 3)),
                                  ("23 JULY 2027", (2027, 7, 23), (2027, 7, 24))):   # the end: the day after
            with self.subTest(dates=dates):
                status, _, event = build(nfo.format(dates, place).encode(), "", calendar=True)
                self.assertEqual([event.decoded(k) for k in ("DTSTART", "DTEND", "LOCATION")],
                                 [datetime.date(*first), datetime.date(*end), place.encode()])
        for dates in ("25-23 JULY 2027", "31 JUNE 2027", "23-25 JULEMBER 2027", "1 JULY-2 SEPTEMBER 2027", "SOON"):
            with self.subTest(dates=dates):
                self.assertEqual(build(nfo.format(dates, "Q").encode(), "", calendar=True), (1, None))
        for url, message, said in (("javascript:alert(1)", b"", None), ("party.example/intro/", b"", None),
                                   ("https://party.example/a b", b"", None),
                                   ("", b'const char scrollMessage[] = "  A  s B." " s ";', "A. B."),
                                   ("", b'const char scrollMessage[] = "  s  ";', None),    # nothing to say
                                   ("", b'const char scrollMessage[] = "A\\"B";', None)):   # an escape is not read
            with self.subTest(url=url, message=message):
                self.assertEqual(build(nfo.format("23 JULY 2027", "Q").encode(), "{{scroller}}", SCREEN, message, url),
                                 (0, said) if said else (1, None))

    def test_the_real_page_with_and_without_its_address(self):
        nfo, message = (ROOT / "cmake/release/neonfjord.nfo").read_bytes(), (ROOT / "src/fx/message.cpp").read_bytes()
        template, screen = ((ROOT / name).read_text(encoding="utf-8") for name in ("src/web/index.html",
                                                                                 "src/shell/screen.cpp"))
        tags = r'<link rel="canonical" href="([^"]*)"|<meta (?:property|name)="(og:url|og:image|twitter:\w+)" content="([^"]*)"'
        for url, absolute in (("https://party.example/intro/index.html", "https://party.example/intro/"), ("", "")):
            with self.subTest(url=url):
                status, page, event = build(nfo, template, screen, message, url, calendar=True)
                self.assertEqual([m.group(1) or m.group(2, 3) for m in re.finditer(tags, page)],
                                 [url, ("og:url", url)] * bool(url) +
                                 [("og:image", absolute + "screenshot.png"), ("twitter:card", "summary_large_image")])
                # the party in a calendar: an all-day event over its days, 23 to 25 July
                self.assertEqual([event.decoded(k) for k in ("DTSTART", "DTEND")] + [event.get("URL")],
                                 [datetime.date(2027, 7, 23), datetime.date(2027, 7, 26), url or None])
        # what a screen reader says for the picture: the scroller's invitation, its sections as sentences
        spoken = re.search(r'<canvas id="canvas" role="img" aria-label="([^"]*)"', page).group(1)
        self.assertEqual((spoken[:43], spoken[-23:], "ORG. WRITE TO THE ORGANISERS" in spoken),
                         ("NEON FJORD 2027 INVITES YOU TO THE HARBOUR.", "SEE YOU AT THE HARBOUR.", True))


if __name__ == "__main__":
    unittest.main(verbosity=2)
