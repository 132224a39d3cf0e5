#!/usr/bin/python3
# capture.py -- records the unmodified intro frame by frame under its own Xvfb into an MP4 with the soundtrack and a PNG
#
# The intro runs with libinterpose.so preloaded on its virtual clock, so every
# frame comes exactly one frame interval of virtual ms after the one before however slow the
# machine, and each picture is read back at the buffer swap and piped to ffmpeg.
# Another size is reached through the intro's own resize path, before its first frame.
import argparse, os, re, shutil, signal, subprocess, sys, tempfile, threading, time

from harness import ROOT as REPO, facts, frame_rate, menu, read_report, with_xvfb

MAX_SIDE = 8192        # wider than any video site takes, and within the GL's viewport
# x264's constant quality: at 1080p the banner's thin grid keeps clean, unblocked edges and the faint
# lines behind the letters survive (veryfast at 17 smooths them away); about 15 Mbit/s at 1080p
CRF = 16
AUDIO_RATE = 48000     # what video sites and players expect, whatever rate the soundtrack has
AUDIO_BITRATE = "192k"
# soxr at its very-high-quality precision, in place of swr's default linear-interpolating filter
RESAMPLER = f"aresample={AUDIO_RATE}:resampler=soxr:precision=28"
# BT.709 matrix and tags at every size: browsers take untagged HD video as BT.709 and untagged SD
# video as BT.601, so tagging one matrix keeps the colours the same in every player
COLOUR_FILTER = "scale=out_color_matrix=bt709:out_range=tv"
COLOUR_TAGS = ["-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv"]
PRESETS = ["ultrafast", "superfast", "veryfast", "faster", "fast", "medium", "slow", "slower", "veryslow", "placebo"]
SECONDS = r"[0-9]+([.][0-9]+)?"
PROGRESS_S = 0.5       # the progress line is redrawn this often
FFMPEG = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y"]


def die(why):
    sys.exit(f"capture: {why}")


def matching(pattern, what):
    """An option's type: the text as given, when it is wholly of the pattern."""
    def check(text):
        if not re.fullmatch(pattern, text):
            raise argparse.ArgumentTypeError(f"{text!r} is not {what}")
        return text
    return check


def parse(argv):
    seconds, whole = matching(SECONDS, "a number of seconds"), matching("[0-9]+", "a whole number")
    p = argparse.ArgumentParser(prog="tools/capture.py", epilog="The same source, size and seed always give the same "
                                "frames. On a terminal a line shows the progress; otherwise only the closing summary "
                                "is printed.")
    p.add_argument("-r", "--resolution", metavar="N", type=int,
                   help="the answer to the intro's resolution menu (default: the one of its preset size); "
                   "another answer lists the menu's sizes")
    p.add_argument("--size", metavar="WxH", help="any even size instead, e.g. 1920x1080 or 3840x2160: the intro "
                   "opens at the menu's size and is resized to WxH before its first frame, so it draws the wider "
                   "view itself")
    p.add_argument("-d", "--duration", metavar="SEC", type=seconds, default="10",
                   help="video length in seconds (default %(default)s)")
    p.add_argument("--whole", action="store_true",
                   help="one pass of the show instead: from the first frame to where the soundtrack loops")
    p.add_argument("--fade", metavar="SEC", type=seconds, default="0",
                   help="fade picture and sound out over the last SEC seconds (default %(default)s: no fade)")
    p.add_argument("-o", "--output", metavar="FILE", default="capture-out/intro.mp4",
                   help="the MP4 (default %(default)s)")
    p.add_argument("-p", "--png", metavar="FILE", help="the screenshot (default: the MP4's name with .png)")
    p.add_argument("-s", "--shot", metavar="SEC", type=seconds, default="3",
                   help="take the screenshot from the frame shown at this time (default %(default)s)")
    p.add_argument("--shot-frame", metavar="N", type=whole, help="... or from frame N, counted from 0")
    p.add_argument("--seed", metavar="N", type=whole, default="0",
                   help="what the intro's clock reads before SDL starts; seeds the sparks (default %(default)s)")
    p.add_argument("--dir", metavar="DIR", default=REPO,
                   help="working directory of the intro, holding data/ (default: the repository)")
    p.add_argument("--build", metavar="DIR", default=os.path.join(REPO, "build"),
                   help="build directory with intro and tools/interpose/libinterpose.so (default: build/)")
    p.add_argument("--intro", metavar="FILE", help="the intro executable (default: BUILD/intro)")
    p.add_argument("--lib", metavar="FILE", help="the interposer (default: BUILD/tools/interpose/libinterpose.so)")
    # superfast: a third less encoder CPU than veryfast; CRF 16 keeps the grid clean, in larger files
    p.add_argument("--preset", metavar="NAME", choices=PRESETS, default="superfast",
                   help="x264 preset: %(default)s (default), veryfast ... veryslow: slower ones give smaller "
                   f"files (H.264 High profile, yuv420p, CRF {CRF}, AAC {AUDIO_BITRATE} at {AUDIO_RATE} Hz stereo)")
    p.add_argument("--framemd5", metavar="FILE",
                   help="also write the MD5 of every raw frame (ffmpeg's framemd5 format)")
    p.add_argument("--report", metavar="FILE", help="also keep the interposer's report: the virtual times of "
                   "playback start and of every frame")
    return vars(p.parse_args(argv))


