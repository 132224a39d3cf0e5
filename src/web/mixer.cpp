// mixer.cpp -- SDL_mixer's music calls in the browser: the soundtrack loops through Web Audio
//
// The browser decodes MP3 itself, so the checked bytes are handed over whole.
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

// Returns the player's number in Module.music, counting from 1.
EM_JS(int, musicFinish, (), {
  var size = Module.musicParts.reduce(function(sum, part) { return sum + part.length; }, 0);
  var bytes = new Uint8Array(size), at = 0;
  Module.musicParts.forEach(function(part) { bytes.set(part, at); at += part.length; });
  Module.musicParts = null;
  Module.music = Module.music || [];
  Module.music.push({
    bytes: bytes.buffer, context: null, source: null,
    get paused() { return !this.source || this.context.state !== 'running'; },
    get currentTime() { return this.context ? this.context.currentTime : 0; },
  });
  return Module.music.length;
});

// Web Audio's buffer source repeats the decoded samples back to back, where an audio
// element's loop can leave a gap at the loop point. A browser runs an audio context only
// after a gesture on the page, and which events count differs: for a finger pointerdown does
// not, its pointerup, touchend and click do. So every gesture tries again until the music runs.
EM_JS(void, musicPlay, (int id, int loops), {
  var player = Module.music[id - 1];
  var Context = window.AudioContext || window.webkitAudioContext;
  if (!Context)
    return;
  var context = player.context = new Context();
  var gestures = ['pointerup', 'touchend', 'click', 'keydown'];
  var resume = function() { context.resume().catch(function() {}); };
  var playing = function() {
    if (context.state !== 'suspended')
      gestures.forEach(function(name) { document.removeEventListener(name, resume, true); });
    if (player.source && context.state === 'running')
      console.log('music playing');
  };
  context.onstatechange = playing;
  if (context.state !== 'running') {
    console.log('music waits for a click, a tap or a key');
    gestures.forEach(function(name) { document.addEventListener(name, resume, true); });
  }
  context.decodeAudioData(player.bytes, function(samples) {
    var source = context.createBufferSource();
    source.buffer = samples;
    source.loop = loops != 0;
    source.connect(context.destination);
    source.start();
    player.source = source;
    playing();
  }, function() { console.log('music could not be decoded'); });
});

EM_JS(void, musicStopAll, (), {
  (Module.music || []).forEach(function(player) {
    if (player.context)
      player.context.close();
  });
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
