// font.cpp -- one character as one textured quad cut out of the 8x8 glyph atlas
#include "fx/atlas.h"
#include "fx/fx.h"

#include <cstring>

static const float  CELL          = 1.0f / ATLAS_CELLS;   // a cell's side in texture coordinates
static const double GLYPH_HEIGHT  = 0.12;     // a glyph uses the top of its cell only
static const double HALF_WIDTH    = 0.2;      // glyph quad is 0.4 wide
static const double MARGIN        = 0.1;      // quad reaches this far past yin1 and yin2

// every other byte, the zero byte included, draws the black cell in the far corner
static const FontCell FALLBACK_CELL = { 0.875f, 0.875f };

FontCell fontCell(unsigned char c)
{
  if (c == 0)
    return FALLBACK_CELL;
  const char* found = strchr(ATLAS_LAYOUT, c);
  if (!found)
    return FALLBACK_CELL;
  int index = (int)(found - ATLAS_LAYOUT);
  return { (index % ATLAS_CELLS) * CELL, (index / ATLAS_CELLS) * CELL };
}

void GLfontchar(const char* textin, float xin, float yin1, float yin2, float zin1, float zin2)
{
  const FontCell cell = fontCell((unsigned char)*textin);
  const float fontmapx = cell.s;
  const float fontmapy = cell.t;

  // bottom edge takes the glyph's bottom row, top edge the cell's top, so the glyph stands upright
  glTexCoord2f(fontmapx, fontmapy + GLYPH_HEIGHT);
  glVertex3f(xin - HALF_WIDTH, yin1 - MARGIN, zin1);
  glTexCoord2f(fontmapx + CELL, fontmapy + GLYPH_HEIGHT);
  glVertex3f(xin + HALF_WIDTH, yin1 - MARGIN, zin1);
  glTexCoord2f(fontmapx + CELL, fontmapy);
  glVertex3f(xin + HALF_WIDTH, yin2 + MARGIN, zin2);
  glTexCoord2f(fontmapx, fontmapy);
  glVertex3f(xin - HALF_WIDTH, yin2 + MARGIN, zin2);
}
