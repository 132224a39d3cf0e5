// fuzz_soundtrack.cpp -- libFuzzer target: any bytes through the soundtrack check and, when it
// accepts them, whole decodes by the mixer as the intro plays it, loop point included
//
// The mixer is opened as the intro opens it, at the stream's own rate and channel count, and
// again whenever an accepted input's differ; SDL's device is granted as asked, without an audio
// thread (closing a real one waits out a buffer's time), and the mixer's music callback is called
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
static const int CALLBACK_BYTES    = 4096;   // 1024 stereo 16-bit samples, as the device asks (2048 in mono)
static const int LOOPS             = 2;      // three passes: the decoder's rewind at the loop point runs too

static int deviceRate, deviceChannels;   // what the device is open at, 0 while it is closed

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

extern "C" int SDL_OpenAudio(SDL_AudioSpec* desired, SDL_AudioSpec* obtained)
{
  *obtained = *desired;
  obtained->silence = 0;
  obtained->size = desired->samples * desired->channels * 2;   // signed 16-bit samples
  return 0;
}
extern "C" void SDL_CloseAudio() {}
extern "C" void SDL_PauseAudio(int) {}

static void openDevice(int rate, int channels)
{
  if (rate == deviceRate && channels == deviceChannels)
    return;
  if (deviceRate)
    Mix_CloseAudio();
  if (Mix_OpenAudio(rate, AUDIO_S16LSB, channels, 1024) < 0) {
    fprintf(stderr, "fuzz_soundtrack: no audio device at %d Hz: %s\n", rate, SDL_GetError());
    exit(1);
  }
  deviceRate = rate;
  deviceChannels = channels;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) < 0) {
    fprintf(stderr, "fuzz_soundtrack: no audio: %s\n", SDL_GetError());
    exit(1);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  Mp3Stream stream;
  if (!readSoundtrackFrom(SDL_RWFromConstMem(data, (int)size), &stream))
    return 0;
  openDevice(stream.sampleRate, stream.channels);
  Mix_Music* music = loadSoundtrack(stream);
  if (!music)
    return 0;
  static Uint8 out[CALLBACK_BYTES];
  if (Mix_PlayMusic(music, LOOPS) == 0)
    while (Mix_PlayingMusic())
      music_mixer(nullptr, out, CALLBACK_BYTES);
  Mix_FreeMusic(music);
  return 0;
}
