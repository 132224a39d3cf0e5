// fastmath_test.cpp -- the sine tables and the animation clock over whole cycles
#include "fx_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

TEST(FastMath, TablesHoldSineAndCosineAtNamedIndices)
{
  resetAnimation();
  EXPECT_EQ(fastsin[0], 0.0f);
  EXPECT_EQ(fastcos[0], 1.0f);
  EXPECT_EQ(fastsin[1800], 1.0f);
  EXPECT_EQ(fastcos[3600], -1.0f);
  EXPECT_NEAR(fastsin[2000], 0.98480775f, 1e-7);   // 100 degrees
  EXPECT_NEAR(fastcos[20], 0.99984770f, 1e-7);     // one degree
  EXPECT_NEAR(fastsin[9999], 0.6434559f, 1e-6);    // the wave runs on past the turn: 499.95 degrees
}

TEST(FastMath, TablesUseTheWrittenPiSoHalfAndFullTurnAreNotZero)
{
  resetAnimation();
  EXPECT_NEAR(fastsin[3600], 3.59e-9, 0.01e-9);
  EXPECT_NEAR(fastsin[7200], -7.18e-9, 0.01e-9);
  EXPECT_GT(fastsin[3600], 0.0f);
  EXPECT_LT(fastsin[7200], 0.0f);
}

// Counter values after each of n clock steps, including the start.
static std::vector<int> counterHistory(int& counter, int steps)
{
  std::vector<int> values{ counter };
  for (int i = 0; i < steps; i++) {
    stepClock();
    values.push_back(counter);
  }
  return values;
}

TEST(AnimationClock, FullTurnCountersCloseTheirCyclesWithoutAJump)
{
  struct Case { int* counter; int step; int frames; };
  const Case cases[] = { { &xmove, 20, 360 }, { &screenbounce, 20, 360 }, { &yvect, 20, 360 }, { &partybounce, 100, 72 } };
  for (const Case& c : cases) {
    resetAnimation();
    std::vector<int> values = counterHistory(*c.counter, 2 * c.frames);
    for (int n = 0; n <= 2 * c.frames; n++)
      EXPECT_EQ(values[n], (n % c.frames) * c.step) << "frame " << n;
  }
}

TEST(AnimationClock, PulseRunsToThreeFiftySixAndNeverHoldsThreeSixty)
{
  resetAnimation();
  std::vector<int> values = counterHistory(pulse, 270);
  EXPECT_EQ(values[89], 356);
  EXPECT_EQ(values[90], 0);
  EXPECT_EQ(values[180], 0);
  for (int v : values)
    EXPECT_LE(v, 356);
}

TEST(AnimationClock, ShearCountersDropTheirOvershootAndFallIntoOneThirtyOneFrameCycle)
{
  resetAnimation();
  std::vector<int> one, two, three;
  for (int n = 0; n <= 100; n++) {
    one.push_back(partyshear1);
    two.push_back(partyshear2);
    three.push_back(partyshear3);
    stepClock();
  }
  EXPECT_EQ(one[30], 6990);
  EXPECT_EQ(one[31], 0);                 // not 23, which carrying the overshoot would give
  EXPECT_EQ(one[62], 0);
  EXPECT_EQ(two[0], 2000);
  EXPECT_EQ(two[22], 7126);              // the largest index it ever forms
  EXPECT_EQ(two[23], 0);                 // first reset on its 23rd step
  EXPECT_EQ(three[0], 4000);
  EXPECT_EQ(three[13], 7029);
  EXPECT_EQ(three[14], 0);               // first reset on its 14th step
  // from then on the same cycle, 8 and 17 steps ahead of the bottom edge
  for (int n = 23; n + 17 <= 100; n++) {
    EXPECT_EQ(two[n], one[n + 8]) << n;
    EXPECT_EQ(three[n], one[n + 17]) << n;
  }
  for (int n = 23; n + 31 <= 100; n++) {
    EXPECT_EQ(one[n + 31], one[n]) << n;
    EXPECT_EQ(two[n + 31], two[n]) << n;
    EXPECT_EQ(three[n + 31], three[n]) << n;
  }
}

TEST(AnimationClock, DerivedValuesLagTheCountersByOneFrame)
{
  resetAnimation();
  // frame 0 draws with everything still zero
  EXPECT_EQ(xpos, 0.0f);
  EXPECT_EQ(ypos, 0.0f);
  EXPECT_EQ(zparty, 0.0f);
  EXPECT_EQ(pulsesin, 0.0f);

  // frame 1: the formulas applied to the start values
  stepClock();
  EXPECT_EQ(xpos, 0.2f);
  EXPECT_EQ(ypos, 0.1f);
  EXPECT_EQ(zparty, 0.0f);
  EXPECT_EQ(pulsesin, 0.0f);

  // frame 2: one degree round the ellipse, the banner a step in depth
  stepClock();
  EXPECT_NEAR(xpos, 0.19998477f, 1e-7);
  EXPECT_NEAR(ypos, 0.10349048f, 1e-7);
  EXPECT_NEAR(zparty, 0.08715574f, 1e-7);   // sin 5 degrees
  EXPECT_NEAR(pulsesin, 0.0034899f, 1e-7);   // 0.1 * sin 2 degrees
}

TEST(AnimationClock, PulsePeaksAtATenthAndNeverGoesNegative)
{
  resetAnimation();
  float highest = 0.0f, lowest = 1.0f;
  for (int n = 0; n < 180; n++) {
    int pulseDrawn = pulse;
    stepClock();
    highest = std::max(highest, pulsesin);
    lowest = std::min(lowest, pulsesin);
    if (pulseDrawn == 180) {
      EXPECT_EQ(pulsesin, 0.1f);
    }
    if (pulseDrawn == 356) {
      EXPECT_NEAR(pulsesin, 0.0034899f, 1e-7);
    }
  }
  EXPECT_EQ(highest, 0.1f);
  EXPECT_GE(lowest, 0.0f);
}

TEST(AnimationClock, DerivedValuesStayInsideTheirRangesOverAFullCommonCycle)
{
  resetAnimation();
  // 360, 90, 72 and 31 frames: their common multiple covers every combination
  for (int n = 0; n < 11160 + 31; n++) {
    stepClock();
    ASSERT_GE(xpos, 0.0f);     ASSERT_LE(xpos, 0.2f);
    ASSERT_GE(ypos, -0.1f);    ASSERT_LE(ypos, 0.3f + 1e-7f);
    ASSERT_GE(zparty, -1.0f);  ASSERT_LE(zparty, 1.0f);
  }
}
