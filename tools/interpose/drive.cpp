// drive.cpp -- what we hand the intro as events: a window resize before its first frame, and the Escape
#include "interpose.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const int RUNAWAY_FRAMES = 100;   // frames after the Escape before we end an intro that ignores it

static int     resizeWidth, resizeHeight;   // INTERPOSE_SIZE, 0 when not given
static bool    resizeSent;
static long    quitFrames;                  // 0: never
static int64_t quitNs;                      // after the first frame; 0: never
static bool    escapeSent;
static long    framesAfterEscape;           // swaps the intro made after it

// INTERPOSE_SIZE as two positive numbers; anything else ends the process like a wrong number does.
static void readSize()
{
  const char* text = getenv("INTERPOSE_SIZE");
  if (!text || !*text)
    return;
  char end;
  if (sscanf(text, "%dx%d%c", &resizeWidth, &resizeHeight, &end) != 2 || resizeWidth <= 0 || resizeHeight <= 0) {
    fprintf(stderr, "interpose: INTERPOSE_SIZE=%s is not a size like 1920x1080\n", text);
    _exit(3);
  }
}

void loadDrive()
{
  quitFrames = (long)setting("INTERPOSE_QUIT_FRAMES", 0);
  quitNs     = (int64_t)(setting("INTERPOSE_QUIT_SECONDS", 0) * 1e9);
  readSize();
}

// Mesa's software GL learns a window's new size at its next buffer swap: present the
// undrawn buffer once, so the intro's first frame after our resize fills the window
void presentResizedWindow()
{
  if (resizeSent && onMainThread() && framesShown == 0)
    realFunction<void (*)(void)>("SDL_GL_SwapBuffers")();
}

bool pastEscape()
{
  if (!escapeSent)
    return false;
  if (++framesAfterEscape > RUNAWAY_FRAMES) {
    fprintf(stderr, "interpose: the intro went on drawing after Escape\n");
    exit(3);
  }
  return true;
}

static bool quitDue()
{
  return framesShown > 0 && ((quitFrames > 0 && framesShown >= quitFrames) ||
                             (quitNs > 0 && sinceStart() - firstFrameNs >= quitNs));
}

// An event of the type given, everything else zero.
static void handOver(SDL_Event* event, Uint8 type)
{
  memset(event, 0, sizeof *event);
  event->type = type;
}

extern "C" int SDL_PollEvent(SDL_Event* event)
{
  static auto realPoll = realFunction<int (*)(SDL_Event*)>("SDL_PollEvent");
  // the intro polls before its first frame: it resizes through its own path, as for a window manager
  if (resizeWidth > 0 && !resizeSent && onMainThread() && event) {
    resizeSent = true;
    handOver(event, SDL_VIDEORESIZE);
    event->resize.w = resizeWidth;
    event->resize.h = resizeHeight;
    return 1;
  }
  if (!quitDue() || escapeSent || !onMainThread())
    return realPoll(event);
  escapeSent = true;
  closeCpuWindow();
  if (event) {
    handOver(event, SDL_KEYDOWN);
    event->key.state      = SDL_PRESSED;
    event->key.keysym.sym = SDLK_ESCAPE;
  }
  return 1;
}
