// interpose.h -- what the LD_PRELOAD libraries that wrap the intro's library calls share:
// reaching the real function behind a wrapper, and handing the intro an Escape key press
#pragma once

#include <SDL/SDL.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

// The next definition of name after the wrapper's own. A library that is not there ends
// the process with status 3: a wrapper with nothing behind it cannot stand in for it.
template <typename Fn>
Fn realFunction(const char* tool, const char* name)
{
  void* fn = dlsym(RTLD_NEXT, name);
  if (!fn) {
    fprintf(stderr, "%s: cannot find the real %s\n", tool, name);
    _exit(3);
  }
  return reinterpret_cast<Fn>(fn);
}

// Fills event (when there is one) with a press of Escape, as SDL_PollEvent would; returns
// what SDL_PollEvent returns for an event.
inline int escapeKeyPress(SDL_Event* event)
{
  if (event) {
    memset(event, 0, sizeof *event);
    event->type           = SDL_KEYDOWN;
    event->key.state      = SDL_PRESSED;
    event->key.keysym.sym = SDLK_ESCAPE;
  }
  return 1;
}
