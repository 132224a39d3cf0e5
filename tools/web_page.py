#!/usr/bin/python3
# web-page.py -- fills the browser page's {{...}} fields from the release's info file and the intro's menu
#   web-page.py TEMPLATE NFO OUT [--menu SCREEN_CPP] [--url ADDRESS] [--message MESSAGE_CPP] [--calendar ICS]
# The info file's "name ...... value" lines give the title, party, dates and place; the page gets its
# title, its link-preview description and the line under the choice from them, escaped for HTML.
# With the page's address its preview names it and its picture absolutely; without, the lines that
# need it are left out. The scroller's message, read from the intro's source, names the picture for
# screen readers, and the calendar file holds the party as an all-day event over its days. The
# choice's buttons come from the menu table in the intro's screen.cpp, with the window's size after them.
import argparse, datetime, html, os, re, sys, urllib.parse

FIELD = re.compile(r"^\s*([a-z]+) \.{2,} (\S.*?)\s*$")
PLACEHOLDER = re.compile(r"\{\{(\w+)\}\}")
NEEDED = ("title", "party", "dates", "place")
MONTHS = ("JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY", "AUGUST", "SEPTEMBER", "OCTOBER",
          "NOVEMBER", "DECEMBER")
# "23-25 JULY 2027", "30 JULY-1 AUGUST 2027", "31 DECEMBER 2027-2 JANUARY 2028" or one day, "23 JULY 2027"
DATES = re.compile(r"(?:(\d{1,2})(?: ([A-Z]+))?(?: (\d{4}))?\s*-\s*)?(\d{1,2}) ([A-Z]+) (\d{4})", re.IGNORECASE)
# the message's string literals, between "scrollMessage[] =" and the semicolon
MESSAGE = re.compile(r'scrollMessage\[\]\s*=((?:\s*"[^"\\\n]*")+)\s*;')
MENU_ENTRY = re.compile(r'\{ *([0-9]+), *\{ *([0-9]+), *([0-9]+), *[0-9]+ *\}, *"')   # { 1, { 320, 240, 24 }, "
ICS_LINE_OCTETS = 75   # a calendar line longer than this goes on in continuation lines


def nfo_fields(text):
    """The first value of each "name ..... value" line, by name."""
    fields = {}
    for line in text.splitlines():
        match = FIELD.match(line)
        if match:
            fields.setdefault(match.group(1), match.group(2))
    missing = [name for name in NEEDED if name not in fields]
    if missing:
        raise ValueError("the info file has no " + ", ".join(missing))
    return fields


def page_texts(fields):
    where_when = f"{fields['dates']}, {fields['place']}"
    return {
        "title": fields["title"],
        "party": f"An invitation to {fields['party']}: {where_when}.",
        "summary": f"The {fields['title']}, in your browser: {fields['party']}, {where_when}.",
    }


def party_days(dates):
    """The first and the last day of "23-25 JULY 2027" and its kin; ValueError for anything else."""
    match = DATES.fullmatch(dates.strip())
    if not match:
        raise ValueError(f"the info file's dates are not a day or a span of days: {dates!r}")
    first_day, first_month, first_year, day, month, year = match.groups()

    def date(y, m, d):
        if m.upper() not in MONTHS:
            raise ValueError(f"the info file's dates name no month: {dates!r}")
        return datetime.date(int(y), MONTHS.index(m.upper()) + 1, int(d))   # ValueError for the 31st of June
    last = date(year, month, day)
    first = date(first_year or year, first_month or month, first_day) if first_day else last
    if not first <= last <= first + datetime.timedelta(days=31):
        raise ValueError(f"the info file's dates do not run forward over a month at most: {dates!r}")
    return first, last


def ics_text(value):
    return re.sub(r"([\\;,])", r"\\\1", value).replace("\n", "\\n")


def ics_fold(line):
    """One content line, split before ICS_LINE_OCTETS octets, never inside a character."""
    pieces, piece = [], ""
    for char in line:
        if len((piece + char).encode()) > ICS_LINE_OCTETS - (1 if pieces else 0):
            pieces.append(piece)
            piece = ""
        piece += char
    return "\r\n ".join(pieces + [piece]) + "\r\n"


