// mixer.cpp -- SDL_mixer's music calls in the browser: the soundtrack plays through one looping audio element
//
// The browser decodes MP3 itself, so the checked bytes are handed over whole.
// A browser lets sound start only after the visitor has clicked or pressed a
// key on the page; until then the element waits for the first such gesture.
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

// Returns the element's number in Module.music, counting from 1.
EM_JS(int, musicFinish, (), {
  var blob = new Blob(Module.musicParts, { type: 'audio/mpeg' });
  Module.musicParts = null;
  var element = new Audio(URL.createObjectURL(blob));
  element.preload = 'auto';
  Module.music = Module.music || [];
  Module.music.push(element);
  return Module.music.length;
});

EM_JS(void, musicPlay, (int id, int loops), {
  var element = Module.music[id - 1];
  element.loop = loops != 0;
  element.addEventListener('playing', function() { console.log('music playing'); }, { once: true });
  element.play().catch(function() {
    console.log('music waits for a click or a key');
    var retry = function() {
      document.removeEventListener('pointerdown', retry, true);
      document.removeEventListener('keydown', retry, true);
      element.play().catch(function() {});
    };
    document.addEventListener('pointerdown', retry, true);
    document.addEventListener('keydown', retry, true);
  });
});

EM_JS(void, musicStopAll, (), {
  (Module.music || []).forEach(function(element) { element.pause(); });
});

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
  musicPlay((int)(intptr_t)music, loops);
  return 0;
}

extern "C" void Mix_CloseAudio()
{
  if (deviceOpen)
    musicStopAll();
  deviceOpen = false;
}
