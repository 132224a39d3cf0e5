// loop.cpp -- the event loop with its frame pacing, keys, resizes and every way out
#include "shell/shell.h"
#include "fx/fx.h"
#include "gfx/gfx.h"
#ifdef __EMSCRIPTEN__
#include "web/web.h"
#endif

#include <cstdio>
#include <cstdlib>

SDL_Surface* surface;
Mix_Music*   soundtrack;
int timecount;
int timenow;

// The pace's one home: a frame is due once more than FRAME_THRESHOLD_MS have passed, so on SDL's
// millisecond counter frames start FRAME_THRESHOLD_MS + 1 ms apart
static const Uint32 FRAME_THRESHOLD_MS = 20;

enum KeyAction { KEY_IGNORED, KEY_QUIT, KEY_TOGGLE_FULLSCREEN };

bool frameDue(Uint32 now, Uint32 last)
{
  return (Uint32)(now - last) > FRAME_THRESHOLD_MS;
}

static KeyAction keyAction(SDLKey sym)
{
  switch (sym) {
  case SDLK_ESCAPE: return KEY_QUIT;
  case SDLK_f:      return KEY_TOGGLE_FULLSCREEN;
  default:          return KEY_IGNORED;
  }
}

static void handleKeyPress(SDL_keysym* keysym)
{
  switch (keyAction(keysym->sym)) {
  case KEY_QUIT:
    Quit(0);
  case KEY_TOGGLE_FULLSCREEN:
    SDL_WM_ToggleFullScreen(surface);
    break;
  case KEY_IGNORED:
    break;
  }
}

static void handleResize(int width, int height, int videoFlags)
{
  // the depth the window was opened with: SDL 1.2 over SDL2 (sdl12-compat) replaces the
  // GL context when the depth changes, and under Wayland crashes doing so
  surface = SDL_SetVideoMode(width, height, SCREEN_BPP, videoFlags);
  if (!surface) {
    fprintf(stderr, "Could not get a surface after resize: %s\n", SDL_GetError());
    Quit(1);
  }
  // classic SDL keeps the context, so only viewport and projection follow the new size;
  // a context that was replaced anyway comes back empty and gets the start-up state again
  if (!glIsTexture(texture[TEX_LOGO]))
    initGL();
  resizeWindow(width, height);
}

// One pass of the loop's event handling; sets done on a window-close request.
static void handleEvent(SDL_Event& event, int videoFlags, int& done)
{
  switch (event.type) {
  case SDL_KEYDOWN:
    handleKeyPress(&event.key.keysym);
    break;
  case SDL_QUIT:
    done = 1;
    break;
  case SDL_VIDEORESIZE:
    handleResize(event.resize.w, event.resize.h, videoFlags);
    break;
  default:
    break;
  }
}

void eventLoop(int videoFlags)
{
  int done = 0;
  SDL_Event event;
#ifdef __EMSCRIPTEN__
  // the browser's sleep only yields when a frame falls due within it
  frameFallsDue = [](Uint32 ticks) { return frameDue(ticks, timecount); };
#endif

  while (!done) {
    // a close request only ends the pass: what queued up behind it is still handled
    while (SDL_PollEvent(&event))
      handleEvent(event, videoFlags, done);

    // never spin: every pass sleeps whether or not a frame is due
    SDL_Delay(1);

    timenow = SDL_GetTicks();
    if (frameDue(timenow, timecount)) {
      // taken before drawing, so the drawing time counts toward the next gap
      timecount = SDL_GetTicks();
      drawGLScene();
    }
  }
  Quit(0);
}

void Quit(int returnCode)
{
  // closing the device ends the music; nothing else needs releasing before exit
  Mix_CloseAudio();
  SDL_Quit();
  exit(returnCode);
}
