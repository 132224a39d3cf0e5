// song.cpp -- intro-song: the soundtrack as the intro's own check accepts it, for the browser page to
// stream: the accepted frames back to back, and as JSON their format, where each frame begins and the
// bytes of the shortest beginning that the check accepts on its own (the page packs it for the intro's
// start-up, which opens the device at the song's format while the rest streams)
//   intro-song SOUNDTRACK OUT.mp3 OUT.json
// A soundtrack the check refuses, or none, gives no OUT.mp3 and no frames: the page stays silent,
// as the intro does.
#include "shell/shell.h"

#include <cstdio>
#include <vector>

static bool writeStream(const char* path, const Mp3Stream& stream)
{
  FILE* out = fopen(path, "wb");
  if (!out)
    return false;
  const bool whole = fwrite(stream.bytes, 1, stream.size, out) == (size_t)stream.size;
  return fclose(out) == 0 && whole;
}

// Bytes of the fewest first frames that the check takes for a stream (it checks in place, so a copy).
static int acceptedHead(const Mp3Stream& stream)
{
  std::vector<Uint8> copy;
  Mp3Stream head;
  for (int at = 0, length; at < stream.size; at += length) {
    length = mp3FrameLength(stream.bytes + at, stream.size - at);
    copy.assign(stream.bytes, stream.bytes + at + length);
    if (length == 0 || findMp3Stream(copy.data(), at + length, &head))
      return at + length;
  }
  return stream.size;
}

// the format, the head, and where each frame begins in the stream, its end last
static bool writeLayout(const char* path, const Mp3Stream* stream)
{
  FILE* out = fopen(path, "w");
  if (!out)
    return false;
  if (stream) {
    fprintf(out, "{\"rate\": %d, \"channels\": %d, \"samples\": %d, \"head\": %d, \"frames\": [",
            stream->sampleRate, stream->channels, stream->samples, acceptedHead(*stream));
    for (int at = 0, length; at < stream->size; at += length) {
      length = mp3FrameLength(stream->bytes + at, stream->size - at);
      if (length == 0)
        break;   // cannot happen: the check kept whole frames only
      fprintf(out, "%d, ", at);
    }
    fprintf(out, "%d]}\n", stream->size);
  } else {
    fprintf(out, "{\"frames\": []}\n");
  }
  return fclose(out) == 0;
}

int main(int argc, char* argv[])
{
  if (argc != 4) {
    fprintf(stderr, "usage: intro-song SOUNDTRACK OUT.mp3 OUT.json\n");
    return 2;
  }
  Mp3Stream stream;
  const bool accepted = readSoundtrack(argv[1], &stream);
  remove(argv[2]);
  if ((accepted && !writeStream(argv[2], stream)) || !writeLayout(argv[3], accepted ? &stream : nullptr)) {
    perror("intro-song");
    return 1;
  }
  return 0;
}
