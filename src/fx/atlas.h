// atlas.h -- the glyph atlas's layout, read by the font (font.cpp) and drawn by the image generator
#pragma once

constexpr int ATLAS_CELLS = 8;   // columns and rows of square cells

// The atlas, row by row from the top: each character's cell is its place here.
constexpr char ATLAS_LAYOUT[] =
  "ABCDEFGH"
  "IJKLMNOP"
  "QRSTUVWX"
  "YZ012345"
  "6789,.!?"
  "a@:;-()s";
constexpr int ATLAS_GLYPHS = sizeof ATLAS_LAYOUT - 1;   // the rest of the cells stay black
