// main.cpp -- start-up: animation state, the resolution menu, SDL, the soundtrack and the window
#include "shell/shell.h"
#include "fx/fx.h"
#include "gfx/gfx.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// the audio device: signed 16-bit little-endian, 1024-sample chunks, at the soundtrack's
// own rate and channel count; 32 kHz stereo without one
static const int    AUDIO_RATE     = 32000;
static const Uint16 AUDIO_FORMAT   = AUDIO_S16LSB;
static const int    AUDIO_CHANNELS = 2;
static const int    AUDIO_CHUNK    = 1024;
static const int    LOOP_FOREVER   = -1;

static const char* const DATA_FOLDER     = "data";

static bool holdsDataFolder(const char* folder)
{
  char path[PATH_MAX];
  struct stat info;
  return snprintf(path, sizeof path, "%s/%s", folder, DATA_FOLDER) < (int)sizeof path &&
         stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// Every data path is relative to the working directory. Without data/ there, the
// folder of the executable is tried, so a double-clicked or linked binary finds
// its pictures and music; with neither, the intro runs on without them, silently.
// Returns whether the working directory holds data/ now.
static bool findDataFolder()
{
  if (holdsDataFolder("."))
    return true;
  char exe[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length <= 0)
    return false;
  exe[length] = '\0';
  char* slash = strrchr(exe, '/');
  if (!slash)
    return false;
  slash[slash == exe] = '\0';   // the root keeps its slash
  return holdsDataFolder(exe) && chdir(exe) == 0;
}

// Video and audio up and the soundtrack playing; any failure ends the process.
static void startLibraries()
{
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "Video initialization failed: %s\n", SDL_GetError());
    Quit(1);
  }
  if (SDL_Init(SDL_INIT_AUDIO) == -1) {
    printf("SDL_Init: %s\n", SDL_GetError());
    Quit(1);
  }
  // the mixer never converts the music: SDL 1.2's resamples only by factors of two, and under
  // SDL2 a mono frame made stereo can outgrow the decoder's buffer
  Mp3Stream music;
  const bool haveMusic = readSoundtrack(SOUNDTRACK_PATH, &music);
  const int rate = haveMusic ? music.sampleRate : AUDIO_RATE;
  const int channels = haveMusic ? music.channels : AUDIO_CHANNELS;
  if (Mix_OpenAudio(rate, AUDIO_FORMAT, channels, AUDIO_CHUNK) == -1) {
    printf("Mix_OpenAudio: %s\n", SDL_GetError());
    Quit(1);
  }

  // a missing, broken or unplayable soundtrack leaves the intro silent, without a word
  soundtrack = haveMusic ? loadSoundtrack(music) : nullptr;
  if (soundtrack)
    Mix_PlayMusic(soundtrack, LOOP_FOREVER);
}

// Opens the GL window at the chosen size and returns the flag word every resize reuses.
static int openWindow()
{
  const SDL_VideoInfo* videoInfo = SDL_GetVideoInfo();
  if (!videoInfo) {
    fprintf(stderr, "Video query failed: %s\n", SDL_GetError());
    Quit(1);
  }
  int videoFlags = videoFlagsFor(videoInfo);

  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  surface = SDL_SetVideoMode(SCREEN_WIDTH, SCREEN_HEIGHT, SCREEN_BPP, videoFlags);
  if (!surface) {
    fprintf(stderr, "Video mode set failed: %s\n", SDL_GetError());
    Quit(1);
  }
  return videoFlags;
}

int main(int argc, char* argv[])
{
  (void)argc;
  (void)argv;

  // animation state first: the tables, then the sparks from a seed read before SDL starts
  init_fastmath();
  srand(SDL_GetTicks());
  init_starfield();
  init_scroller();
  init_clock();

  // the console: asked even where the video will fail
  const ScreenMode preset = PRESET_SCREEN;
  SCREEN_WIDTH  = preset.width;
  SCREEN_HEIGHT = preset.height;
  SCREEN_BPP    = preset.bpp;
  askResolution();
  const ScreenMode chosen = screenForAnswer(select_key);
  SCREEN_WIDTH  = chosen.width;
  SCREEN_HEIGHT = chosen.height;
  SCREEN_BPP    = chosen.bpp;

  findDataFolder();
  startLibraries();
  int videoFlags = openWindow();

  // GL state and textures; a failed load runs on with GL's defaults
  initGL();
  SDL_ShowCursor(SDL_DISABLE);
  resizeWindow(SCREEN_WIDTH, SCREEN_HEIGHT);
  SDL_WM_ToggleFullScreen(surface);

  eventLoop(videoFlags);
}
