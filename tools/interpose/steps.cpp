// steps.cpp -- start-up as the report tells it: each step the first time it happens, and the music's start
#include "interpose.h"

#include <SDL/SDL_mixer.h>
#include <unistd.h>

#include <climits>
#include <cstring>

static const int MAX_MARKS = 16;   // start-up steps: nine are reported

static const char* marked[MAX_MARKS];   // start-up steps already in the report
static int         markCount;

void markOnce(const char* step, int64_t ns)
{
  if (!onMainThread() || markCount == MAX_MARKS)
    return;
  for (int i = 0; i < markCount; i++)
    if (strcmp(marked[i], step) == 0)
      return;
  marked[markCount++] = step;
  note("mark %s %lld\n", step, (long long)ns);
}

void markOnce(const char* step)
{
  markOnce(step, sinceStart());
}

extern "C" {

int SDL_Init(Uint32 flags)
{
  static auto realInit = realFunction<int (*)(Uint32)>("SDL_Init");
  markOnce(flags & SDL_INIT_VIDEO ? "video_init_begin" : "audio_init_begin");
  startVirtualClock();
  return realInit(flags);
}

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
  static auto realMode = realFunction<SDL_Surface* (*)(int, int, int, Uint32)>("SDL_SetVideoMode");
  markOnce("video_mode_begin");
  SDL_Surface* surface = realMode(width, height, bpp, flags);
  markOnce("video_mode_end");
  if (surface)
    presentResizedWindow();
  return surface;
}

// the GL state and the five textures lie between the video mode and this call
int SDL_ShowCursor(int toggle)
{
  static auto realShow = realFunction<int (*)(int)>("SDL_ShowCursor");
  markOnce("gl_ready");
  return realShow(toggle);
}

int SDL_WM_ToggleFullScreen(SDL_Surface* surface)
{
  static auto realToggle = realFunction<int (*)(SDL_Surface*)>("SDL_WM_ToggleFullScreen");
  int result = realToggle(surface);
  markOnce("fullscreen_end");
  return result;
}

// the capture lays the soundtrack under the video from the virtual moment playback began
int Mix_PlayMusic(Mix_Music* music, int loops)
{
  static auto realPlay = realFunction<int (*)(Mix_Music*, int)>("Mix_PlayMusic");
  static bool played = false;
  int result = realPlay(music, loops);
  if (result == 0 && !played && onMainThread()) {
    played = true;
    char dir[PATH_MAX];
    note("music %u %s\n", readTicks(), getcwd(dir, sizeof dir) ? dir : "?");
    int rate, channels;
    Uint16 format;
    if (Mix_QuerySpec(&rate, &format, &channels))
      note("audio %d %d\n", rate, channels);
    flushReport();   // a test reads the device's format while the intro runs on
  }
  return result;
}

} // extern "C"
