#!/usr/bin/env bash
# capture_test.sh repeatable|release|whole INTRO INTERPOSER SOURCE_DIR BINARY_DIR -- the capture tool on the
# unmodified intro: frame-exact and repeatable, and a resize draws what opening at that size draws; the installed
# release from another folder (launcher, a link to it, bare intro) captures what the build does; one pass of a
# short soundtrack ends before its loop point, faded out
set -euo pipefail

intro=$2 lib=$3 source=$4 binary=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
check() { "${@:2}" || { echo "FAILED: $1"; failed=1; }; }   # check WHAT COMMAND...: names WHAT when it fails
capture() {   # capture NAME OPTIONS...: to $tmp/NAME.mp4, .md5, .report and .out
  local name=$1; shift
  "$source/tools/capture.py" --build "$binary" --intro "$intro" --lib "$lib" --dir "$source" -o "$tmp/$name.mp4" \
    --framemd5 "$tmp/$name.md5" --report "$tmp/$name.report" "$@" >"$tmp/$name.out" 2>&1 ||
    { cat "$tmp/$name.out"; echo "FAILED: capture $name"; exit 1; }
}
digests() { grep -v '^#' "$tmp/$1.md5" | awk -F, '{ print $NF }'; }
# the ticks of NAME's frames on one line, then its playback's start and folder, read by the tools' one report reader
report() { PYTHONPATH="$source/tools" "$PYTHON" -c 'import sys, harness; r = harness.read_report(sys.argv[1])
print(*[f[0] for f in r["frames"]]); print(*r["music"] or ["no music"])' "$tmp/$1.report"; }
streams() { ffprobe -v error -show_entries stream=codec_name,profile,pix_fmt,width,height,r_frame_rate,sample_rate,channels,duration -of csv=p=0 "$tmp/$1.mp4"; }
# the mean of frame N of NAME.mp4, or of a crop of it (0 black, 255 white); the peak level of its sound from SECONDS on
brightness() { ffmpeg -v error -i "$tmp/$1.mp4" -vf "select=eq(n\,$2),${3:+crop=$3,}scale=1:1:flags=area" -frames:v 1 \
                 -f rawvideo -pix_fmt gray - | od -An -tu1; }
peak_db() { ffmpeg -v info -ss "$2" -i "$tmp/$1.mp4" -map 0:a -af volumedetect -f null - 2>&1 | sed -n 's/.*max_volume: \(-*[0-9]*\).*/\1/p'; }

case $1 in
repeatable)
  capture first -r 1 -d 1
  capture second -r 1 -d 1
  script -qec "$(printf '%q ' "$source/tools/capture.py" --build "$binary" --intro "$intro" --lib "$lib" --dir "$source" \
    -o "$tmp/seed7.mp4" --framemd5 "$tmp/seed7.md5" -r 1 -d 0.1 --seed 7)" /dev/null >"$tmp/seed7.out"
  check "a progress line on a terminal" grep -q 'capture: [0-9]*/4 frames, .* frames/s, .* elapsed, .* left' "$tmp/seed7.out"
  check "only the summary otherwise" [ "$(sed 's/ in .*//' "$tmp/first.out")" = "capture: 47 frames at 320x240 (0.987 s)" ]
  check "the same frames twice" [ "$(digests first)" = "$(digests second)" ]
  check "the picture is upright: the logo's band is brighter than the floor" \
    [ "$(brightness first 0 320:60:0:20)" -gt $(($(brightness first 0 320:60:0:180) + 20)) ]
  check "the frames move" [ "$(digests first | head -1)" != "$(digests first | tail -1)" ]
  check "another seed scatters the sparks elsewhere" [ "$(digests first | head -1)" != "$(digests seed7 | head -1)" ]
  check "frames at 21, 42, ... 987 virtual ms" [ "$(report first | head -1)" = "$(seq -s ' ' 21 21 987)" ]
  check "playback starts at tick 0" [ "$(report first | tail -1)" = "0 $source" ]
  check "H.264 High 4:2:0 at 320x240 and 1000/21 frames a second, with stereo AAC at 48 kHz of the same length" \
    [ "$(streams first)" = "$(printf 'h264,High,320,240,yuv420p,1000/21,0.987000\naac,LC,48000,2,0/0,0.987000')" ]
  check "the index comes first, so a player starts before the download ends" grep -qa moov <(head -c 64 "$tmp/first.mp4")
  capture resized -r 2 -d 0.2 --size 320x240
  check "a resize to 320x240 draws what opening at 320x240 draws" \
    [ "$(digests resized)" = "$(digests first | head -n "$(digests resized | wc -l)")" ]
  ;;
release)
  prefix=$tmp/neonfjord-intro
  cmake --install "$binary" --component release --prefix "$prefix" >/dev/null
  check "the release carries data/ whole" diff -rq "$prefix/data" "$source/data"
  mkdir "$tmp/elsewhere" "$tmp/bin"
  ln -s "$prefix/neonfjord.sh" "$tmp/bin/neonfjord"
  capture built -r 1 -d 0.1
  capture released -r 1 -d 0.1 --intro "$prefix/neonfjord.sh" --dir "$tmp/elsewhere"
  capture bare -r 1 -d 0.1 --intro "$prefix/intro" --dir "$tmp/elsewhere"
  capture lost -r 1 -d 0.1 --dir "$tmp/elsewhere"
  for run in released bare; do
    check "$run: the music plays from the release's own folder" [ "$(report $run | tail -1)" = "0 $prefix" ]
    check "$run: the release draws what the build draws" [ "$(digests $run)" = "$(digests built)" ]
  done
  # no display: the intro shows its menu, then fails on the video, so the link found it
  check "a link to the launcher starts the intro" \
    sh -c 'cd "$2" && echo 2 | env -u DISPLAY "$1" 2>/dev/null | grep -q "Choose resolution"' - "$tmp/bin/neonfjord" "$tmp/elsewhere"
  check "without data/ the picture differs, so the launcher did find it" [ "$(digests lost)" != "$(digests built)" ]
  ;;
whole)
  mkdir -p "$tmp/show/data"
  ln -s "$source"/data/*.bmp "$tmp/show/data/"
  # 48 frames of the soundtrack, 1152 samples each at 32 kHz: the music loops at 1728 ms
  head -c $((48 * 576)) "$source/data/soundtrack.mp3" >"$tmp/show/data/soundtrack.mp3"
  capture whole -r 1 --whole --fade 0.5 --dir "$tmp/show"
  check "81 frames, the last ending at 1722 ms, and sound as long" \
    [ "$(streams whole)" = "$(printf 'h264,High,320,240,yuv420p,1000/21,1.701000\naac,LC,48000,2,0/0,1.701000')" ]
  check "the picture before the fade is lit" [ "$(brightness whole 40)" -gt 60 ]
  check "the picture fades to black" [ "$(brightness whole 80)" -lt 8 ]
  check "the sound fades out" [ "$(peak_db whole 1.65)" -lt $(($(peak_db whole 1.0) - 20)) ]
  ;;
*)
  echo "usage: capture_test.sh repeatable|release|whole INTRO INTERPOSER SOURCE_DIR BINARY_DIR" >&2; exit 2 ;;
esac
exit $failed
