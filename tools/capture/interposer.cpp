// interposer.cpp -- LD_PRELOAD library: puts the unmodified intro on a virtual clock and records every frame
//
// Settings, all from the environment and all optional:
//   CAPTURE_FD=n         write each presented frame to file descriptor n: raw RGB, 3 bytes
//                        a pixel, top row first, at the video surface's size
//   CAPTURE_FRAMES=n     after n frames, hand the intro an Escape key press
//   CAPTURE_SEED=n       what SDL_GetTicks reads before SDL_Init (the intro seeds rand with it)
//   CAPTURE_TIMELINE=p   at exit, write the soundtrack's path and the virtual times of playback
//                        start and of every frame to p
#include "clock.h"
#include "interpose.h"

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <GL/gl.h>

#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

static const int BYTES_PER_PIXEL = 3;   // GL_RGB, GL_UNSIGNED_BYTE
static const int RUNAWAY_FRAMES  = 100; // frames past the limit before we stop an intro that ignores Escape

static std::mutex      clockLock;       // the clock is read from SDL's audio thread too
static VirtualClock    virtualClock;    // virtual ms; moves only when the main thread sleeps
static pthread_t       mainThread;      // the thread that loaded us: the intro's only thread

static int             frameFd = -1;    // where raw frames go, -1 for nowhere
static long            frameLimit;      // frames to record before Escape, 0 for no limit
static const char*     timelinePath;    // where the timeline goes at exit, null for nowhere

static long                  framesShown;      // buffer swaps so far
static bool                  escapeSent;       // the Escape for the frame limit has been delivered
static bool                  musicStarted;     // Mix_PlayMusic succeeded
static uint32_t              musicStartMs;     // virtual time of that call
static char                  musicFile[PATH_MAX]; // the loaded soundtrack, as an absolute path
static std::vector<uint32_t> frameMs;          // virtual time of every recorded swap
static int                   frameWidth;       // size of the first recorded frame, in pixels
static int                   frameHeight;
static std::vector<unsigned char> pixels;      // one frame as GL reads it, bottom row first
static std::vector<unsigned char> flipped;     // the same frame, top row first

template <typename Fn>
static Fn realFunction(const char* name)
{
  return realFunction<Fn>("capture", name);
}

static long envNumber(const char* name, long fallback)
{
  const char* text = getenv(name);
  if (!text || !*text)
    return fallback;
  char* end = nullptr;
  long value = strtol(text, &end, 0);
  if (*end) {
    fprintf(stderr, "capture: %s=%s is not a number\n", name, text);
    _exit(3);
  }
  return value;
}

static bool onMainThread()
{
  return pthread_equal(pthread_self(), mainThread);
}

__attribute__((constructor)) static void captureInit()
{
  mainThread   = pthread_self();
  clockReset(virtualClock, (uint32_t)envNumber("CAPTURE_SEED", 0));
  frameFd      = (int)envNumber("CAPTURE_FD", -1);
  frameLimit   = envNumber("CAPTURE_FRAMES", 0);
  timelinePath = getenv("CAPTURE_TIMELINE");
  // a reader that went away shows up as a failed write, not as a silent death
  if (frameFd >= 0)
    signal(SIGPIPE, SIG_IGN);
}

__attribute__((destructor)) static void captureWriteTimeline()
{
  if (!timelinePath || !*timelinePath)
    return;
  FILE* out = fopen(timelinePath, "w");
  if (!out)
    return;
  fprintf(out, "seed %u\n", virtualClock.preStart);
  if (musicStarted)
    fprintf(out, "music_start_ms %u\n", musicStartMs);
  if (musicFile[0])
    fprintf(out, "music_file %s\n", musicFile);
  fprintf(out, "frames %zu\n", frameMs.size());
  fprintf(out, "size %dx%d\n", frameWidth, frameHeight);
  fprintf(out, "frame_ms");
  for (uint32_t ms : frameMs)
    fprintf(out, " %u", ms);
  fprintf(out, "\n");
  fclose(out);
}

