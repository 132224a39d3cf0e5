// font_atlas_test.cpp -- the committed glyph atlas: every glyph in its cell, black where the scroller must show nothing
#include "bmp_read.h"

#include <gtest/gtest.h>

#include <cstring>

static const int CELL = 64;

class FontAtlas : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    loaded = readBmp(dataPath("font.bmp"), &font) && font.width == 512 && font.height == 512 && font.bits == 24;
  }
  void SetUp() override { ASSERT_TRUE(loaded) << "data/font.bmp missing or not a 512x512 24-bit BMP"; }

  static int litPixels(int column, int row, int x0, int y0, int x1, int y1, int level)
  {
    int n = 0;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
        n += brightest(bmpPixel(font, column * CELL + x, row * CELL + y)) >= level;
    return n;
  }

  static BmpFile font;
  static bool    loaded;
};
BmpFile FontAtlas::font;
bool    FontAtlas::loaded;

// the 48 characters, row by row from the top of the picture
static const char* const atlasRows[6] = { "ABCDEFGH", "IJKLMNOP", "QRSTUVWX", "YZ012345", "6789,.!?", "a@:;-()s" };

TEST_F(FontAtlas, BottomRowsOfEveryCellAreBlack)
{
  // the scroller samples down to 0.12 of each 0.125 cell, row 61.4 of 64, and
  // linear filtering reaches a row further: rows 60 to 63 stay black
  for (int row = 0; row < 8; row++)
    for (int column = 0; column < 8; column++)
      EXPECT_EQ(litPixels(column, row, 0, 60, CELL, CELL, 1), 0) << "cell " << column << "," << row;
}

TEST_F(FontAtlas, SideColumnsOfEveryCellAreBlack)
{
  // glyphs sit side by side on screen; linear filtering must not pull in the neighbour cell
  for (int row = 0; row < 8; row++)
    for (int column = 0; column < 8; column++) {
      EXPECT_EQ(litPixels(column, row, 0, 0, 2, CELL, 1), 0) << "cell " << column << "," << row;
      EXPECT_EQ(litPixels(column, row, CELL - 2, 0, CELL, CELL, 1), 0) << "cell " << column << "," << row;
    }
}

TEST_F(FontAtlas, FallbackAndUnusedCellsAreBlack)
{
  // a blank draws the fallback cell (column 7 of row 7): it must show nothing
  EXPECT_EQ(litPixels(7, 7, 0, 0, CELL, CELL, 1), 0);
  for (int row = 6; row < 8; row++)
    for (int column = 0; column < 8; column++)
      EXPECT_EQ(litPixels(column, row, 0, 0, CELL, CELL, 1), 0) << "cell " << column << "," << row;
}

TEST_F(FontAtlas, EveryGlyphCellHasBrightPixels)
{
  for (int row = 0; row < 6; row++)
    for (int column = 0; column < 8; column++)
      EXPECT_GT(litPixels(column, row, 0, 0, CELL, CELL, 200), 60) << "'" << atlasRows[row][column] << "'";
}

TEST_F(FontAtlas, NoTwoGlyphCellsAlike)
{
  for (int a = 0; a < 48; a++)
    for (int b = a + 1; b < 48; b++) {
      int differing = 0;
      for (int y = 0; y < CELL; y++)
        for (int x = 0; x < CELL; x++) {
          const Rgb8 pa = bmpPixel(font, a % 8 * CELL + x, a / 8 * CELL + y);
          const Rgb8 pb = bmpPixel(font, b % 8 * CELL + x, b / 8 * CELL + y);
          differing += (brightest(pa) >= 128) != (brightest(pb) >= 128);
        }
      EXPECT_GT(differing, 40) << "'" << atlasRows[a / 8][a % 8] << "' and '" << atlasRows[b / 8][b % 8] << "'";
    }
}

TEST_F(FontAtlas, CharactersSitInTheirOwnCells)
{
  // points of the cell (in atlas cell pixels) that are part of a glyph, or of its counter
  struct Probe { char c; int x, y; bool lit; };
  const Probe probes[] = {
    { 'I', 32, 20, true },   { 'I', 12, 20, false },   // a stem in the middle
    { 'O', 32, 20, false },  { 'O', 10, 20, true },    // a hole in the middle
    { '-', 32, 31, true },   { '-', 32, 10, false },
    { '.', 32, 54, true },   { '.', 32, 20, false },
    { 'L', 52, 54, true },   { 'L', 52, 10, false },
    { 'T', 52, 5, true },    { 'T', 12, 45, false },
    { 'H', 32, 28, true },   { 'H', 32, 12, false },
    { 's', 32, 24, true },   { 's', 8, 8, false },
  };
  for (const Probe& p : probes) {
    int index = -1;
    for (int r = 0; r < 6; r++)
      if (const char* at = strchr(atlasRows[r], p.c))
        index = r * 8 + (int)(at - atlasRows[r]);
    ASSERT_GE(index, 0) << p.c;
    const int lit = brightest(bmpPixel(font, index % 8 * CELL + p.x, index / 8 * CELL + p.y));
    if (p.lit)
      EXPECT_GE(lit, 128) << "'" << p.c << "' at " << p.x << "," << p.y;
    else
      EXPECT_LE(lit, 40) << "'" << p.c << "' at " << p.x << "," << p.y;
  }
}
