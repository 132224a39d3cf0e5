// scroller_test.cpp -- glyph cells, glyph quads, the scroll window and the invitation text
#include "fx_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

// Texture coordinates of one glyph's four vertices.
static std::vector<Vertex> glyphOf(const char* text)
{
  glrecordReset();
  GLfontchar(text, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f);
  return recordedVertices();
}

TEST(BitmapFont, CharactersUseTheirAtlasCells)
{
  resetAnimation();
  struct Case { const char* text; double s, t; };
  const Case cases[] = {
    { "A", 0.0, 0.0 },    { "H", 0.875, 0.0 },   { "I", 0.0, 0.125 },  { "Z", 0.125, 0.375 },
    { "0", 0.25, 0.375 }, { "9", 0.375, 0.5 },   { ",", 0.5, 0.5 },    { "?", 0.875, 0.5 },
    { "a", 0.0, 0.625 },  { "@", 0.125, 0.625 }, { ":", 0.25, 0.625 }, { "-", 0.5, 0.625 },
    { "(", 0.625, 0.625 }, { ")", 0.75, 0.625 }, { "s", 0.875, 0.625 },
    // everything else draws the fallback cell
    { " ", 0.875, 0.875 }, { "", 0.875, 0.875 }, { "/", 0.875, 0.875 }, { "b", 0.875, 0.875 },
    { "z", 0.875, 0.875 }, { "\xff", 0.875, 0.875 },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.text + "'");
    std::vector<Vertex> v = glyphOf(c.text);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_FLOAT_EQ(v[0].s, c.s);          EXPECT_FLOAT_EQ(v[0].t, c.t + 0.12);
    EXPECT_FLOAT_EQ(v[1].s, c.s + 0.125);  EXPECT_FLOAT_EQ(v[1].t, c.t + 0.12);
    EXPECT_FLOAT_EQ(v[2].s, c.s + 0.125);  EXPECT_FLOAT_EQ(v[2].t, c.t);
    EXPECT_FLOAT_EQ(v[3].s, c.s);          EXPECT_FLOAT_EQ(v[3].t, c.t);
  }
}

TEST(BitmapFont, FallbackCellCoordinatesAreExact)
{
  std::vector<Vertex> v = glyphOf(" ");
  EXPECT_FLOAT_EQ(v[0].t, 0.995);
  EXPECT_FLOAT_EQ(v[1].s, 1.0);
  EXPECT_FLOAT_EQ(v[2].t, 0.875);
}

TEST(BitmapFont, GlyphQuadReachesPastItsEdgesAndLeans)
{
  glrecordReset();
  GLfontchar("A", 1.0f, 2.0f, 3.0f, 4.0f, 5.0f);
  std::vector<Vertex> v = recordedVertices();
  const double expected[4][3] = { { 0.8, 1.9, 4 }, { 1.2, 1.9, 4 }, { 1.2, 3.1, 5 }, { 0.8, 3.1, 5 } };
  for (int i = 0; i < 4; i++) {
    EXPECT_FLOAT_EQ(v[i].x, expected[i][0]);
    EXPECT_FLOAT_EQ(v[i].y, expected[i][1]);
    EXPECT_FLOAT_EQ(v[i].z, expected[i][2]);
  }
  EXPECT_EQ(glCalls.size(), 8u);   // four texture coordinates and four vertices, nothing else
}

TEST(Scroller, FirstFrameShowsTwentyOneBlanksFromMinusThree)
{
  resetAnimation();
  drawScroller();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 84u);
  for (int i = 0; i < 21; i++) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(v[i * 4].x, -3.2 + 0.4 * i, 1e-5);          // centres -3.0 .. 5.0
    EXPECT_NEAR(v[i * 4 + 1].x, -2.8 + 0.4 * i, 1e-5);
    EXPECT_FLOAT_EQ(v[i * 4].y, -2.4);
    EXPECT_FLOAT_EQ(v[i * 4].z, -3.0);
    EXPECT_FLOAT_EQ(v[i * 4 + 2].y, -1.4);
    EXPECT_FLOAT_EQ(v[i * 4 + 2].z, -5.0);
    EXPECT_FLOAT_EQ(v[i * 4].s, 0.875);                     // leading blanks
  }
}

