#!/usr/bin/env python3
# web-page.py -- fills the browser page's {{...}} fields from the release's info file, so the two never disagree
#   web-page.py TEMPLATE NFO OUT
# The info file's "name ...... value" lines give the title, party, dates and place; the page gets its
# title, its link-preview description and the line under the choice from them, escaped for HTML.
import html, re, sys

FIELD = re.compile(r"^\s*([a-z]+) \.{2,} (\S.*?)\s*$")
PLACEHOLDER = re.compile(r"\{\{(\w+)\}\}")
NEEDED = ("title", "party", "dates", "place")


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


def fill(template, texts):
    def value(match):
        if match.group(1) not in texts:
            raise ValueError("the page asks for an unknown field {{" + match.group(1) + "}}")
        return html.escape(texts[match.group(1)])
    return PLACEHOLDER.sub(value, template)


def main(template_path, nfo_path, out_path):
    try:
        with open(nfo_path, encoding="utf-8") as nfo, open(template_path, encoding="utf-8") as template:
            page = fill(template.read(), page_texts(nfo_fields(nfo.read())))
    except (OSError, UnicodeDecodeError, ValueError) as error:
        print(f"web-page: {error}", file=sys.stderr)
        return 1
    with open(out_path, "w", encoding="utf-8") as out:
        out.write(page)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        print("usage: web-page.py TEMPLATE NFO OUT", file=sys.stderr)
        sys.exit(2)
    sys.exit(main(*sys.argv[1:]))
