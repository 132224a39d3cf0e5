#!/usr/bin/python3
# web_page.py -- the browser folder's page and calendar file, filled in from the release's info file and the
# intro's facts (BUILD/facts.json)
#   web_page.py TEMPLATE NFO FACTS OUT_DIR [--url ADDRESS]
# The info file's "name ...... value" lines give the title, party, dates and place; the page gets its
# title, its link-preview description and the line under the choice from them, escaped for HTML. With the
# page's address its preview names it and its picture absolutely; without, the lines that need it are
# left out. The choice's buttons are the intro's menu, the window's size after them; the scroller's
# message names the picture for screen readers; the pack's size is what the loading bar counts down.
# invitation.ics holds the party as an all-day event over its days.
import argparse, datetime, html, json, os, re, sys, urllib.parse

import icalendar   # Debian's python3-icalendar

FIELD = re.compile(r"^\s*([a-z]+) \.{2,} (\S.*?)\s*$")
PLACEHOLDER = re.compile(r"\{\{(\w+)\}\}")
NEEDED = ("title", "party", "dates", "place")
MONTHS = ("JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY", "AUGUST", "SEPTEMBER", "OCTOBER",
          "NOVEMBER", "DECEMBER")
# "23-25 JULY 2027", "30 JULY-1 AUGUST 2027", "31 DECEMBER 2027-2 JANUARY 2028" or one day, "23 JULY 2027"
DATES = re.compile(r"(?:(\d{1,2})(?: ([A-Z]+))?(?: (\d{4}))?\s*-\s*)?(\d{1,2}) ([A-Z]+) (\d{4})", re.IGNORECASE)
CALENDAR = "invitation.ics"
MARKUP = ("menu",)   # fields made here from numbers alone, left unescaped


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


def calendar(fields, url):
    """The party as an all-day event over its days (a calendar's end is the day after); the same info file
    always gives the same bytes."""
    first, last = party_days(fields["dates"])
    event = icalendar.Event()
    event.add("uid", first.strftime("%Y%m%d") + "-" + re.sub(r"[^a-z0-9]+", "-", fields["party"].lower()) +
              "@invitation")
    event.add("dtstamp", datetime.datetime.combine(first, datetime.time(), datetime.timezone.utc))
    event.add("dtstart", first)
    event.add("dtend", last + datetime.timedelta(days=1))
    event.add("summary", fields["party"])
    event.add("location", fields["place"])
    if url:
        event.add("url", url)
    cal = icalendar.Calendar()
    cal.add("version", "2.0")
    cal.add("prodid", f"-//{fields['title']}//EN")
    cal.add_component(event)
    return cal.to_ical()


def scroller_text(message):
    """What the scroller says: a full stop in place of the lone s that the picture draws between sections,
    the blanks around them left out."""
    sections = [" ".join(section.split()) for section in re.split(r"(?<!\S)s(?!\S)", message)]
    if not any(sections):
        raise ValueError("the scroller's message is empty")
    return " ".join(s if s[-1] in ".!?:" else s + "." for s in sections if s)


def menu_choices(facts):
    """The choice's buttons, one per menu answer and then the window's own size, numbered for the keys that
    pick them, and the number of the last."""
    entries = [(int(e["answer"]), int(e["width"]), int(e["height"])) for e in facts["menu"]]
    if not entries:
        raise ValueError("the intro's facts hold no menu")
    buttons = [f'<button data-answer="{answer}">{key}) {width}x{height}</button>' for key, (answer, width, height)
               in enumerate(entries, 1)]
    last = str(len(entries) + 1)
    return {"menu": "\n  ".join(buttons + [f'<button data-answer="w">{last}) the window\'s own size</button>']),
            "last_key": last, "preset_answer": str(int(facts["preset_answer"]))}


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
        return text if match.group(1) in MARKUP else html.escape(text)
    return PLACEHOLDER.sub(value, template)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def main(template_path, nfo_path, facts_path, out_dir, url=""):
    try:
        fields, url = nfo_fields(read(nfo_path)), page_address(url)
        facts = json.loads(read(facts_path))
        texts = dict(page_texts(fields), url=url, folder=url[:url.rfind("/") + 1], calendar=CALENDAR,
                     scroller=scroller_text(facts["message"]), pack_bytes=str(os.path.getsize(
                         os.path.join(out_dir, "intro.pack"))), **menu_choices(facts))
        page, event = fill(read(template_path), texts), calendar(fields, url)
    except (OSError, UnicodeDecodeError, ValueError, KeyError, TypeError) as error:   # a field missing or mistyped too
        print(f"web_page: {error}", file=sys.stderr)
        return 1
    with open(os.path.join(out_dir, "index.html"), "w", encoding="utf-8") as out:
        out.write(page)
    with open(os.path.join(out_dir, CALENDAR), "wb") as out:
        out.write(event)
    return 0


if __name__ == "__main__":
    arguments = argparse.ArgumentParser(description="The browser page filled in from the release's info file.")
    for name in ("template", "nfo", "facts", "out_dir"):
        arguments.add_argument(name)
    arguments.add_argument("--url", default="", help="the page's address, for absolute link previews")
    a = arguments.parse_args()
    sys.exit(main(a.template, a.nfo, a.facts, a.out_dir, a.url))
