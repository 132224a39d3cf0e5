// frames.cpp -- every presented frame: its size held to the first one's, its moments, the first frame's facts
#include "interpose.h"

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>

long    framesShown;               // presented frames before the Escape
int64_t firstFrameNs;              // return from the first swap
int     frameWidth, frameHeight;   // the first frame's size, in pixels

// The picture's size is taken from the first frame; a frame of another size cannot join the video.
static void checkSize(const SDL_Surface* screen)
{
  if (framesShown == 0) {
    frameWidth  = screen->w;
    frameHeight = screen->h;
  } else if (screen->w != frameWidth || screen->h != frameHeight) {
    fprintf(stderr, "interpose: the picture changed size from %dx%d to %dx%d\n",
            frameWidth, frameHeight, screen->w, screen->h);
    _exit(3);
  }
}

static void noteFirstFrame(int64_t swapOut)
{
  const char* renderer = (const char*)glGetString(GL_RENDERER);
  const char* version  = (const char*)glGetString(GL_VERSION);
  note("renderer %s\ngl_version %s\nsize %dx%d\n", renderer ? renderer : "unknown",
       version ? version : "unknown", frameWidth, frameHeight);
  markOnce("first_frame", swapOut);
  firstFrameNs = swapOut;
  noteCpu("first");
}

extern "C" void SDL_GL_SwapBuffers(void)
{
  static auto realSwap = realFunction<void (*)(void)>("SDL_GL_SwapBuffers");
  SDL_Surface* screen = SDL_GetVideoSurface();
  if (!onMainThread() || !screen || pastEscape()) {
    realSwap();
    return;
  }
  checkSize(screen);
  if (sendingFrames())
    readBackFrame();
  const int64_t swapIn = sinceStart();
  realSwap();
  const int64_t swapOut = sinceStart();
  note("frame %u %lld %lld %lld", lastTicks, (long long)lastTicksNs, (long long)swapIn, (long long)swapOut);
  if (sendingFrames())
    noteReadBack();
  note("\n");
  // a capture counts the report's frame lines while it runs, to show its progress
  if (sendingFrames())
    flushReport();
  if (++framesShown == 1)
    noteFirstFrame(swapOut);
}
