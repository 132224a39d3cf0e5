#!/usr/bin/env bash
# make_mp3_corpus.sh DIR -- writes the soundtrack fuzz target's seeds (the committed corpus-mp3/ came from it):
# short MP3s of every sample rate and channel mode, layer II, tags, glued, cut short and random files.
set -euo pipefail
dir=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

tone() {   # tone RATE CHANNELS -> raw signed 16-bit PCM, a fifth of a second of a chord
  python3 -c "import math,struct,sys
r,c=$1,$2
sys.stdout.buffer.write(b''.join(struct.pack('<h',int(6000*(math.sin(i*0.06)+math.sin(i*0.011))))*c for i in range(r//5)))"
}

for rate in 8000 11025 12000 16000 22050 24000 32000 44100 48000; do
  tone "$rate" 1 >"$tmp/m.raw"
  tone "$rate" 2 >"$tmp/s.raw"
  khz=$(awk -v r="$rate" 'BEGIN { print r / 1000 }')
  for mode in m s j d; do
    input=$tmp/s.raw
    [ "$mode" = m ] && input=$tmp/m.raw
    lame --quiet -r -s "$khz" --bitwidth 16 --signed --little-endian -m "$mode" -t "$input" "$dir/l3_${rate}_$mode.mp3" 2>/dev/null
  done
done
for rate in 16000 22050 24000 32000 44100 48000; do
  for channels in 1 2; do
    ffmpeg -nostdin -loglevel error -y -f s16le -ar "$rate" -ac "$channels" -i <(tone "$rate" "$channels") \
      -c:a mp2 -b:a 64k -f mp2 "$dir/l2_${rate}_$channels.mp2"
  done
done
# a Xing frame with an ID3v2 tag in front and an ID3v1 tag behind
lame --quiet -r -s 32 --bitwidth 16 --signed --little-endian --tt title --add-id3v2 --id3v1-only "$tmp/s.raw" "$dir/tagged.mp3" 2>/dev/null ||
  lame --quiet -r -s 32 --bitwidth 16 --signed --little-endian --tt title --add-id3v2 "$tmp/s.raw" "$dir/tagged.mp3"
# layer I, which no encoder here writes: silent frames (all allocations zero), MPEG-1 and MPEG-2
python3 -c "import sys
for name, head, length in (('l1_32000_m.mp1', b'\\xff\\xff\\x18\\xc0', 48), ('l1_16000_m.mp1', b'\\xff\\xf7\\x18\\xc0', 96)):
    open(sys.argv[1] + '/' + name, 'wb').write((head + bytes(length - 4)) * 20)" "$dir"
cat "$dir/l3_22050_m.mp3" "$dir/l3_44100_s.mp3" >"$dir/glued_rates.mp3"
head -c 2000 "$dir/l3_32000_j.mp3" >"$dir/cut_short.mp3"
head -c 3000 /dev/urandom >"$dir/random.mp3"
