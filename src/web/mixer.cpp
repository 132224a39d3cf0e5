// mixer.cpp -- SDL_mixer's music calls in the browser: the soundtrack loops through Web Audio
//
// The browser decodes MP3 itself, so the checked bytes are handed over whole to the player in music.js.
#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <emscripten.h>

static const int CHUNK_BYTES = 64 * 1024;   // the stream is copied over in pieces of this size

static Uint8  chunk[CHUNK_BYTES];
static bool   deviceOpen;
static int    deviceRate, deviceChannels;
static Uint16 deviceFormat;

EM_JS(void, musicBegin, (), { Module.musicParts = []; });

EM_JS(void, musicAppend, (const Uint8* bytes, int size), {
  Module.musicParts.push(HEAPU8.slice(bytes, bytes + size));
});

// Returns the player's number in Module.music, counting from 1 (music.js plays it).
EM_JS(int, musicFinish, (), {
  var size = Module.musicParts.reduce(function(sum, part) { return sum + part.length; }, 0);
  var bytes = new Uint8Array(size), at = 0;
  Module.musicParts.forEach(function(part) { bytes.set(part, at); at += part.length; });
  Module.musicParts = null;
  return Module.musicLoaded(bytes);
});

EM_JS(void, musicPlay, (int id, int loops, int rate), { Module.musicPlay(id, loops, rate); });

EM_JS(void, musicStopAll, (), { Module.musicStop(); });

extern "C" int Mix_OpenAudio(int frequency, Uint16 format, int channels, int)
{
  deviceOpen     = true;
  deviceRate     = frequency;
  deviceFormat   = format;
  deviceChannels = channels;
  return 0;
}

extern "C" int Mix_QuerySpec(int* frequency, Uint16* format, int* channels)
{
  if (!deviceOpen)
    return 0;
  *frequency = deviceRate;
  *format    = deviceFormat;
  *channels  = deviceChannels;
  return 1;
}

extern "C" Mix_Music* Mix_LoadMUSType_RW(SDL_RWops* rw, Mix_MusicType type, int freesrc)
{
  if (!rw)
    return nullptr;
  int total = 0;
  if (type == MUS_MP3) {
    musicBegin();
    for (size_t got; (got = SDL_RWread(rw, chunk, 1, CHUNK_BYTES)) > 0; total += (int)got)
      musicAppend(chunk, (int)got);
  }
  if (freesrc)
    SDL_RWclose(rw);
  return total > 0 ? (Mix_Music*)(intptr_t)musicFinish() : nullptr;
}

extern "C" int Mix_PlayMusic(Mix_Music* music, int loops)
{
  if (!deviceOpen || !music)
    return -1;
  musicPlay((int)(intptr_t)music, loops, deviceRate);
  return 0;
}

extern "C" void Mix_CloseAudio()
{
  if (deviceOpen)
    musicStopAll();
  deviceOpen = false;
}
