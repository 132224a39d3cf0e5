// sdlfake.h -- a scripted stand-in for the SDL and SDL_mixer calls of the program shell.
// Linked into the start-up tests in place of those entry points (the rest of SDL
// stays real); every call is recorded in the GL call log, so SDL and GL calls
// appear in one sequence. exit() is wrapped to throw ExitCalled, so a test can
// run the whole program and see how it ended.
#pragma once

#include <SDL/SDL.h>

#include <deque>
#include <string>
#include <vector>

struct ExitCalled { int status; };

struct SdlScript {
  int failInit = 0;                 // SDL_INIT_VIDEO or SDL_INIT_AUDIO: that SDL_Init returns -1
  bool failOpenAudio = false;
  bool failVideoInfo = false;
  int failSetVideoModeCall = 0;     // 1: the first SDL_SetVideoMode returns null, 2: the second ...
  bool noSoundtrack = false;        // the mixer refuses the soundtrack
  bool blitHardware = false;        // blit_hw in the video information
  std::string error = "scripted failure";
  // SDL_PollEvent hands out one batch per loop pass; an empty batch is a quiet pass
  std::deque<std::vector<SDL_Event>> passes;
  Uint32 tickStart = 0;             // first SDL_GetTicks reading
  Uint32 tickStep = 5;              // every later reading this much more
};

extern SdlScript sdlScript;

void resetSdlFake();                // fresh script, reset clock and event queue

SDL_Event keyDown(SDLKey sym);
SDL_Event keyUp(SDLKey sym);
SDL_Event resizeEvent(int w, int h);
SDL_Event quitEvent();
