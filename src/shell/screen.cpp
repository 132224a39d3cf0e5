// screen.cpp -- the resolution menu and the video flag word
#include "shell/shell.h"

#include <climits>
#include <cstdio>

int SCREEN_WIDTH;
int SCREEN_HEIGHT;
int SCREEN_BPP;
int select_key;

// The menu's one home; the build writes it out for the tools and the browser page (tools/facts)
const MenuEntry MENU[MENU_ENTRIES] = {
  { 1, {  320, 240, 24 }, "for software OpenGL"                  },
  { 2, {  640, 480, 24 }, "for hardware OpenGL"                  },
  { 3, { 1024, 768, 24 }, "for hardware OpenGL on fast machines" },
};

static const char* const MENU_TITLE  = "\n\nChoose resolution\n\n";
static const char* const MENU_PROMPT = ">";

ScreenMode screenForAnswer(long answer)
{
  for (const MenuEntry& entry : MENU)
    if (entry.answer == answer)
      return entry.mode;
  return PRESET_SCREEN;
}

void askResolution()
{
  printf("%s", MENU_TITLE);
  for (const MenuEntry& entry : MENU)
    printf("%d) %dx%d %s\n", entry.answer, entry.mode.width, entry.mode.height, entry.use);
  printf("%s", MENU_PROMPT);
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
