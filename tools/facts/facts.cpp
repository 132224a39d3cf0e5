// facts.cpp -- intro-facts: what the tools and the browser page need to know of the intro, written
// as JSON from the intro's own tables and rules, so that no tool keeps a copy of its own
//   intro-facts OUT.json
#include "shell/shell.h"
#include "fx/fx.h"
#include "gfx/gfx.h"

#include <cstdio>

// text as a JSON string, quotes included
static void writeJsonString(FILE* out, const char* text)
{
  fputc('"', out);
  for (const unsigned char* c = (const unsigned char*)text; *c; c++) {
    if (*c == '"' || *c == '\\')
      fprintf(out, "\\%c", *c);
    else if (*c < 0x20)
      fprintf(out, "\\u%04x", *c);
    else
      fputc(*c, out);
  }
  fputc('"', out);
}

// The frame interval the loop keeps: the first tick reading after a frame at 0 at which the next falls due.
static Uint32 frameInterval()
{
  Uint32 ms = 1;
  while (!frameDue(ms, 0))
    ms++;
  return ms;
}

// The menu answer that picks the preset screen, the size a tool starts from when it has no other
static int presetAnswer()
{
  for (const MenuEntry& entry : MENU)
    if (entry.mode.width == PRESET_SCREEN.width && entry.mode.height == PRESET_SCREEN.height &&
        entry.mode.bpp == PRESET_SCREEN.bpp)
      return entry.answer;
  return 0;
}

static void writeMenu(FILE* out)
{
  fprintf(out, "  \"menu\": [\n");
  for (int i = 0; i < MENU_ENTRIES; i++) {
    const MenuEntry& e = MENU[i];
    fprintf(out, "    {\"answer\": %d, \"width\": %d, \"height\": %d, \"bpp\": %d, \"use\": ", e.answer, e.mode.width,
            e.mode.height, e.mode.bpp);
    writeJsonString(out, e.use);
    fprintf(out, "}%s\n", i + 1 < MENU_ENTRIES ? "," : "");
  }
  fprintf(out, "  ],\n");
}

// the files the intro reads from its data folder, pictures first
static void writeDataFiles(FILE* out)
{
  fprintf(out, "  \"pictures\": [");
  for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
    writeJsonString(out, texturePath[slot]);
    fprintf(out, "%s", slot + 1 < TEXTURE_COUNT ? ", " : "],\n");
  }
  fprintf(out, "  \"soundtrack\": ");
  writeJsonString(out, SOUNDTRACK_PATH);
  fprintf(out, ",\n");
}

int main(int argc, char* argv[])
{
  if (argc != 2) {
    fprintf(stderr, "usage: intro-facts OUT.json\n");
    return 2;
  }
  FILE* out = fopen(argv[1], "w");
  if (!out) {
    perror(argv[1]);
    return 1;
  }
  fprintf(out, "{\n");
  writeMenu(out);
  fprintf(out, "  \"preset_answer\": %d,\n  \"frame_ms\": %u,\n", presetAnswer(), frameInterval());
  writeDataFiles(out);
  fprintf(out, "  \"message\": ");
  writeJsonString(out, scrollMessage);
  fprintf(out, "\n}\n");
  return fclose(out) == 0 ? 0 : 1;
}
