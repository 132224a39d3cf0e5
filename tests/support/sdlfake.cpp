// sdlfake.cpp -- scripted SDL video, events, ticks and mixer for the start-up tests
#include "sdlfake.h"
#include "glrecord.h"

#include <SDL/SDL_mixer.h>

SdlScript sdlScript;

static Uint32 tickCalls;
static int setVideoModeCalls;
static SDL_VideoInfo videoInfo;
static SDL_Surface videoSurface;
static Mix_Music* const SOUNDTRACK_HANDLE = (Mix_Music*)&videoInfo;   // any non-null address

void resetSdlFake()
{
  sdlScript = SdlScript();
  tickCalls = 0;
  setVideoModeCalls = 0;
}

SDL_Event keyDown(SDLKey sym)
{
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.sym = sym;
  return e;
}

SDL_Event keyUp(SDLKey sym)
{
  SDL_Event e = keyDown(sym);
  e.type = SDL_KEYUP;
  return e;
}

SDL_Event resizeEvent(int w, int h)
{
  SDL_Event e{};
  e.type = SDL_VIDEORESIZE;
  e.resize.w = w;
  e.resize.h = h;
  return e;
}

SDL_Event quitEvent()
{
  SDL_Event e{};
  e.type = SDL_QUIT;
  return e;
}

extern "C" {

void __wrap_exit(int status)
{
  recordCall("exit", { (double)status });
  throw ExitCalled{ status };
}

int SDL_Init(Uint32 flags)
{
  recordCall("SDL_Init", { (double)flags });
  return sdlScript.failInit == (int)flags ? -1 : 0;
}

char* SDL_GetError() { return (char*)sdlScript.error.c_str(); }

const SDL_VideoInfo* SDL_GetVideoInfo()
{
  recordCall("SDL_GetVideoInfo", {});
  if (sdlScript.failVideoInfo)
    return nullptr;
  videoInfo = SDL_VideoInfo{};
  videoInfo.hw_available = 1;
  videoInfo.blit_hw = sdlScript.blitHardware;
  return &videoInfo;
}

int SDL_GL_SetAttribute(SDL_GLattr attr, int value)
{
  recordCall("SDL_GL_SetAttribute", { (double)attr, (double)value });
  return 0;
}

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
  recordCall("SDL_SetVideoMode", { (double)width, (double)height, (double)bpp, (double)flags });
  if (++setVideoModeCalls == sdlScript.failSetVideoModeCall)
    return nullptr;
  videoSurface.w = width;
  videoSurface.h = height;
  return &videoSurface;
}

int SDL_ShowCursor(int toggle)
{
  recordCall("SDL_ShowCursor", { (double)toggle });
  return 0;
}

int SDL_WM_ToggleFullScreen(SDL_Surface* surface)
{
  recordCall("SDL_WM_ToggleFullScreen", { surface == &videoSurface ? 1.0 : 0.0 });
  return 1;
}

int SDL_PollEvent(SDL_Event* event)
{
  if (sdlScript.passes.empty()) {
    // a script that runs dry ends the program, so no test can hang in the loop
    recordCall("SDL_PollEvent", { -1 });
    *event = keyDown(SDLK_ESCAPE);
    return 1;
  }
  std::vector<SDL_Event>& pass = sdlScript.passes.front();
  if (pass.empty()) {
    sdlScript.passes.pop_front();
    recordCall("SDL_PollEvent", { 0 });
    return 0;
  }
  *event = pass.front();
  pass.erase(pass.begin());
  recordCall("SDL_PollEvent", { (double)event->type });
  return 1;
}

void SDL_Delay(Uint32 ms) { recordCall("SDL_Delay", { (double)ms }); }

Uint32 SDL_GetTicks()
{
  Uint32 now = sdlScript.tickStart + tickCalls++ * sdlScript.tickStep;   // wraps like SDL's counter
  recordCall("SDL_GetTicks", { (double)now });
  return now;
}

void SDL_Quit() { recordCall("SDL_Quit", {}); }

int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunksize)
{
  recordCall("Mix_OpenAudio", { (double)frequency, (double)format, (double)channels, (double)chunksize });
  return sdlScript.failOpenAudio ? -1 : 0;
}

int Mix_QuerySpec(int* frequency, Uint16* format, int* channels)
{
  *frequency = 32000;
  *format = AUDIO_S16LSB;
  *channels = 2;
  return 1;
}

// records the type and the number of bytes the stream holds
Mix_Music* Mix_LoadMUSType_RW(SDL_RWops* rw, Mix_MusicType type, int freesrc)
{
  recordCall("Mix_LoadMUSType_RW", { (double)type, (double)SDL_RWseek(rw, 0, RW_SEEK_END) });
  if (freesrc)
    SDL_RWclose(rw);
  return sdlScript.noSoundtrack ? nullptr : SOUNDTRACK_HANDLE;
}

int Mix_PlayMusic(Mix_Music* music, int loops)
{
  recordCall("Mix_PlayMusic", { music == SOUNDTRACK_HANDLE ? 1.0 : 0.0, (double)loops });
  return 0;
}

void Mix_CloseAudio() { recordCall("Mix_CloseAudio", {}); }

}  // extern "C"
