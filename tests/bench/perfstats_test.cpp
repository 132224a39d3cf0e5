// perfstats_test.cpp -- reading the probe's reports and the benchmark's JSON, and the figures made of them
#include "perfstats.h"
#include "reportfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <sstream>

using fixture::MS;

static ProbeReport parsed(const std::string& text)
{
  std::istringstream in(text);
  ProbeReport report;
  std::string error;
  EXPECT_TRUE(parseProbeReport(in, report, error)) << error;
  return report;
}

static bool refused(const std::string& text, std::string& error)
{
  std::istringstream in(text);
  ProbeReport report;
  return !parseProbeReport(in, report, error);
}

TEST(ProbeReportTest, EveryKindOfLineIsRead)
{
  ProbeReport r = parsed(fixture::report("640x480", fixture::steadyGaps(3), 100));
  ASSERT_EQ(r.marks.size(), 18u);
  EXPECT_EQ(r.marks.front(), std::make_pair(std::string("libraries_loaded"), 2 * MS));
  EXPECT_EQ(r.marks.back(), std::make_pair(std::string("first_frame"), 100 * MS));
  EXPECT_EQ(r.renderer, "llvmpipe (LLVM 15.0.6, 256 bits)");
  EXPECT_EQ(r.glVersion, "4.5 (Compatibility Profile) Mesa 22.3.6");
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  ASSERT_EQ(r.frames.size(), 4u);
  EXPECT_EQ(r.frames[1].swapOut - r.frames[0].swapOut, 21 * MS);
  EXPECT_EQ(r.windowNs, 20000 * MS);
  EXPECT_EQ(r.cpuNs, 8000 * MS);
  EXPECT_EQ(r.userNs + r.systemNs, r.cpuNs);
  EXPECT_EQ(r.threads.size(), 5u);
  EXPECT_EQ(r.maxrssKib, 102400);
  EXPECT_EQ(r.xvfbCpuNs, 600 * MS);
}

TEST(ProbeReportTest, BrokenReportsAreRefusedAndSayWhy)
{
  std::string whole = fixture::report("640x480", fixture::steadyGaps(3));
  std::string error;

  // an intro killed before exit leaves the report without its last lines
  EXPECT_TRUE(refused(whole.substr(0, whole.find("maxrss_kib")), error));
  EXPECT_NE(error.find("maxrss_kib"), std::string::npos) << error;

  // a frame whose swap returns before it was entered
  std::string backwards = whole;
  backwards.insert(backwards.find("window"), "frame 10 30 20\n");
  EXPECT_TRUE(refused(backwards, error));
  EXPECT_NE(error.find("frame 10 30 20"), std::string::npos) << error;
  EXPECT_EQ(error.find("line "), 0u) << error;

  EXPECT_TRUE(refused("size 640 480\nmaxrss_kib 1\n", error));
  EXPECT_TRUE(refused("mark first_frame\nmaxrss_kib 1\n", error));
  EXPECT_TRUE(refused("window 0 cpu 0 user 0 system 0\nmaxrss_kib 1\n", error));
  EXPECT_TRUE(refused("fps 47\nmaxrss_kib 1\n", error));
}

TEST(PercentileTest, NearestRankWhateverTheOrder)
{
  std::vector<double> values(100);
  std::iota(values.begin(), values.end(), 1.0);
  std::shuffle(values.begin(), values.end(), std::mt19937(7));
  EXPECT_EQ(percentile(values, 50), 50);
  EXPECT_EQ(percentile(values, 99), 99);
  EXPECT_EQ(percentile(values, 100), 100);
  EXPECT_EQ(percentile(values, 0), 1);

  // with few values the 99th percentile is the largest, not something between
  EXPECT_EQ(percentile({3, 1, 2, 10, 4, 5, 6, 7, 8, 9}, 99), 10);
  EXPECT_EQ(percentile({3, 1, 2, 10, 4, 5, 6, 7, 8, 9}, 50), 5);
  EXPECT_EQ(percentile({42}, 99), 42);
}

