// clock_test.cpp -- the capture's virtual clock: the seed reading, the start, and the pace it gives the intro
#include "clock.h"
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <vector>

TEST(VirtualClock, ReadsTheSeedUntilSdlStartsThenCountsFromZero)
{
  VirtualClock clock;
  clockReset(clock, 1234);
  EXPECT_EQ(clockTicks(clock), 1234u);

  // a sleep before SDL starts does not change what the seed reading gives
  clockSleep(clock, 5);
  EXPECT_EQ(clockTicks(clock), 1234u);

  clockStart(clock);
  EXPECT_EQ(clockTicks(clock), 0u);
  clockSleep(clock, 1);
  clockSleep(clock, 20);
  EXPECT_EQ(clockTicks(clock), 21u);
}

TEST(VirtualClock, SecondSubsystemStartKeepsTheTime)
{
  VirtualClock clock;
  clockReset(clock, 0);
  clockStart(clock);        // video
  clockSleep(clock, 30);
  clockStart(clock);        // audio
  EXPECT_EQ(clockTicks(clock), 30u);
}

TEST(VirtualClock, NothingMovesWithoutASleep)
{
  VirtualClock clock;
  clockReset(clock, 0);
  clockStart(clock);
  clockSleep(clock, 7);
  for (int read = 0; read < 1000; read++)
    ASSERT_EQ(clockTicks(clock), 7u);
}

TEST(VirtualClock, WrapsAtTheTopOfTheCounterLikeSdl)
{
  VirtualClock clock;
  clockReset(clock, 0);
  clockStart(clock);
  clockSleep(clock, 0xFFFFFFF0u);
  clockSleep(clock, 0x20u);
  EXPECT_EQ(clockTicks(clock), 0x10u);
}

// The intro's loop in its order: sleep 1 ms, read the clock, draw when a frame is due.
static std::vector<Uint32> frameStartsOver(int passes)
{
  VirtualClock clock;
  clockReset(clock, 0);
  clockStart(clock);
  Uint32 last = 0;
  std::vector<Uint32> starts;
  for (int pass = 0; pass < passes; pass++) {
    clockSleep(clock, 1);
    Uint32 now = clockTicks(clock);
    if (frameDue(now, last)) {
      last = clockTicks(clock);
      starts.push_back(last);
    }
  }
  return starts;
}

TEST(VirtualClock, IntroPacingGivesExactlyOneFramePer21Ms)
{
  const std::vector<Uint32> starts = frameStartsOver(10000);

  // 10000 ms hold 476 whole gaps of 21 ms
  ASSERT_EQ(starts.size(), 476u);
  EXPECT_EQ(starts[0], 21u);
  EXPECT_EQ(starts[1], 42u);
  EXPECT_EQ(starts[2], 63u);
  EXPECT_EQ(starts.back(), 9996u);
  for (size_t i = 1; i < starts.size(); i++)
    ASSERT_EQ(starts[i] - starts[i - 1], 21u) << "between frames " << i - 1 << " and " << i;
}