static void writeAll(const unsigned char* bytes, size_t size)
{
  while (size > 0) {
    ssize_t n = write(frameFd, bytes, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      fprintf(stderr, "capture: writing a frame failed: %s\n", strerror(errno));
      _exit(3);
    }
    bytes += n;
    size  -= (size_t)n;
  }
}

// Reads the finished back buffer and sends it on, top row first.
static void recordFrame()
{
  SDL_Surface* screen = SDL_GetVideoSurface();
  if (!screen)
    return;
  if (frameMs.empty()) {
    frameWidth  = screen->w;
    frameHeight = screen->h;
  } else if (screen->w != frameWidth || screen->h != frameHeight) {
    fprintf(stderr, "capture: the picture changed size from %dx%d to %dx%d\n",
            frameWidth, frameHeight, screen->w, screen->h);
    _exit(3);
  }
  frameMs.push_back(clockTicks(virtualClock));
  if (frameFd < 0)
    return;

  const size_t row = (size_t)frameWidth * BYTES_PER_PIXEL;
  pixels.resize(row * frameHeight);
  flipped.resize(row * frameHeight);

  GLint packAlignment, readBuffer;
  glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  glReadBuffer(readBuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);

  // GL's rows run bottom-up, video rows top-down
  for (int y = 0; y < frameHeight; y++)
    memcpy(&flipped[row * y], &pixels[row * (frameHeight - 1 - y)], row);
  writeAll(flipped.data(), flipped.size());
}

extern "C" {

Uint32 SDL_GetTicks(void)
{
  std::lock_guard<std::mutex> hold(clockLock);
  return clockTicks(virtualClock);
}

void SDL_Delay(Uint32 ms)
{
  static auto realDelay = realFunction<void (*)(Uint32)>("SDL_Delay");
  if (!onMainThread()) {
    realDelay(ms);
    return;
  }
  std::lock_guard<std::mutex> hold(clockLock);
  clockSleep(virtualClock, ms);
}

int SDL_Init(Uint32 flags)
{
  static auto realInit = realFunction<int (*)(Uint32)>("SDL_Init");
  {
    std::lock_guard<std::mutex> hold(clockLock);
    clockStart(virtualClock);
  }
  return realInit(flags);
}

Mix_Music* Mix_LoadMUS(const char* file)
{
  static auto realLoad = realFunction<Mix_Music* (*)(const char*)>("Mix_LoadMUS");
  Mix_Music* music = realLoad(file);
  // the path is relative to the intro's working directory, which the capture does not know
  if (music && file && !realpath(file, musicFile))
    musicFile[0] = 0;
  return music;
}

int Mix_PlayMusic(Mix_Music* music, int loops)
{
  static auto realPlay = realFunction<int (*)(Mix_Music*, int)>("Mix_PlayMusic");
  int result = realPlay(music, loops);
  if (result == 0 && !musicStarted) {
    std::lock_guard<std::mutex> hold(clockLock);
    musicStarted = true;
    musicStartMs = clockTicks(virtualClock);
  }
  return result;
}

void SDL_GL_SwapBuffers(void)
{
  static auto realSwap = realFunction<void (*)(void)>("SDL_GL_SwapBuffers");
  if (onMainThread()) {
    framesShown++;
    if (frameLimit <= 0 || framesShown <= frameLimit)
      recordFrame();
    else if (framesShown > frameLimit + RUNAWAY_FRAMES) {
      fprintf(stderr, "capture: the intro went on drawing after Escape\n");
      exit(3);
    }
  }
  realSwap();
}

int SDL_PollEvent(SDL_Event* event)
{
  static auto realPoll = realFunction<int (*)(SDL_Event*)>("SDL_PollEvent");
  if (frameLimit > 0 && framesShown >= frameLimit && !escapeSent && onMainThread()) {
    escapeSent = true;
    return escapeKeyPress(event);
  }
  return realPoll(event);
}

} // extern "C"