TEST(RunSummaryTest, SteadyRunAtTheLimit)
{
  RunSummary s;
  std::string error;
  ASSERT_TRUE(summarizeRun(parsed(fixture::report("1024x768", fixture::steadyGaps(100))), s, error)) << error;
  EXPECT_EQ(s.frames, 101);
  EXPECT_NEAR(s.fps, FPS_LIMIT, 1e-9);
  EXPECT_NEAR(s.medianMs, 21, 1e-9);
  EXPECT_NEAR(s.p99Ms, 21, 1e-9);
  EXPECT_EQ(s.lateShare, 0);
  EXPECT_NEAR(s.pacingMedianMs, 21, 1e-9);
  EXPECT_NEAR(s.drawMedianMs, 2, 1e-9);
  EXPECT_NEAR(s.swapMedianMs, 10, 1e-9);
  EXPECT_NEAR(s.cpuPerSecond, 0.4, 1e-12);
  EXPECT_NEAR(s.xvfbPerSecond, 0.03, 1e-12);
  EXPECT_NEAR(s.peakMib, 100, 1e-12);
}

TEST(RunSummaryTest, LateFramesShowInTheTailNotTheMedian)
{
  std::vector<double> gaps = fixture::steadyGaps(100);
  gaps[10] = gaps[50] = gaps[90] = 30;
  gaps[20] = 25;   // on the line: not late
  RunSummary s;
  std::string error;
  ASSERT_TRUE(summarizeRun(parsed(fixture::report("640x480", gaps)), s, error)) << error;
  EXPECT_NEAR(s.medianMs, 21, 1e-9);
  EXPECT_NEAR(s.p99Ms, 30, 1e-9);
  EXPECT_NEAR(s.maxMs, 30, 1e-9);
  EXPECT_NEAR(s.lateShare, 0.03, 1e-12);
  EXPECT_NEAR(s.fps, 100 * 1000.0 / (96 * 21 + 25 + 3 * 30), 1e-9);
}

TEST(RunSummaryTest, AnIntervalIsThePacingGapPlusTheGrowthOfTheLatency)
{
  // starts 21 ms apart; the second frame takes 5 ms longer to present than the first
  std::string text = fixture::report("640x480", {});
  const std::string frames = "frame 0 2000000 12000000\n"
                             "frame 21000000 23000000 38000000\n"
                             "frame 42000000 44000000 54000000\n";
  const size_t first = text.find("\nframe ") + 1;
  text.replace(first, text.find("window") - first, frames);
  RunSummary s;
  std::string error;
  ASSERT_TRUE(summarizeRun(parsed(text), s, error)) << error;
  EXPECT_NEAR(s.maxMs, 26, 1e-9);
  EXPECT_NEAR(s.pacingP99Ms, 21, 1e-9);
  EXPECT_NEAR(s.latencyJumpP99Ms, 5, 1e-9);
  EXPECT_NEAR(s.swapP99Ms, 15, 1e-9);
}

TEST(RunSummaryTest, TooLittleToSummarizeIsRefused)
{
  RunSummary s;
  std::string error;
  EXPECT_FALSE(summarizeRun(parsed(fixture::report("640x480", {})), s, error));
  EXPECT_NE(error.find("two frames"), std::string::npos);

  std::string noWindow = fixture::report("640x480", fixture::steadyGaps(5));
  noWindow.erase(noWindow.find("window"), noWindow.find("thread main") - noWindow.find("window"));
  EXPECT_FALSE(summarizeRun(parsed(noWindow), s, error));

  std::string noXvfb = fixture::report("640x480", fixture::steadyGaps(5));
  noXvfb.erase(noXvfb.find("xvfb_cpu_ns"));
  ASSERT_TRUE(summarizeRun(parsed(noXvfb), s, error));
  EXPECT_EQ(s.xvfbPerSecond, -1);
}

TEST(StartupSplitTest, StepsFollowOneAnotherFromTheExec)
{
  StartupSplit split;
  std::string error;
  ASSERT_TRUE(splitStartup(parsed(fixture::report("640x480", fixture::steadyGaps(2), 150)), split, error)) << error;
  ASSERT_EQ(split.phases.size(), 9u);
  EXPECT_EQ(split.totalMs, 150);
  double sum = 0;
  for (const auto& phase : split.phases)
    sum += phase.second;
  EXPECT_NEAR(sum, split.totalMs, 1e-9);
  EXPECT_EQ(split.phases[0], std::make_pair(std::string("dynamic loading"), 2.0));
  EXPECT_EQ(split.phases[5], std::make_pair(std::string("window and GL context"), 2.0));
  // the fixture's last mark before the first frame is fullscreen_end at 34 ms
  EXPECT_EQ(split.phases[8], std::make_pair(std::string("first frame drawn and swapped"), 116.0));
}