def check(o):
    """The settings, checked in this order; fills in what follows from them."""
    if not os.path.isdir(o["dir"]):
        die(f"no directory {o['dir']}")
    for tool in filter(lambda tool: not shutil.which(tool), ("Xvfb", "xdpyinfo", "ffmpeg", "ffprobe")):
        die(f"{tool} is missing (tools/install-deps.sh installs it)")
    o["intro"] = os.path.realpath(o["intro"] or os.path.join(o["build"], "intro"))
    o["lib"] = os.path.realpath(o["lib"] or os.path.join(o["build"], "tools/interpose/libinterpose.so"))
    if not (os.path.isfile(o["intro"]) and os.access(o["intro"], os.X_OK)):
        die(f"no intro at {o['intro']} (build it: cmake -S . -B build && cmake --build build)")
    if not os.path.isfile(o["lib"]):
        die(f"no interposer at {o['lib']} (build it: cmake --build build --target interpose)")
    if not os.path.isfile(os.path.join(o["build"], "facts.json")):
        die(f"no facts.json in {o['build']} (build it: cmake --build {o['build']})")
    o["frame_ms"], o["frame_rate"] = facts(o["build"])["frame_ms"], frame_rate(o["build"])[0]
    o["soundtrack"] = facts(o["build"])["soundtrack"]   # where the intro reads its music, from its working folder
    sizes = menu(o["build"])
    if o["resolution"] is None:
        o["resolution"] = facts(o["build"])["preset_answer"]
    if o["resolution"] not in sizes:
        die("the resolution must be an answer of the intro's menu: " +
            ", ".join(f"{answer} = {size}" for answer, size in sizes.items()))
    o["resize"], o["size"] = bool(o["size"]), o["size"] or sizes[o["resolution"]]
    # H.264 in 4:2:0 halves the colour planes, so both sides must be even
    sides = re.fullmatch(r"([1-9][0-9]*)x([1-9][0-9]*)", o["size"])
    if not sides or any(int(side) % 2 or int(side) > MAX_SIDE for side in sides.groups()):
        die(f"the size must be WIDTHxHEIGHT, both even and at most {MAX_SIDE}, like 1920x1080")
    # frames whose start lies within the duration: the k-th (from 1) starts at k frame intervals
    frame_ms = o["frame_ms"]
    frames = whole_frames(o) if o["whole"] else int((float(o["duration"]) * 1000 + 1e-6) / frame_ms)
    if frames < 1:
        die(f"a duration of {o['duration']} s holds no frame")
    if o["shot_frame"] is None:
        o["shot_frame"] = str(min(int(float(o["shot"]) * 1000 / frame_ms + 0.5), frames - 1))
    if int(o["shot_frame"]) >= frames:
        die(f"the screenshot frame must lie between 0 and {frames - 1}")
    o["frames"], o["shot_frame"] = frames, int(o["shot_frame"])


