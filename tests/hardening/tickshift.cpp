// tickshift.cpp -- LD_PRELOAD library for tests: starts the intro's tick counter just below a wrap point
//
// Never linked into the intro. Settings from the environment:
//   TICKSHIFT_START=n   what SDL_GetTicks reads when the library loads; it then runs
//                       on at real speed and wraps as a 32-bit counter does
//   TICKSHIFT_LOG=path  at exit, one line per frame: the tick reading when the frame
//                       began (its glClear); frames are counted at the buffer swap
//   TICKSHIFT_QUIT=ms   after this many real milliseconds, queue an Escape key press
//   TICKSHIFT_QUIT_FRAMES=n  ... or after this many frames
#include <SDL/SDL.h>
#include <GL/gl.h>

#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

static Uint32               startTicks;   // the reading at load time
static long long            loadMs;       // monotonic time at load
static long                 quitAfterMs;  // 0: never
static long                 quitAfterFrames;  // 0: never
static bool                 escapeSent;
static const long           MAX_FRAMES = 1 << 20;     // 6 hours at 47.6 frames a second
static Uint32               frameTicks[MAX_FRAMES];   // tick reading at the start of every frame
static long                 frameCount;               // frames swapped so far
static Uint32               clearTicks;   // reading at the last glClear

static long long monotonicMs()
{
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

__attribute__((constructor)) static void tickshiftLoad()
{
  const char* start = getenv("TICKSHIFT_START");
  startTicks = start ? (Uint32)strtoull(start, nullptr, 0) : 0;
  const char* quit = getenv("TICKSHIFT_QUIT");
  quitAfterMs = quit ? atol(quit) : 0;
  const char* quitFrames = getenv("TICKSHIFT_QUIT_FRAMES");
  quitAfterFrames = quitFrames ? atol(quitFrames) : 0;
  loadMs = monotonicMs();
  // touch the whole frame log now, so that filling it later does not show as
  // the intro's resident memory growing during a soak
  for (long i = 0; i < MAX_FRAMES; i += 1024)
    ((volatile Uint32*)frameTicks)[i] = 0;
}

__attribute__((destructor)) static void tickshiftWriteLog()
{
  const char* path = getenv("TICKSHIFT_LOG");
  if (!path)
    return;
  FILE* f = fopen(path, "w");
  if (!f)
    return;
  for (long i = 0; i < frameCount && i < MAX_FRAMES; i++)
    fprintf(f, "%u\n", frameTicks[i]);
  fclose(f);
}

extern "C" {

Uint32 SDL_GetTicks()
{
  // unsigned arithmetic: the reading wraps at 2^32 like SDL's own after 49.7 days
  return startTicks + (Uint32)(monotonicMs() - loadMs);
}

// the first call of every frame
void glClear(GLbitfield mask)
{
  static auto realClear = (void (*)(GLbitfield))dlsym(RTLD_NEXT, "glClear");
  clearTicks = SDL_GetTicks();
  if (realClear)
    realClear(mask);
}

void SDL_GL_SwapBuffers()
{
  static auto realSwap = (void (*)())dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
  if (realSwap)
    realSwap();
  if (frameCount < MAX_FRAMES)
    frameTicks[frameCount] = clearTicks;
  frameCount++;

  const bool timeUp = quitAfterMs > 0 && monotonicMs() - loadMs >= quitAfterMs;
  const bool framesUp = quitAfterFrames > 0 && frameCount >= quitAfterFrames;
  if (!escapeSent && (timeUp || framesUp)) {
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = SDLK_ESCAPE;
    escapeSent = SDL_PushEvent(&event) == 0;
  }
}

}  // extern "C"
