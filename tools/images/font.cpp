// font.cpp -- the 8x8 glyph atlas: bold chrome capitals, squat in the cell so they stand tall on screen
#include "images.h"

#include <cmath>

// The scroller shows a cell's top 0.12 of 0.125 (61.4 of 64 rows) on a quad
// about 65 pixels wide and 210 tall, so we design in screen pixels and squeeze
// the design 3.4 times in height into the cell.
static const double CELL_STRETCH = 3.4;   // screen pixels per cell row
static const int    GLYPH_LEFT   = 5;     // cell columns left of the glyph box
static const int    GLYPH_RIGHT  = 59;    // the box ends here; 5 black columns keep neighbours apart
static const int    GLYPH_TOP    = 3;     // cell rows above the glyph box
static const int    GLYPH_BOTTOM = 57;    // rows from here down stay black: never shown, or filtered in
static const double STEM         = 17;    // stroke thickness in screen pixels
static const double OUTLINE      = 3;     // dark rim outside every stroke, screen pixels
static const double BEVEL        = 6;     // width of the lit and shaded edge inside, screen pixels
static const int    SUPERSAMPLE  = 4;     // samples per pixel along each axis
static const double NORMAL_STEP  = 0.5;   // central-difference step for the edge normal

static const GlyphBox atlasBox = {
  GLYPH_RIGHT - GLYPH_LEFT,
  (GLYPH_BOTTOM - GLYPH_TOP) * CELL_STRETCH,
  STEM,
};

// chrome: a gold sky over a dark horizon line, magenta ground below; the horizon sits
// under the middle so hyphens and crossbars stay bright; low in blue and
// green, since the letters add onto a bright blue and would otherwise wash out white
// clang-format off
static const RampStop metal[] = {
  { 0.00, { 1.00, 0.95, 0.75 } },
  { 0.12, { 1.00, 0.80, 0.25 } },
  { 0.54, { 1.00, 0.40, 0.00 } },
  { 0.58, { 0.55, 0.08, 0.02 } },
  { 0.60, { 0.25, 0.00, 0.10 } },
  { 0.63, { 0.75, 0.00, 0.45 } },
  { 0.85, { 1.00, 0.25, 0.70 } },
  { 1.00, { 1.00, 0.75, 0.95 } },
};
// clang-format on
static const Colour OUTLINE_COLOUR = { 0.06, 0.01, 0.14 };
static const Vec2   TOWARD_LIGHT   = { -0.6, -0.8 };   // up and to the left

static Colour glyphShade(char c, Vec2 p)
{
  const double d = glyphDistance(c, p, &atlasBox);
  if (d > OUTLINE)
    return rgb(0, 0, 0);
  if (d > 0)
    return OUTLINE_COLOUR;
  Colour       fill  = ramp(metal, sizeof metal / sizeof metal[0], p.y / atlasBox.height);
  const double depth = -d;
  if (depth >= BEVEL)
    return fill;
  const double nx = glyphDistance(c, { p.x + NORMAL_STEP, p.y }, &atlasBox) -
                    glyphDistance(c, { p.x - NORMAL_STEP, p.y }, &atlasBox);
  const double ny = glyphDistance(c, { p.x, p.y + NORMAL_STEP }, &atlasBox) -
                    glyphDistance(c, { p.x, p.y - NORMAL_STEP }, &atlasBox);
  const double len    = std::sqrt(nx * nx + ny * ny);
  const double facing = len > 0 ? (nx * TOWARD_LIGHT.x + ny * TOWARD_LIGHT.y) / len : 0;
  const double edge   = 1 - depth / BEVEL;
  // the rim facing the light glints white, the far rim falls into shadow
  Colour lit = scale(fill, 1 + 0.55 * facing * edge);
  if (facing > 0)
    lit = add(lit, scale(rgb(1, 1, 1), 0.6 * facing * facing * edge));
  return lit;
}

// a point of the cell, in cell pixels, as a point of the glyph's design in screen pixels
static Vec2 designPoint(double x, double y)
{
  return { x - GLYPH_LEFT, (y - GLYPH_TOP) * CELL_STRETCH };
}

static void drawCell(Canvas* c, int column, int row, char ch)
{
  const double inv = 1.0 / SUPERSAMPLE;
  for (int y = 0; y < ATLAS_CELL_PX; y++)
    for (int x = 0; x < ATLAS_CELL_PX; x++) {
      if (glyphDistance(ch, designPoint(x + 0.5, y + 0.5), &atlasBox) > OUTLINE + 2 * CELL_STRETCH)
        continue;   // the whole pixel is background
      Colour sum = rgb(0, 0, 0);
      for (int sy = 0; sy < SUPERSAMPLE; sy++)
        for (int sx = 0; sx < SUPERSAMPLE; sx++) {
          sum = add(sum, glyphShade(ch, designPoint(x + (sx + 0.5) * inv, y + (sy + 0.5) * inv)));
        }
      *canvasAt(c, column * ATLAS_CELL_PX + x, row * ATLAS_CELL_PX + y) = scale(sum, inv * inv);
    }
}

void makeFont(Canvas* c)
{
  canvasClear(c, ATLAS_SIDE, ATLAS_SIDE);
  // rows 6 and 7, the fallback cell among them, stay black: a blank shows nothing
  for (int i = 0; i < ATLAS_GLYPHS; i++)
    drawCell(c, i % ATLAS_CELLS, i / ATLAS_CELLS, ATLAS_LAYOUT[i]);
}
