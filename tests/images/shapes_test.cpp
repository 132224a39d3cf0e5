// shapes_test.cpp -- distances, ramps, noise and glyph outlines the pictures are built from
#include "images.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Shapes, BoxDistanceInsideOutsideAndAtCorner)
{
  const Vec2 lo = { 0, 0 }, hi = { 4, 2 };
  EXPECT_DOUBLE_EQ(sdBox({ 2, 1 }, lo, hi), -1);     // centre: one from the long sides
  EXPECT_DOUBLE_EQ(sdBox({ 6, 1 }, lo, hi), 2);
  EXPECT_DOUBLE_EQ(sdBox({ 7, 6 }, lo, hi), 5);      // 3-4-5 from the corner (4, 2)
  EXPECT_DOUBLE_EQ(sdBox({ 4, 1 }, lo, hi), 0);
}

TEST(Shapes, RoundBoxRoundsOnlyTheCornersAsked)
{
  const double radius[4] = { 0, 1, 0, 0 };           // top-right only
  // the square corner top-left: diagonal from (0, 0)
  EXPECT_NEAR(sdRoundBox({ -1, -1 }, { 0, 0 }, { 4, 4 }, radius), std::sqrt(2.0), 1e-12);
  // the round corner top-right: from its centre (3, 1), minus the radius
  EXPECT_NEAR(sdRoundBox({ 5, -1 }, { 0, 0 }, { 4, 4 }, radius), 2 * std::sqrt(2.0) - 1, 1e-12);
}

TEST(Shapes, SquareSegmentReachesHalfWidthPastItsEnds)
{
  const Vec2 a = { 0, 0 }, b = { 10, 0 };
  EXPECT_DOUBLE_EQ(sdSquareSegment({ 5, 0 }, a, b, 2), -2);
  EXPECT_DOUBLE_EQ(sdSquareSegment({ 12, 0 }, a, b, 2), 0);   // square end at 10 + 2
  EXPECT_DOUBLE_EQ(sdSquareSegment({ 15, 6 }, a, b, 2), 5);   // from the end corner (12, 2)
  // slanted: the same bar turned by 90 degrees
  EXPECT_NEAR(sdSquareSegment({ 0, 5 }, { 0, 0 }, { 0, 10 }, 2), -2, 1e-12);
}

TEST(Shapes, PolygonSignForEitherWinding)
{
  const Vec2 clockwise[4] = { { 0, 0 }, { 4, 0 }, { 4, 4 }, { 0, 4 } };
  const Vec2 anticlockwise[4] = { { 0, 0 }, { 0, 4 }, { 4, 4 }, { 4, 0 } };
  EXPECT_DOUBLE_EQ(sdPolygon({ 2, 1 }, clockwise, 4), -1);
  EXPECT_DOUBLE_EQ(sdPolygon({ 2, 1 }, anticlockwise, 4), -1);
  EXPECT_DOUBLE_EQ(sdPolygon({ 2, 7 }, clockwise, 4), 3);
}

TEST(Shapes, RampHoldsItsEndsAndBlendsBetweenStops)
{
  const RampStop stops[] = { { 0.2, { 0, 0, 0 } }, { 0.6, { 1, 0.5, 0 } }, { 1.0, { 1, 1, 1 } } };
  EXPECT_DOUBLE_EQ(ramp(stops, 3, 0.0).r, 0);
  EXPECT_DOUBLE_EQ(ramp(stops, 3, 0.4).r, 0.5);
  EXPECT_DOUBLE_EQ(ramp(stops, 3, 0.4).g, 0.25);
  EXPECT_DOUBLE_EQ(ramp(stops, 3, 0.8).b, 0.5);
  EXPECT_DOUBLE_EQ(ramp(stops, 3, 2.0).g, 1);
}

TEST(Noise, HashIsPinned)
{
  // the pictures' bytes depend on these values; a changed hash changes every picture
  EXPECT_EQ(hash32(0), 0u);
  EXPECT_EQ(hash32(1), 0x688990c0u);
  EXPECT_EQ(hash32(12345), 0x912efcf7u);
}

TEST(Noise, ValueNoiseMatchesTheLatticeAtWholePointsAndStaysInRange)
{
  EXPECT_DOUBLE_EQ(valueNoise(3, 5, 7), hashUnit(3, 5, 7));
  for (int i = 0; i < 200; i++) {
    const double n = valueNoise(i * 0.37, i * 0.11, 3);
    EXPECT_GE(n, 0);
    EXPECT_LT(n, 1);
  }
  EXPECT_NE(hashUnit(1, 2, 3), hashUnit(2, 1, 3));
}

TEST(Glyphs, EveryAtlasCharacterHasAnOutlineAndNothingElse)
{
  for (int i = 0; i < ATLAS_GLYPHS; i++)
    EXPECT_TRUE(glyphExists(ATLAS_LAYOUT[i])) << "'" << ATLAS_LAYOUT[i] << "'";
  for (char c : { ' ', '/', 'b', 'z', '\0', '#' })
    EXPECT_FALSE(glyphExists(c)) << (int)c;
}

TEST(Glyphs, OutlineStaysInsideItsBox)
{
  const GlyphBox box = { 54, 184, 17 };
  for (int i = 0; i < ATLAS_GLYPHS; i++) {
    const char c = ATLAS_LAYOUT[i];
    for (double t = 0; t <= 1; t += 0.05) {
      EXPECT_GE(glyphDistance(c, { -0.5, t * 184 }, &box), 0.5) << c;
      EXPECT_GE(glyphDistance(c, { 54.5, t * 184 }, &box), 0.5) << c;
      EXPECT_GE(glyphDistance(c, { t * 54, 184.5 }, &box), 0.5) << c;
    }
  }
}

TEST(Glyphs, StrokesWhereTheLettersHaveThem)
{
  // box 54 x 184, stem 17: a stroke centre line at u = 0 lies at x = 8.5, u = 1 at 45.5,
  // v = 0 at y = 8.5, v = 1 at 175.5
  const GlyphBox box = { 54, 184, 17 };
  struct Probe { char c; double x, y; bool inside; };
  const Probe probes[] = {
    { 'I', 27, 92, true },    // the stem
    { 'I', 8, 92, false },
    { 'O', 27, 92, false },   // the counter
    { 'O', 8.5, 92, true },
    { 'L', 45, 175, true },   // the foot
    { 'L', 45, 60, false },
    { 'T', 45, 8.5, true },   // the bar
    { 'T', 8.5, 150, false },
    { '-', 27, 95, true },
    { '-', 27, 30, false },
    { '.', 27, 170, true },
    { '.', 27, 60, false },
    { 'H', 27, 88, true },    // the crossbar
    { 'H', 27, 30, false },
  };
  for (const Probe& p : probes)
    EXPECT_EQ(glyphDistance(p.c, { p.x, p.y }, &box) < 0, p.inside) << p.c << " at " << p.x << "," << p.y;
}