TEST(Scroller, FirstCharacterAdvanceComesOnTheThirteenthStepThenEveryEighth)
{
  resetAnimation();
  std::vector<int> advances;
  for (int step = 1; step <= 45; step++) {
    int before = scrollchar;
    advanceScroll();
    if (scrollchar != before)
      advances.push_back(step);
    if (step == 12) {
      EXPECT_NEAR(scrollx, 3.5999994, 1e-7);
    }
    if (step == 13) {
      EXPECT_NEAR(scrollx, 3.2499993, 1e-7);
    }
  }
  EXPECT_EQ(advances, (std::vector<int>{ 13, 21, 29, 37, 45 }));
}

TEST(Scroller, WindowRunsOverTheEndAndStartsAgainWithoutDrawingSixThirtySix)
{
  resetAnimation();
  int highestDrawn = 0;
  bool sawRestart = false;
  float lowestX = 10.0f, highestX = 0.0f;
  for (int frame = 0; frame < 636 * 8 * 2 + 100; frame++) {
    highestDrawn = std::max(highestDrawn, scrollchar);
    if (frame > 13) {
      lowestX = std::min(lowestX, scrollx);
      highestX = std::max(highestX, scrollx);
    }
    int before = scrollchar;
    advanceScroll();
    if (before == 635 && scrollchar != 635) {
      EXPECT_EQ(scrollchar, 0);
      sawRestart = true;
    }
  }
  EXPECT_EQ(highestDrawn, 635);
  EXPECT_TRUE(sawRestart);
  EXPECT_LT(highestX, 3.6f);
  EXPECT_GE(lowestX, 3.2f);
}

TEST(Scroller, LastWindowDrawsTheZeroBytesAsFallbackCells)
{
  resetAnimation();
  scrollchar = 635;
  drawScroller();
  std::vector<Vertex> v = recordedVertices();
  for (int i = 0; i < 21; i++) {
    EXPECT_FLOAT_EQ(v[i * 4].s, 0.875);
    EXPECT_FLOAT_EQ(v[i * 4].t, 0.995);
  }
}

TEST(InvitationMessage, HasTheFormOfTheScrollText)
{
  const std::string message(scrollMessage);
  ASSERT_EQ(message.size(), 635u);
  EXPECT_EQ(message.substr(0, 25), std::string(25, ' '));
  EXPECT_EQ(message.substr(614), std::string(21, ' '));
  const std::string body = message.substr(25, 589);
  EXPECT_NE(body.front(), ' ');
  EXPECT_NE(body.back(), ' ');

  const std::string punctuation = ".:()-@/";
  int slashes = 0, separators = 0;
  for (size_t i = 0; i < body.size(); i++) {
    const char c = body[i];
    SCOPED_TRACE("position " + std::to_string(25 + i));
    if (c == 's') {
      // a lone separator between blanks
      ASSERT_TRUE(i > 0 && i + 1 < body.size());
      EXPECT_EQ(body[i - 1], ' ');
      EXPECT_EQ(body[i + 1], ' ');
      separators++;
      continue;
    }
    if (c == '/')
      slashes++;
    EXPECT_TRUE(isupper((unsigned char)c) || isdigit((unsigned char)c) || c == ' ' ||
                punctuation.find(c) != std::string::npos) << "'" << c << "'";
    // every mark the text uses has a glyph, blanks and slashes aside
    if (c != ' ' && c != '/') {
      FontCell cell = fontCell((unsigned char)c);
      EXPECT_FALSE(cell.s == 0.875f && cell.t == 0.875f) << "'" << c << "'";
    }
  }
  EXPECT_EQ(slashes, 2);
  EXPECT_EQ(separators, 5);
}

TEST(InvitationMessage, IsCopiedWithItsZeroByteAndTheBufferStaysClear)
{
  resetAnimation();
  memset(scrolltext, 'x', sizeof scrolltext);
  init_scroller();
  EXPECT_EQ(std::string(scrolltext), std::string(scrollMessage));
  EXPECT_EQ(scrolltext[635], '\0');
  EXPECT_EQ(scrollx, 3.0f);
}