def calendar(fields, url):
    """The party as an all-day event over its days; the same info file always gives the same bytes."""
    first, last = party_days(fields["dates"])
    day = first.strftime("%Y%m%d")
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//" + ics_text(fields["title"]) + "//EN",
             "BEGIN:VEVENT", "UID:" + day + "-" + re.sub(r"[^a-z0-9]+", "-", fields["party"].lower()) + "@invitation",
             "DTSTAMP:" + day + "T000000Z", "DTSTART;VALUE=DATE:" + day,
             "DTEND;VALUE=DATE:" + (last + datetime.timedelta(days=1)).strftime("%Y%m%d"),
             "SUMMARY:" + ics_text(fields["party"]), "LOCATION:" + ics_text(fields["place"])]
    lines += ["URL:" + url] if url else []
    return "".join(map(ics_fold, lines + ["END:VEVENT", "END:VCALENDAR"]))


def scroller_text(source):
    """What the scroller says, from the intro's message.cpp: its literals joined, a full stop in place of
    the lone s that the picture draws between sections, the blanks around them left out."""
    match = MESSAGE.search(source)
    if not match:
        raise ValueError("the message source holds no scrollMessage of plain string literals")
    text = "".join(re.findall(r'"([^"]*)"', match.group(1)))
    sections = [" ".join(section.split()) for section in re.split(r"(?<!\S)s(?!\S)", text)]
    if not any(sections):
        raise ValueError("the scroller's message is empty")
    return " ".join(s if s[-1] in ".!?:" else s + "." for s in sections if s)


def menu_choices(screen_source):
    """The choice's buttons, one per menu answer and then the window's own size, numbered for the keys that
    pick them, and the number of the last."""
    entries = MENU_ENTRY.findall(screen_source)
    if not entries:
        raise ValueError("the intro's source holds no menu table")
    buttons = [f'<button data-answer="{answer}">{key}) {width}x{height}</button>' for key, (answer, width, height)
               in enumerate(entries, 1)]
    last = str(len(entries) + 1)
    return {"menu": "\n  ".join(buttons + [f'<button data-answer="w">{last}) the window\'s own size</button>']),
            "last_key": last}


def page_address(url):
    """The address checked: http or https, with a host and no blanks; "" stays ""."""
    parts = urllib.parse.urlsplit(url)
    if url and (parts.scheme not in ("http", "https") or not parts.hostname or re.search(r"\s", url)):
        raise ValueError(f"the page's address is not an http(s) address: {url!r}")
    return url


def fill(template, texts):
    if not texts.get("url"):
        template = "".join(line for line in template.splitlines(True) if "{{url}}" not in line)

    def value(match):
        if match.group(1) not in texts:
            raise ValueError("the page asks for an unknown field {{" + match.group(1) + "}}")
        text = texts[match.group(1)]
        return text if match.group(1) == "menu" else html.escape(text)   # markup made here from numbers alone
    return PLACEHOLDER.sub(value, template)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main(template_path, nfo_path, out_path, menu=None, url="", message=None, calendar_path=None):
    try:
        fields, url = nfo_fields(read(nfo_path)), page_address(url)
        texts = dict(page_texts(fields), url=url, folder=url[:url.rfind("/") + 1])
        if menu:
            texts.update(menu_choices(read(menu)))
        if message:
            texts["scroller"] = scroller_text(read(message))
        if calendar_path:
            texts["calendar"] = os.path.basename(calendar_path)
            event = calendar(fields, url)
        page = fill(read(template_path), texts)
    except (OSError, UnicodeDecodeError, ValueError) as error:
        print(f"web-page: {error}", file=sys.stderr)
        return 1
    with open(out_path, "w", encoding="utf-8") as out:
        out.write(page)
    if calendar_path:
        with open(calendar_path, "w", encoding="utf-8", newline="") as out:
            out.write(event)
    return 0


if __name__ == "__main__":
    arguments = argparse.ArgumentParser(description="The browser page filled in from the release's info file.")
    for name in ("template", "nfo", "out"):
        arguments.add_argument(name)
    arguments.add_argument("--menu", help="the intro's screen.cpp, for the choice's buttons")
    arguments.add_argument("--url", default="", help="the page's address, for absolute link previews")
    arguments.add_argument("--message", help="the intro's message.cpp, for the picture's spoken name")
    arguments.add_argument("--calendar", help="where to write the party's calendar file, which the page links")
    a = arguments.parse_args()
    sys.exit(main(a.template, a.nfo, a.out, a.menu, a.url, a.message, a.calendar))
