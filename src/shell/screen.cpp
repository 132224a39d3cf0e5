// screen.cpp -- the resolution menu and the video flag word
#include "shell/shell.h"

#include <climits>
#include <cstdio>

int SCREEN_WIDTH;
int SCREEN_HEIGHT;
int SCREEN_BPP;
int select_key;

struct MenuEntry { int answer; ScreenMode mode; };

static const MenuEntry MENU[] = {
  { 1, {  320, 240, 24 } },
  { 2, {  640, 480, 24 } },
  { 3, { 1024, 768, 24 } },
};

static const char* const MENU_LINES[] = {
  "\n\nChoose resolution\n\n",
  "1) 320x240 for software OpenGL\n",
  "2) 640x480 for hardware OpenGL\n",
  "3) 1024x768 for hardware OpenGL on fast machines\n",
  ">",
};

ScreenMode screenForAnswer(long answer)
{
  for (const MenuEntry& entry : MENU)
    if (entry.answer == answer)
      return entry.mode;
  return PRESET_SCREEN;
}

void askResolution()
{
  for (const char* line : MENU_LINES)
    printf("%s", line);
  // the prompt has no line end: show it before waiting on the answer
  fflush(stdout);

  // read wide and keep only what fits an int, so a huge number cannot wrap
  // around to a valid answer; octal and hex forms are taken as they are
  long answer = 0;
  if (scanf("%li", &answer) == 1 && answer >= INT_MIN && answer <= INT_MAX)
    select_key = (int)answer;
}

int videoFlagsFor(const SDL_VideoInfo* videoInfo)
{
  int flags = SDL_HWSURFACE | SDL_OPENGL | SDL_ASYNCBLIT | SDL_RESIZABLE | SDL_HWPALETTE;
  if (videoInfo->blit_hw)
    flags |= SDL_HWACCEL;
  return flags;
}
