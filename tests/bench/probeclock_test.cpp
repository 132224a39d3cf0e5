// probeclock_test.cpp -- the probe's CPU accounting and settings
#include "probeclock.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

TEST(ProbeClockTest, SchedstatGivesTheRunTime)
{
  EXPECT_EQ(parseSchedstat("331531643 677007 64\n"), 331531643);
  EXPECT_EQ(parseSchedstat(""), -1);
  EXPECT_EQ(parseSchedstat("runtime 5"), -1);
  EXPECT_EQ(parseSchedstat("-4 0 0"), -1);
}

TEST(ProbeClockTest, ThreadCpuIsTheDifferenceAndNewThreadsCountFromZero)
{
  const long self = (long)getpid();
  ThreadTimes before = {{self, {"intro", 100}}, {self + 1, {"llvmpipe-0", 50}}, {self + 3, {"gone", 70}}};
  ThreadTimes after  = {{self, {"intro", 300}}, {self + 1, {"llvmpipe-0", 80}}, {self + 2, {"intro", 40}}};
  auto used = threadCpuBetween(before, after);
  ASSERT_EQ(used.size(), 3u);
  EXPECT_EQ(used[0], std::make_pair(std::string("main"), (int64_t)200));
  EXPECT_EQ(used[1], std::make_pair(std::string("llvmpipe-0"), (int64_t)30));
  EXPECT_EQ(used[2], std::make_pair(std::string("intro"), (int64_t)40));
}

TEST(ProbeClockTest, ThreadsOfThisProcessAreSeenByName)
{
  std::atomic<bool> stop{false};
  std::atomic<bool> named{false};
  std::thread worker([&] {
    pthread_setname_np(pthread_self(), "probe-worker");
    named = true;
    volatile unsigned spin = 0;
    while (!stop)
      spin = spin + 1;
  });
  while (!named)
    std::this_thread::yield();
  usleep(50000);
  ThreadTimes times = threadTimes();
  stop = true;
  worker.join();

  ASSERT_TRUE(times.count((long)getpid()));
  bool seen = false;
  for (const auto& [tid, thread] : times)
    if (thread.name == "probe-worker") {
      seen = true;
      EXPECT_GT(thread.ns, 10 * 1000000) << "the worker spun for 50 ms";
    }
  EXPECT_TRUE(seen);
}

TEST(ProbeClockTest, SettingsAreNumbersOrTheFallback)
{
  unsetenv("PROBE_TEST_SETTING");
  EXPECT_EQ(envInt64("PROBE_TEST_SETTING", 7), 7);
  setenv("PROBE_TEST_SETTING", "", 1);
  EXPECT_EQ(envInt64("PROBE_TEST_SETTING", 7), 7);
  setenv("PROBE_TEST_SETTING", "9007199254740993", 1);
  EXPECT_EQ(envInt64("PROBE_TEST_SETTING", 7), 9007199254740993LL);
  setenv("PROBE_TEST_SETTING", "0.25", 1);
  EXPECT_EQ(envDouble("PROBE_TEST_SETTING", 1), 0.25);
}

TEST(ProbeClockDeathTest, AWrongSettingEndsTheRunRatherThanSpoilIt)
{
  setenv("PROBE_TEST_SETTING", "20s", 1);
  EXPECT_EXIT(envInt64("PROBE_TEST_SETTING", 0), testing::ExitedWithCode(3), "PROBE_TEST_SETTING=20s is not a number");
  EXPECT_EXIT(envDouble("PROBE_TEST_SETTING", 0), testing::ExitedWithCode(3), "not a number");
  setenv("PROBE_TEST_SETTING", "-1", 1);
  EXPECT_EXIT(envDouble("PROBE_TEST_SETTING", 0), testing::ExitedWithCode(3), "not a number");
  setenv("PROBE_TEST_SETTING", "99999999999999999999", 1);
  EXPECT_EXIT(envInt64("PROBE_TEST_SETTING", 0), testing::ExitedWithCode(3), "not a number");
}

static std::string runCaptured(const std::string& command, int& status)
{
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[256];
  while (pipe && fgets(buffer, sizeof buffer, pipe))
    output += buffer;
  status = pipe ? pclose(pipe) : -1;
  return output;
}

TEST(ProbeLaunchTest, HandsItsClockReadingToTheProgram)
{
  int status;
  const int64_t before = monotonicNs();
  std::string out = runCaptured(std::string(PROBE_LAUNCH_PATH) + " /bin/sh -c 'echo $PROBE_START_NS'", status);
  const int64_t after = monotonicNs();
  ASSERT_EQ(status, 0);
  const long long reading = std::stoll(out);
  EXPECT_GE(reading, before);
  EXPECT_LE(reading, after);
}

TEST(ProbeLaunchTest, AProgramThatCannotRunIsSaidSo)
{
  int status;
  std::string out = runCaptured(std::string(PROBE_LAUNCH_PATH) + " /nonexistent/intro 2>&1", status);
  EXPECT_EQ(WEXITSTATUS(status), 127);
  EXPECT_NE(out.find("probe-launch: cannot run /nonexistent/intro"), std::string::npos) << out;
  out = runCaptured(std::string(PROBE_LAUNCH_PATH) + " 2>&1", status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_NE(out.find("usage"), std::string::npos) << out;
}
