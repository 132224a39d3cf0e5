#!/usr/bin/python3
# page_text_test.py BUILD -- tools/web_page.py over hostile info files, facts, dates, addresses and messages,
# and the real page with and without its address (the built page, without, is checked in chromium)
import contextlib, datetime, io, json, re, sys, tempfile, unittest
from pathlib import Path
import icalendar   # Debian's python3-icalendar
import web_page

ROOT = Path(__file__).resolve().parents[2]
BUILD = sys.argv[1]   # the build folder, whose facts.json the real page is made from
TEMPLATE = "<title>{{title}}</title><p>{{party}}</p><meta content=\"{{summary}}\">"
FACTS = {"menu": [{"answer": 5, "width": 320, "height": 200}, {"answer": 6, "width": 800, "height": 600}],
         "preset_answer": 6, "message": " A  s B. s "}


def build(nfo_bytes, template=TEMPLATE, facts=FACTS, url=""):
    """Exit status, page and calendar event (parsed) of web_page.py over these info file bytes and facts, in
    a temporary folder holding a pack of 1234 bytes."""
    with tempfile.TemporaryDirectory() as folder:
        nfo, page, facts_file, out, ics = (Path(folder, name) for name in
                                           ("i.nfo", "p.html", "facts.json", "index.html", "invitation.ics"))
        nfo.write_bytes(nfo_bytes)
        page.write_text(template, encoding="utf-8")
        facts_file.write_text(json.dumps(facts), encoding="utf-8")
        Path(folder, "intro.pack").write_bytes(bytes(1234))
        with contextlib.redirect_stderr(io.StringIO()):
            status = web_page.main(str(page), str(nfo), str(facts_file), folder, url)
        return (status, out.read_text(encoding="utf-8") if out.exists() else None,
                icalendar.Calendar.from_ical(ics.read_bytes()).walk("VEVENT")[0] if ics.exists() else None)


class PageText(unittest.TestCase):
    def test_hostile_info_files_facts_dates_and_addresses(self):
        fields = "title .. T\nparty .. P\ndates .. 23 JULY 2027\nplace .. Q\n"
        cases = [
            (b"", 1, None),
            (fields.replace("party .. P\n", "").encode(), 1, None),            # a field missing
            (b"party . P\n" + fields.replace("party .. P\n", "").encode(), 1, None),  # one dot is no field line
            (fields.replace("Q", "1 & <b>\"2\"</b>").encode(), 0,               # markup arrives as text
             "<title>T</title><p>An invitation to P: 23 JULY 2027, 1 &amp; &lt;b&gt;&quot;2&quot;&lt;/b&gt;.</p>"
             "<meta content=\"The T, in your browser: P, 23 JULY 2027, 1 &amp; &lt;b&gt;&quot;2&quot;&lt;/b&gt;.\">"),
            (("party .. FIRST\n" + fields).replace("\n", "\r\n").encode(), 0,   # CRLF; the first of two wins
             "<title>T</title><p>An invitation to FIRST: 23 JULY 2027, Q.</p>"
             "<meta content=\"The T, in your browser: FIRST, 23 JULY 2027, Q.\">"),
            (b"\xff\xfe" + fields.encode(), 1, None),                            # not UTF-8
        ]
        for nfo, status, page in cases:
            with self.subTest(nfo=nfo[:40]):
                self.assertEqual(build(nfo)[:2], (status, page))
        self.assertEqual(build(fields.encode(), "{{nonsense}}")[:2], (1, None))
        # the choice: a button for each answer of the menu and the window's size after them, numbered; the
        # preset's answer, the spoken message and the pack's size for the bar
        self.assertEqual(build(fields.encode(), "{{menu}} {{last_key}} {{preset_answer}} {{scroller}} {{pack_bytes}}")
                         [:2], (0, '<button data-answer="5">1) 320x200</button>\n  <button data-answer="6">2) '
                         '800x600</button>\n  <button data-answer="w">3) the window\'s own size</button> 3 6 A. B. 1234'))
        for facts in ({}, dict(FACTS, menu=[]), dict(FACTS, menu=[{"answer": 1}]), dict(FACTS, message="  s  "),
                      dict(FACTS, menu=[{"answer": "<b>", "width": 1, "height": 1}]), dict(FACTS, preset_answer=None)):
            with self.subTest(facts=facts):
                self.assertEqual(build(fields.encode(), "{{menu}}", facts)[:2], (1, None))
        # the dates and the page's address
        nfo = "title .. T\nparty .. P\ndates .. {}\nplace .. {}\n"
        place = "HALL; PIER 3, \\ " + "Å" * 80   # escaped, and folded between characters, never inside one
        for dates, first, end in (("31 december 2027 - 2 january 2028", (2027, 12, 31), (2028, 1, 3)),
                                  ("23 JULY 2027", (2027, 7, 23), (2027, 7, 24))):   # the end: the day after
            with self.subTest(dates=dates):
                event = build(nfo.format(dates, place).encode(), "")[2]
                self.assertEqual([event.decoded(k) for k in ("DTSTART", "DTEND", "LOCATION")],
                                 [datetime.date(*first), datetime.date(*end), place.encode()])
        for dates in ("25-23 JULY 2027", "31 JUNE 2027", "23-25 JULEMBER 2027", "1 JULY-2 SEPTEMBER 2027", "SOON"):
            with self.subTest(dates=dates):
                self.assertEqual(build(nfo.format(dates, "Q").encode(), ""), (1, None, None))
        for url in ("javascript:alert(1)", "party.example/intro/", "https://party.example/a b"):
            with self.subTest(url=url):
                self.assertEqual(build(nfo.format("23 JULY 2027", "Q").encode(), "", url=url), (1, None, None))

    def test_the_real_page_with_and_without_its_address(self):
        nfo, template = (ROOT / "cmake/release/neonfjord.nfo").read_bytes(), (ROOT / "src/web/index.html").read_text()
        facts = json.loads(Path(BUILD, "facts.json").read_text())   # the intro's own
        tags = r'<link rel="canonical" href="([^"]*)"|<meta (?:property|name)="(og:url|og:image|twitter:\w+)" content="([^"]*)"'
        for url, absolute in (("https://party.example/intro/index.html", "https://party.example/intro/"), ("", "")):
            with self.subTest(url=url):
                status, page, event = build(nfo, template, facts, url)
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
    unittest.main(argv=sys.argv[:1] + sys.argv[2:], verbosity=2)