// The text with the line that starts with prefix replaced, or removed when line is empty.
static std::string withLine(std::string text, const std::string& prefix, const std::string& line)
{
  size_t at = text.find(prefix);
  size_t end = text.find('\n', at) + 1;
  return text.replace(at, end - at, line.empty() ? "" : line + "\n");
}

TEST(StartupSplitTest, MissingOrDisorderedMarksAreRefused)
{
  std::string text = fixture::report("640x480", fixture::steadyGaps(2));
  StartupSplit split;
  std::string error;

  EXPECT_FALSE(splitStartup(parsed(withLine(text, "mark gl_ready", "")), split, error));
  EXPECT_NE(error.find("gl_ready"), std::string::npos) << error;

  EXPECT_FALSE(splitStartup(parsed(withLine(text, "mark gl_ready", "mark gl_ready 1")), split, error));
  EXPECT_NE(error.find("gl_ready"), std::string::npos) << error;
}

static const char* const AGGREGATED_JSON = R"({
  "context": {
    "date": "2026-12-06T22:08:28+00:00",
    "host_name": "vm",
    "executable": "build-bench/bench/frame_bench",
    "library_build_type": "debug"
  },
  "benchmarks": [
    {
      "name": "BM_Frame_mean",
      "family_index": 0,
      "run_name": "BM_Frame",
      "run_type": "aggregate",
      "aggregate_name": "mean",
      "cpu_time": 1.9e+03,
      "time_unit": "ns"
    },
    {
      "name": "BM_Frame_median",
      "family_index": 0,
      "run_name": "BM_Frame",
      "run_type": "aggregate",
      "aggregate_name": "median",
      "real_time": 1.9e+03,
      "cpu_time": 1.8e+03,
      "time_unit": "ns",
      "gl_calls": 9.37e+02
    },
    {
      "name": "BM_TableFill_median",
      "run_name": "BM_TableFill",
      "run_type": "aggregate",
      "aggregate_name": "median",
      "cpu_time": 1.3560e+02,
      "time_unit": "us"
    },
    {
      "name": "BM_TableFill_stddev",
      "run_name": "BM_TableFill",
      "run_type": "aggregate",
      "aggregate_name": "stddev",
      "cpu_time": 2.0,
      "time_unit": "us"
    }
  ]
}
)";

TEST(BenchmarkJsonTest, AggregatedRunsGiveTheirMediansInNanoseconds)
{
  std::istringstream in(AGGREGATED_JSON);
  std::vector<BenchFigure> figures = parseBenchmarkJson(in);
  ASSERT_EQ(figures.size(), 2u);
  EXPECT_EQ(figures[0].name, "BM_Frame");
  EXPECT_DOUBLE_EQ(figures[0].cpuNs, 1800);
  EXPECT_EQ(figures[1].name, "BM_TableFill");
  EXPECT_DOUBLE_EQ(figures[1].cpuNs, 135600);
}

TEST(BenchmarkJsonTest, PlainRunsAreTakenAsTheyStand)
{
  std::istringstream in(R"({
  "benchmarks": [
    {
      "name": "BM_Pass/banner",
      "run_name": "BM_Pass/banner",
      "run_type": "iteration",
      "cpu_time": 4.3e+01,
      "time_unit": "ns"
    },
    {
      "name": "BM_Frame",
      "run_type": "iteration",
      "cpu_time": 0.002,
      "time_unit": "ms"
    }
  ]
})");
  std::vector<BenchFigure> figures = parseBenchmarkJson(in);
  ASSERT_EQ(figures.size(), 2u);
  EXPECT_EQ(figures[0].name, "BM_Pass/banner");
  EXPECT_DOUBLE_EQ(figures[0].cpuNs, 43);
  EXPECT_DOUBLE_EQ(figures[1].cpuNs, 2000);
}

TEST(ThreadCpuTest, ThreadsOfOneNameAddUpLargestFirst)
{
  auto byName = cpuByThreadName(parsed(fixture::report("640x480", fixture::steadyGaps(2))));
  ASSERT_EQ(byName.size(), 4u);
  EXPECT_EQ(byName[0], std::make_pair(std::string("llvmpipe-1"), 3500 * MS));
  EXPECT_EQ(byName[1], std::make_pair(std::string("llvmpipe-0"), 3000 * MS));
  EXPECT_EQ(byName[2], std::make_pair(std::string("main"), 300 * MS));
  EXPECT_EQ(byName[3], std::make_pair(std::string("intro"), 20 * MS));
}