def whole_frames(o):
    """The mixer starts the music at tick 0 and plays the file's frames back to back, so it loops after
    their summed length. The k-th frame (from 1) shows the picture at k frame intervals; the video holds
    every frame that ends by the loop point."""
    path = os.path.join(o["dir"], o["soundtrack"])
    if not os.path.isfile(path):
        die(f"--whole needs the soundtrack, and {path} is missing")
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                            "stream=time_base:packet=duration", "-of", "csv=p=0", path],
                           stdout=subprocess.PIPE, text=True).stdout.split()
    base = next((int(m.group(1)) for m in map(re.compile(r"[0-9]+/([0-9]+)").fullmatch, probe) if m), 0)
    loop_ms = sum(int(line) for line in probe if line.isdigit()) * 1000 // base if base > 0 else 0
    if loop_ms <= 0:
        die(f"cannot read the length of {path}")
    frames = loop_ms // o["frame_ms"]
    return frames - 1 if frames > 1 else die("the soundtrack is too short for a frame")


def show_progress(report, frames, done):
    """One line, redrawn twice a second from the frames in the interposer's report, until done is set."""
    begin, last = time.time(), False
    while True:
        try:
            shown = len(read_report(report)["frames"])
        except (OSError, ValueError):
            shown = 0
        elapsed = time.time() - begin
        rate = shown / elapsed if elapsed > 0 else 0
        left = int((frames - shown) / rate) if rate > 0 else 0
        sys.stderr.write(f"\r\033[Kcapture: {shown}/{frames} frames, {rate:.1f} frames/s, "
                         "%d:%02d elapsed, %d:%02d left" % (*divmod(int(elapsed), 60), *divmod(left, 60)))
        sys.stderr.flush()
        if last:
            break
        last = done.wait(PROGRESS_S)   # once more when done, with the last count


def record(o, tmp):
    """Runs the intro on our own X server, its frames through a pipe into ffmpeg: the video without sound,
    the PNG and the frames' MD5s. The intro answers the menu from standard input; its output goes to a log."""
    fade = f"fade=t=out:st={o['fade_start']}:d={o['fade']}," if o["fading"] else ""
    md5_output = ["-map", "0:v", "-f", "framemd5", o["framemd5"]] if o["framemd5"] else []
    frames_in, frames_out = os.pipe()
    ffmpeg = subprocess.Popen(
        [*FFMPEG, "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", o["size"], "-framerate", o["frame_rate"], "-i", "pipe:0",
         "-map", "0:v", "-c:v", "libx264", "-preset", o["preset"], "-crf", str(CRF), "-profile:v", "high",
         "-pix_fmt", "yuv420p", "-vf", fade + COLOUR_FILTER, *COLOUR_TAGS, "-fps_mode", "passthrough",
         os.path.join(tmp, "video.mp4"),
         "-map", "0:v", "-vf", f"select=eq(n\\,{o['shot_frame']})", "-frames:v", "1", "-update", "1", o["png"],
         *md5_output], stdin=frames_in)
    os.close(frames_in)
    preload = ":".join(filter(None, [o["lib"], os.environ.get("LD_PRELOAD")]))
    settings = [f"LD_PRELOAD={preload}", f"INTERPOSE_VIRTUAL={o['seed']}", f"INTERPOSE_FRAMES_FD={frames_out}",
                f"INTERPOSE_QUIT_FRAMES={o['frames']}", *([f"INTERPOSE_SIZE={o['size']}"] if o["resize"] else []),
                f"INTERPOSE_REPORT={tmp}/report"]
    with open(os.path.join(tmp, "answer"), "w+") as answer, open(os.path.join(tmp, "intro.log"), "wb") as log:
        answer.write(f"{o['resolution']}\n")
        answer.seek(0)
        intro = subprocess.Popen(with_xvfb(["env", "SDL_AUDIODRIVER=dummy", *settings, o["intro"]]),
                                 cwd=o["dir"], stdin=answer, stdout=log, stderr=subprocess.STDOUT,
                                 pass_fds=(frames_out,))
    os.close(frames_out)
    return intro.wait(), ffmpeg.wait()


