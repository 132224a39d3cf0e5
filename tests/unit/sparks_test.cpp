// sparks_test.cpp -- the spark field: placement from the generator, drift, rebirth and bounds
#include "fx_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

// The digit a coordinate was made from, given its spacing and offset.
static int digitOf(float value, double spacing, double offset)
{
  double d = (value - offset) / spacing;
  EXPECT_NEAR(d, std::round(d), 1e-4) << value << " is not on its grid";
  return (int)std::round(d);
}

TEST(SparkField, StartUpTakesThreeDrawsPerSparkInXYZOrder)
{
  srand(4242);
  int digits[3 * SPARK_COUNT];
  for (int& d : digits)
    d = rand() % 10;

  srand(4242);
  init_starfield();
  for (int i = 0; i < SPARK_COUNT; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(digitOf(sparkx[i], 0.4, -1.0), digits[3 * i]);
    EXPECT_EQ(digitOf(sparky[i], 0.3, -2.0), digits[3 * i + 1]);
    EXPECT_EQ(digitOf(sparkz[i], 0.5, -0.05), digits[3 * i + 2]);
  }
}

TEST(SparkField, EachSparkIsAThinRightTriangleDrawnAfterItMoved)
{
  resetAnimation();
  for (int i = 0; i < SPARK_COUNT; i++) {
    sparkx[i] = 1.0f;
    sparky[i] = 0.5f;
    sparkz[i] = 2.0f;
  }
  drawSparks();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 180u);
  EXPECT_EQ(callsNamed("glColor4f").size(), 61u);   // once ahead of the block, once per spark
  const double expected[3][5] = { { 0, 0, 0.98, 0.5, 2 }, { 0, 1, 0.98, 0.49, 2 }, { 1, 0, 1.03, 0.5, 2 } };
  for (int c = 0; c < 3; c++) {
    EXPECT_EQ(v[c].s, expected[c][0]);
    EXPECT_EQ(v[c].t, expected[c][1]);
    EXPECT_FLOAT_EQ(v[c].x, expected[c][2]);
    EXPECT_FLOAT_EQ(v[c].y, expected[c][3]);
    EXPECT_FLOAT_EQ(v[c].z, expected[c][4]);
  }
}

TEST(SparkField, RebirthNeedsXStrictlyBelowMinusTwo)
{
  resetAnimation();
  glrecordEnable(false);
  init_starfield();
  sparkx[0] = -1.98f;
  drawSparks();
  EXPECT_EQ(sparkx[0], -2.0f);      // exactly -2 is not yet past the line
  drawSparks();
  EXPECT_GE(sparkx[0], 2.0f);       // reborn on the right
  EXPECT_LE(sparkx[0], 3.8f);
}

TEST(SparkField, RebirthDrawsThreeNewDigitsInXYZOrder)
{
  resetAnimation();
  glrecordEnable(false);
  init_starfield();
  for (int i = 0; i < SPARK_COUNT; i++)
    sparkx[i] = 0.0f;                 // nobody else is reborn in this pass
  sparkx[7] = -1.99f;
  srand(99);
  int x = rand() % 10, y = rand() % 10, z = rand() % 10;
  srand(99);
  drawSparks();
  EXPECT_EQ(digitOf(sparkx[7], 0.2, 2.0), x);
  EXPECT_EQ(digitOf(sparky[7], 0.3, -2.0), y);
  EXPECT_EQ(digitOf(sparkz[7], 0.5, -0.05), z);
}

// Passes until spark 0 is reborn, counting the first pass as 1.
static int passesUntilRebirth(float startX)
{
  sparkx[0] = startX;
  for (int pass = 1; pass < 1000; pass++) {
    float before = sparkx[0];
    drawSparks();
    if (sparkx[0] > before)
      return pass;
  }
  return -1;
}

TEST(SparkField, FirstRebirthComesOnPassFiftyOnePlusTwentyPerDigit)
{
  resetAnimation();
  glrecordEnable(false);
  init_starfield();
  for (int d = 0; d < 10; d++)
    EXPECT_EQ(passesUntilRebirth((float)(d * 0.4 - 1.0)), 51 + 20 * d) << "digit " << d;
  for (int d = 0; d < 10; d++)
    EXPECT_EQ(passesUntilRebirth((float)(d * 0.2 + 2.0)), 201 + 10 * d) << "digit " << d;
}

TEST(SparkField, DrawnVerticesStayInsideTheFieldOverAMillionFrames)
{
  resetAnimation();
  glrecordEnable(false);
  srand(1);
  init_starfield();
  float lowX = 10, highX = -10, lowY = 10, highY = -10, lowZ = 10, highZ = -10;
  for (int frame = 0; frame < 1000000; frame++) {
    drawSparks();
    for (int i = 0; i < SPARK_COUNT; i++) {
      lowX = std::min(lowX, sparkx[i]);
      highX = std::max(highX, sparkx[i] + 0.05f);
      lowY = std::min(lowY, sparky[i] - 0.01f);
      highY = std::max(highY, sparky[i]);
      lowZ = std::min(lowZ, sparkz[i]);
      highZ = std::max(highZ, sparkz[i]);
    }
  }
  EXPECT_GE(lowX, -2.0f);
  EXPECT_LE(highX, 3.85f + 1e-6f);
  EXPECT_GE(lowY, -2.01f - 1e-6f);
  EXPECT_LE(highY, 0.7f + 1e-6f);
  EXPECT_GE(lowZ, -0.05f);
  EXPECT_LE(highZ, 4.45f + 1e-6f);
  // over a million frames every grid value turns up
  EXPECT_NEAR(highX, 3.85f, 1e-5);
  EXPECT_NEAR(lowY, -2.01f, 1e-5);
  EXPECT_NEAR(highZ, 4.45f, 1e-5);
}
