#!/usr/bin/python3
# web_pack.py -- the browser folder's two downloads: intro.pack, all the first frame needs (the code, the five
# pictures and the song's first frames) gzip-compressed in one file whatever the host does, and
# soundtrack.mp3, the song as the intro's check accepts it (tools/facts/song.cpp), which the page streams
# after the pack in segments that it decodes and plays back to back.
#   web_pack.py FACTS CODE_DIR DATA_ROOT SONG_LAYOUT OUT_DIR
# intro.pack is a line of JSON naming its parts and their sizes, and the song's plan, then the parts.
import argparse, gzip, json, os, shutil

# A picture's bytes are stored as their differences from the byte three before: a pixel is three bytes and
# its neighbour's colour the best guess of its own, which leaves deflate a third fewer bytes to send.
DELTA = 3
FIRST_SEGMENT_S = 1.0     # the music can start once this much of it has arrived ...
LONGEST_SEGMENT_S = 8.0   # ... and it comes on in segments twice as long each time, up to this
RESERVOIR_BYTES = 511     # a Layer III frame's data may begin this far back in the frames before it,
SIDE_BYTES = 36           # ... counting no frame's header and side information (at most 4 + 32 bytes)


def fnv1a(data):
    """FNV-1a, 32 bits: the page checks each segment against it before decoding."""
    h = 0x811C9DC5
    for byte in data:
        h = ((h ^ byte) * 0x01000193) & 0xFFFFFFFF
    return h


def delta(data):
    out = bytearray(data)
    for i in range(len(out) - 1, DELTA - 1, -1):
        out[i] = (out[i] - out[i - DELTA]) & 0xFF
    return bytes(out)


def preroll(frames, first):
    """How many frames to decode before a segment's first so that it sounds as in the whole song: the one
    before it, whose samples its own overlap, and those holding the data that one may reach back for."""
    warm, data = (1, 0) if first else (0, 0)
    while first - warm > 0 and data < RESERVOIR_BYTES:
        data += frames[first - warm] - frames[first - warm - 1] - SIDE_BYTES
        warm += 1
    return warm


def song_plan(layout, song, head):
    """The segments the page decodes: [from, start, end, skip, samples, hash], the bytes from `from` decoded,
    their first `skip` samples (the preroll's) dropped, `samples` played; `hash` is start to end's. The pack's
    part `head` holds the song's first frames, which the intro checks and hands to the player."""
    frames, rate, samples = layout["frames"], layout["rate"], layout["samples"]   # offsets, the end last
    plan, first, seconds = [], 0, FIRST_SEGMENT_S
    while first < len(frames) - 1:
        last = min(len(frames) - 1, first + max(1, round(seconds * rate / samples)))
        warm = preroll(frames, first)
        plan.append([frames[first - warm], frames[first], frames[last], warm * samples, (last - first) * samples,
                     fnv1a(song[frames[first]:frames[last]])])
        first, seconds = last, min(2 * seconds, LONGEST_SEGMENT_S)
    return {"file": "soundtrack.mp3", "bytes": len(song), "rate": rate, "channels": layout["channels"],
            "head": head, "segments": plan}


def main():
    arguments = argparse.ArgumentParser(description="The browser folder's pack and song.")
    for name, what in (("facts", "BUILD/facts.json"), ("code", "the folder of intro.js and intro.wasm"),
                       ("root", "the folder holding the intro's data/"),
                       ("layout", "intro-song's JSON, soundtrack.mp3 beside it"), ("out", "the browser folder")):
        arguments.add_argument(name, help=what)
    a = arguments.parse_args()
    with open(a.facts, encoding="utf-8") as f:
        facts = json.load(f)
    with open(a.layout, encoding="utf-8") as f:
        layout = json.load(f)
    read = lambda *path: open(os.path.join(*path), "rb").read()
    parts = [("intro.js", read(a.code, "intro.js"), 0), ("intro.wasm", read(a.code, "intro.wasm"), 0)]
    parts += [(path, delta(read(a.root, path)), DELTA) for path in facts["pictures"]]
    song_path, plan = os.path.join(os.path.dirname(a.layout), "soundtrack.mp3"), None
    if os.path.exists(os.path.join(a.out, "soundtrack.mp3")):
        os.remove(os.path.join(a.out, "soundtrack.mp3"))   # a song an earlier build packed
    if layout["frames"]:   # a song the check refused leaves the page silent, as the intro
        song = read(song_path)
        plan = song_plan(layout, song, facts["soundtrack"])
        parts.append((facts["soundtrack"], song[:layout["head"]], 0))
        shutil.copyfile(song_path, os.path.join(a.out, plan["file"]))
    header = {"parts": [{"name": name, "bytes": len(data), "delta": step} for name, data, step in parts],
              "song": plan}
    pack = json.dumps(header, separators=(",", ":")).encode() + b"\n" + b"".join(data for _, data, _ in parts)
    with open(os.path.join(a.out, "intro.pack"), "wb") as f:
        f.write(gzip.compress(pack, 9, mtime=0))


if __name__ == "__main__":
    main()