def add_soundtrack(o, tmp, report):
    """The soundtrack as heard: the file the intro reads, from the moment playback started, looped, cut to
    the video's length (the mixer plays the file's samples as they decode); else silence as long."""
    music = report["music"] or (None, "")
    if music[0] is not None and os.path.isfile(os.path.join(music[1], o["soundtrack"])):
        lead_ms = report["frames"][0][0] - music[0]
        align = f"atrim=start={lead_ms / 1000:.3f},asetpts=PTS-STARTPTS" if lead_ms >= 0 else \
            f"adelay={-lead_ms}:all=1"
        audio = ["-stream_loop", "-1", "-i", os.path.join(music[1], o["soundtrack"])]
    else:
        align, audio = "anull", ["-f", "lavfi", "-i", f"anullsrc=r={AUDIO_RATE}:cl=stereo"]
    if o["whole"] and music[0] != 0:
        die("the intro did not start its soundtrack at tick 0")
    fade = f",afade=t=out:st={o['fade_start']}:d={o['fade']}" if o["fading"] else ""
    if subprocess.run([*FFMPEG, "-i", os.path.join(tmp, "video.mp4"), *audio, "-map", "0:v", "-map", "1:a",
                       "-c:v", "copy", "-af", f"{align},{RESAMPLER}{fade}", "-c:a", "aac", "-b:a", AUDIO_BITRATE,
                       "-ar", str(AUDIO_RATE), "-ac", "2", "-t", o["video_seconds"], "-movflags", "+faststart",
                       o["output"]]).returncode != 0:
        die("ffmpeg could not add the soundtrack")


def capture(o, tmp):
    done = threading.Event()
    progress = threading.Thread(target=show_progress, args=(os.path.join(tmp, "report"), o["frames"], done))
    if sys.stderr.isatty():
        progress.start()
    started = time.time()
    try:
        intro_status, ffmpeg_status = record(o, tmp)
    finally:
        if progress.is_alive():
            done.set()
            progress.join()
            sys.stderr.write("\r\033[K")
    if intro_status != 0:
        sys.stderr.write(open(os.path.join(tmp, "intro.log"), errors="replace").read())
        die(f"the intro ended with status {intro_status}")
    if ffmpeg_status != 0:
        die(f"ffmpeg could not encode the frames (status {ffmpeg_status})")
    if not os.path.isfile(os.path.join(tmp, "report")):
        die("the intro left no report")
    if o["report"]:
        shutil.copyfile(os.path.join(tmp, "report"), o["report"])
    try:
        report = read_report(os.path.join(tmp, "report"))
    except ValueError as e:
        die(e)
    if len(report["frames"]) != o["frames"]:
        die(f"recorded {len(report['frames'])} frames, wanted {o['frames']}")
    add_soundtrack(o, tmp, report)
    took = time.time() - started
    print(f"capture: {o['frames']} frames at {o['size']} ({o['video_seconds']} s) in {took:.1f} s, "
          f"{o['frames'] / took:.1f} frames/s -> {o['output']}; frame {o['shot_frame']} -> {o['png']}")


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    o = parse(sys.argv[1:])
    check(o)
    o["png"] = o["png"] or (o["output"][:-4] if o["output"].endswith(".mp4") else o["output"]) + ".png"
    for name in ("output", "png"):
        os.makedirs(os.path.dirname(o[name]) or ".", exist_ok=True)
    for name in ("output", "png", "framemd5", "report"):
        o[name] = o[name] and os.path.realpath(o[name])
    o["video_seconds"] = "%.3f" % (o["frames"] * o["frame_ms"] / 1000)
    o["fade_start"] = "%.3f" % (float(o["video_seconds"]) - float(o["fade"]))
    if o["fade_start"].startswith("-"):
        die(f"a fade of {o['fade']} s is longer than the video ({o['video_seconds']} s)")
    o["fading"] = float(o["fade"]) > 0
    with tempfile.TemporaryDirectory() as tmp:
        capture(o, tmp)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit(130)
