// fuzz_soundtrack.cpp -- libFuzzer target: any bytes through the soundtrack check and, when it
// accepts them, whole decodes by the mixer as the intro plays it, loop point included
//
// The device is opened as the intro opens it and paused; the mixer's music callback is called
// here, so the same SDL_mixer code decodes at full speed. The libraries carry no sanitizer, so
// SDL_ConvertAudio is wrapped to abort on the overflow the check exists to prevent: a frame
// whose conversion outgrows the decoder's 8 KiB buffer.
#include "shell/shell.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" void music_mixer(void* udata, Uint8* stream, int len);   // SDL_mixer's music callback

static const int MIXER_FRAME_BYTES = 8192;
static const int CALLBACK_BYTES    = 4096;   // 1024 stereo 16-bit samples, as the device asks
static const int LOOPS             = 2;      // three passes: the decoder's rewind at the loop point runs too

extern "C" int SDL_ConvertAudio(SDL_AudioCVT* cvt)
{
  using Convert = int (*)(SDL_AudioCVT*);
  static const Convert real = (Convert)dlsym(RTLD_NEXT, "SDL_ConvertAudio");
  if ((long)cvt->len * cvt->len_mult > MIXER_FRAME_BYTES) {
    fprintf(stderr, "fuzz_soundtrack: a %d-byte frame converted %d times over outgrows the decoder's buffer\n",
            cvt->len, cvt->len_mult);
    abort();
  }
  return real(cvt);
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) < 0 || Mix_OpenAudio(32000, AUDIO_S16LSB, 2, 1024) < 0) {
    fprintf(stderr, "fuzz_soundtrack: no audio device: %s\n", SDL_GetError());
    exit(1);
  }
  SDL_PauseAudio(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  Mix_Music* music = loadSoundtrackFrom(SDL_RWFromConstMem(data, (int)size));
  if (!music)
    return 0;
  static Uint8 out[CALLBACK_BYTES];
  if (Mix_PlayMusic(music, LOOPS) == 0)
    while (Mix_PlayingMusic())
      music_mixer(nullptr, out, CALLBACK_BYTES);
  Mix_FreeMusic(music);
  return 0;
}
