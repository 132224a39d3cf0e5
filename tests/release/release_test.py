#!/usr/bin/python3
# release_test.py TARBALL -- the release as visitors meet it, in bare roots of Debian 11 to unstable (Xvfb and Mesa
# only, kept in .deps/roots/): its launcher, linked from another folder and answered 1, shows a lit picture, plays
# music into SDL's disk driver, ends with 0 on Escape and prints only the menu and the driver's notice; and no file
# needs a glibc newer than 2.31, the system's C++ runtime, or a library neither carried nor the system's.
import array, os, re, subprocess, sys, tempfile, time
from pathlib import Path
from Xlib import X, XK, display
from Xlib.ext import xtest
from harness import wait_for   # polls for an event up to a bound

TARBALL, IN_ROOT = os.path.abspath(sys.argv[1]), Path(__file__).resolve().parents[2] / "tools/in-root.sh"
SUITES = ["bullseye", "bookworm", "trixie", "sid"]
SYSTEM = set("libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 ld-linux-x86-64.so.2 libGL.so.1 libGLX.so.0 "
             "libEGL.so.1 libX11.so.6 libXext.so.6 libxcb.so.1 libasound.so.2 libpulse.so.0 libpulse-simple.so.0".split())
MENU = (b"\n\nChoose resolution\n\n1) 320x240 for software OpenGL\n2) 640x480 for hardware OpenGL\n"
        b"3) 1024x768 for hardware OpenGL on fast machines\n>")
NOTICE = b"WARNING: You are using the SDL disk writer audio driver!\n Writing to file [%s].\n"
CLEAR = 26 << 16 | 128 << 8 | 178   # the intro's clear colour (0.1, 0.5, 0.7)
BOUND = 300                         # seconds, for an event that never comes
results, T0 = [], time.monotonic()
version = lambda v: [int(n) for n in v.split(".")]


def check(what, ok):
    print(f"{time.monotonic() - T0:6.1f} s  {'ok    ' if ok else 'FAILED'}  {what}")
    results.append(bool(ok))
    return ok


def elf_check(folder):
    carried = {lib.name for lib in folder.glob("lib/*")}
    for f in [folder / "intro", *sorted(folder.glob("lib/*"))]:
        dump = subprocess.run(["objdump", "-p", f], capture_output=True, text=True, check=True).stdout
        newest, needed = max(re.findall(r"GLIBC_([0-9.]+)", dump), key=version), re.findall(r"NEEDED +(\S+)", dump)
        check(f"{f.name} (GLIBC_{newest}, RUNPATH {re.findall(r'RUNPATH +(.*)', dump)}, needs {' '.join(needed)}): glibc "
              "2.31 at most, no C++ runtime of the system, only carried or system libraries, found through a RUNPATH "
              "(after LD_LIBRARY_PATH)", version(newest) <= [2, 31] and not re.search("GLIBCXX_|CXXABI_", dump)
              and set(needed) <= carried | SYSTEM and " RUNPATH " in dump and " RPATH " not in dump)


def visit(suite, root, tmp):
    xvfb = subprocess.Popen([IN_ROOT, root, tmp, "Xvfb", "-displayfd", "1", "-screen", "0", "640x480x24"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    number, sound = xvfb.stdout.readline().strip(), Path(tmp, "sound.raw")   # named once it takes connections
    with open(TARBALL, "rb") as tarball:   # unpacked by the root's own tar, the launcher linked from another folder
        intro = subprocess.Popen([IN_ROOT, root, tmp, f"DISPLAY=:{number}", "SDL_AUDIODRIVER=disk",
                                  f"SDL_DISKAUDIOFILE={sound}", "sh", "-c", f"cd {tmp} && tar xzf - && mkdir elsewhere && "
                                  "cd elsewhere && ln -s ../neonfjord-intro/neonfjord.sh . && echo 1 | ./neonfjord.sh"],
                                 stdin=tarball, stdout=-1, stderr=-1)
    until = lambda cond: wait_for(lambda: cond() or intro.poll() is not None, BOUND) and cond()   # or the intro ends
    try:
        dpy = display.Display(f":{number}")
        screen = lambda: array.array("I", dpy.screen().root.get_image(0, 0, 640, 480, X.ZPixmap, 0xffffffff).data)
        check(f"{suite}: the picture is lit", until(lambda: CLEAR in [p & 0xffffff for p in screen()]))
        samples = lambda: array.array("h", sound.read_bytes()[:sound.stat().st_size & ~1]) if sound.exists() else [0]
        check(f"{suite}: the music reaches the disk driver", until(lambda: max(map(abs, samples())) > 1000))
        for event in X.KeyPress, X.KeyRelease:
            xtest.fake_input(dpy, event, dpy.keysym_to_keycode(XK.string_to_keysym("Escape")))
        dpy.sync()
        output = intro.communicate(timeout=BOUND)
        check(f"{suite}: Escape ends it with status 0", intro.returncode == 0)
        check(f"{suite}: nothing on the console but the menu and the disk driver's notice",
              output == (MENU, NOTICE % bytes(sound))) or print(output)
    finally:
        for proc in intro, xvfb:
            proc.kill(), proc.wait()   # in-root.sh takes everything it started with it


if os.getpid() != 1:   # in a process namespace of its own, so nothing it starts outlives it
    os.execvp("unshare", ["unshare", "--mount", "--pid", "--fork", "--kill-child", sys.executable, *sys.argv])
subprocess.run(["sh", "-c", "mkdir -p /tmp/.X11-unix && mount -t tmpfs x /tmp/.X11-unix"], check=True)   # and no other X
makers = {suite: subprocess.Popen([IN_ROOT.parent / "debian-root.sh", suite, f"release-test-{suite}", "xvfb", "libgl1",
                                   "libgl1-mesa-dri"], stdout=subprocess.PIPE, text=True) for suite in SUITES}
for suite, maker in makers.items():
    root = maker.communicate()[0].strip()
    check(f"{suite}: a bare root", maker.returncode == 0)
    with tempfile.TemporaryDirectory() as tmp:
        maker.returncode or visit(suite, root, tmp)
        suite == SUITES[0] and elf_check(Path(tmp, "neonfjord-intro"))   # the release as Debian 11 unpacked it
print(f"{results.count(True)} passed, {results.count(False)} failed")
sys.exit(0 if all(results) else 1)
