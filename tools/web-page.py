#!/usr/bin/python3
# web-page.py -- fills the browser page's {{...}} fields from the release's info file and the intro's menu
#   web-page.py TEMPLATE NFO SCREEN_CPP OUT
# The info file's "name ...... value" lines give the title, party, dates and place; the page gets its
# title, its link-preview description and the line under the choice from them, escaped for HTML. The
# choice's buttons come from the menu table in the intro's screen.cpp, with the window's size after them.
import html, re, sys

FIELD = re.compile(r"^\s*([a-z]+) \.{2,} (\S.*?)\s*$")
PLACEHOLDER = re.compile(r"\{\{(\w+)\}\}")
NEEDED = ("title", "party", "dates", "place")
MENU_ENTRY = re.compile(r'\{ *([0-9]+), *\{ *([0-9]+), *([0-9]+), *[0-9]+ *\}, *"')   # { 1, { 320, 240, 24 }, "


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


def fill(template, texts):
    def value(match):
        if match.group(1) not in texts:
            raise ValueError("the page asks for an unknown field {{" + match.group(1) + "}}")
        text = texts[match.group(1)]
        return text if match.group(1) == "menu" else html.escape(text)   # markup made here from numbers alone
    return PLACEHOLDER.sub(value, template)


def main(template_path, nfo_path, screen_path, out_path):
    try:
        with open(nfo_path, encoding="utf-8") as nfo, open(template_path, encoding="utf-8") as template, \
                open(screen_path, encoding="utf-8") as screen:
            page = fill(template.read(), {**page_texts(nfo_fields(nfo.read())), **menu_choices(screen.read())})
    except (OSError, UnicodeDecodeError, ValueError) as error:
        print(f"web-page: {error}", file=sys.stderr)
        return 1
    with open(out_path, "w", encoding="utf-8") as out:
        out.write(page)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 5:
        print("usage: web-page.py TEMPLATE NFO SCREEN_CPP OUT", file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
