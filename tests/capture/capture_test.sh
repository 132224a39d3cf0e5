#!/usr/bin/env bash
# capture_test.sh -- the capture tool on the unmodified intro
#   capture_test.sh repeatable|release INTRO INTERPOSER SOURCE_DIR BINARY_DIR
# repeatable: one frame every 21 virtual ms with the music from tick 0, the same frames twice,
#             other frames for another seed
# release:    the installed release, started from another folder by its launcher or as the bare
#             intro, captures what the build does; a link to the launcher starts it too
set -euo pipefail

intro=$2 lib=$3 source=$4 binary=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
check() {   # check WHAT COMMAND...: runs the command, names WHAT when it fails
  "${@:2}" || { echo "FAILED: $1"; failed=1; }
}
capture() {   # capture NAME OPTIONS...: frames to $tmp/NAME.md5, the interposer's report to $tmp/NAME.report
  local name=$1
  shift
  "$source/tools/capture/capture" --intro "$intro" --lib "$lib" --dir "$source" -o "$tmp/$name.mp4" \
    --framemd5 "$tmp/$name.md5" --report "$tmp/$name.report" "$@" || { echo "FAILED: capture $name"; exit 1; }
}
digests() { grep -v '^#' "$tmp/$1.md5" | awk -F, '{ print $NF }'; }

case $1 in
repeatable)
  capture first -r 1 -d 1
  capture second -r 1 -d 1
  capture seed7 -r 1 -d 0.1 --seed 7
  check "47 frames, identical in both captures" [ "$(digests first | wc -l)" = 47 ]
  check "the same frames twice" [ "$(digests first)" = "$(digests second)" ]
  # a capture of a still picture would pass the comparison trivially
  check "the frames move" [ "$(digests first | head -1)" != "$(digests first | tail -1)" ]
  check "another seed scatters the sparks elsewhere" [ "$(digests first | head -1)" != "$(digests seed7 | head -1)" ]
  check "frames at 21, 42, ... 987 virtual ms" \
    [ "$(awk '$1 == "frame" { printf "%s ", $2 }' "$tmp/first.report")" = "$(seq -s ' ' 21 21 987) " ]
  check "playback starts at tick 0" [ "$(awk '$1 == "music" { print $2 }' "$tmp/first.report")" = 0 ]
  streams=$(ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate,duration -of csv=p=0 \
            "$tmp/first.mp4")
  check "H.264 at 320x240 and 1000/21 frames a second, with AAC of the same length: $streams" \
    [ "$streams" = "$(printf 'h264,320,240,1000/21,0.987000\naac,0/0,0.987000')" ]
  ;;
release)
  prefix=$tmp/neonfjord-intro
  cmake --install "$binary" --component release --prefix "$prefix" >/dev/null
  for file in logo.bmp bounce.bmp spark.bmp font.bmp bg.bmp soundtrack.mp3; do
    check "the release carries data/$file" cmp -s "$prefix/data/$file" "$source/data/$file"
  done
  check "the release starts from its launcher" [ -x "$prefix/intro" -a -x "$prefix/neonfjord.sh" ]
  mkdir "$tmp/elsewhere" "$tmp/bin"
  ln -s "$prefix/neonfjord.sh" "$tmp/bin/neonfjord"
  capture built -r 1 -d 0.1
  capture released -r 1 -d 0.1 --intro "$prefix/neonfjord.sh" --dir "$tmp/elsewhere"
  capture bare -r 1 -d 0.1 --intro "$prefix/intro" --dir "$tmp/elsewhere"
  capture lost -r 1 -d 0.1 --dir "$tmp/elsewhere"
  for run in released bare; do
    check "$run: the music plays from the release's own folder" grep -qx "music 0 $prefix" "$tmp/$run.report"
    check "$run: the release draws what the build draws" [ "$(digests $run)" = "$(digests built)" ]
  done
  # the same intro without its data draws another picture: the launcher did find data/
  # no display: the intro shows its menu, then fails on the video, so the link found it
  check "a link to the launcher starts the intro" \
    sh -c 'cd "$2" && echo 2 | env -u DISPLAY "$1" 2>/dev/null | grep -q "Choose resolution"' - "$tmp/bin/neonfjord" "$tmp/elsewhere"
  check "without data/ the picture differs" [ "$(digests lost)" != "$(digests built)" ]
  ;;
*)
  echo "usage: capture_test.sh repeatable|release INTRO INTERPOSER SOURCE_DIR BINARY_DIR" >&2; exit 2 ;;
esac
exit $failed
