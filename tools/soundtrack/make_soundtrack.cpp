// make_soundtrack.cpp -- renders the music and encodes data/soundtrack.mp3
//
//   make-soundtrack OUT.mp3 [--wav OUT.wav]
//
// The WAV goes next to the MP3 while lame runs and is removed afterwards,
// unless --wav names a place to keep it.
#include "snd.h"

#include <cstdio>
#include <cstring>
#include <string>

static float   mixBuffer[SND_RENDER_FRAMES * SND_CHANNELS];   // the song and its tail, before the master
static int16_t pcm[SND_SONG_FRAMES * SND_CHANNELS];           // mastered 16-bit samples

int main(int argc, char** argv)
{
  if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--wav") == 0)) {
    std::fprintf(stderr, "usage: make-soundtrack OUT.mp3 [--wav OUT.wav]\n");
    return 2;
  }
  const char* mp3Path = argv[1];
  std::string wavPath = argc == 4 ? argv[3] : std::string(mp3Path) + ".wav";

  renderSong(mixBuffer, SND_RENDER_FRAMES);
  renderMaster(mixBuffer, pcm);

  if (!wavWrite(wavPath.c_str(), pcm, SND_SONG_FRAMES, SND_RATE, SND_CHANNELS)) {
    std::fprintf(stderr, "make-soundtrack: cannot write %s\n", wavPath.c_str());
    return 1;
  }
  int ok = encodeMp3(wavPath.c_str(), mp3Path);
  if (argc != 4)
    std::remove(wavPath.c_str());
  if (!ok) {
    std::fprintf(stderr, "make-soundtrack: lame failed on %s\n", wavPath.c_str());
    return 1;
  }
  return 0;
}
