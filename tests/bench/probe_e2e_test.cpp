// probe_e2e_test.cpp -- the timing probe inside the real intro under Xvfb
#include "expected.h"
#include "harness.h"
#include "perfstats.h"
#include "probeclock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace e2e;

namespace {

const char* const DATA_FILES[] = {"logo.bmp", "bounce.bmp", "spark.bmp", "font.bmp", "bg.bmp", "soundtrack.mp3"};

// The committed data, so the run loads what the real intro loads.
void copyRealData(Session& s)
{
  for (const char* name : DATA_FILES)
    ASSERT_TRUE(s.data().writeData(name, readFile(std::string(SOURCE_DATA_DIR) + "/" + name))) << name;
}

// The probe after whatever the suite already preloads (the sanitizer suite keeps one there).
std::string preloadWithProbe()
{
  const char* already = getenv("LD_PRELOAD");
  return (already && *already ? std::string(already) + ":" : std::string()) + PROBE_PATH;
}

TEST(ProbeE2ETest, ReportsTheRunAndEndsItWithEscape)
{
  Session s;
  ASSERT_TRUE(s.ok());
  copyRealData(s);
  const std::string reportPath = s.dir().file("probe.txt");
  RunOptions options;
  options.answer = "2\n";
  const int64_t launched = monotonicNs();
  options.env = {{"LD_PRELOAD", preloadWithProbe()}, {"PROBE_REPORT", reportPath}, {"PROBE_SECONDS", "1"},
                 {"PROBE_START_NS", std::to_string(launched)}};
  ASSERT_TRUE(s.start(options));

  ExitStatus st;
  ASSERT_TRUE(s.intro().waitExit(START_MS + 10000, &st)) << "the probe's Escape did not end the intro";
  const int64_t ended = monotonicNs();
  EXPECT_TRUE(st.exited) << toString(st);
  EXPECT_EQ(0, st.code) << s.intro().err();

  std::ifstream in(reportPath);
  ASSERT_TRUE(in) << "no report at " << reportPath;
  ProbeReport report;
  std::string error;
  ASSERT_TRUE(parseProbeReport(in, report, error)) << error;

  EXPECT_EQ(report.width, 640);
  EXPECT_EQ(report.height, 480);
  EXPECT_NE(report.renderer.find("llvmpipe"), std::string::npos) << report.renderer;

  // every start-up step, in order, all inside the time the process was seen to live
  StartupSplit split;
  ASSERT_TRUE(splitStartup(report, split, error)) << error;
  EXPECT_GT(split.totalMs, 0);
  EXPECT_LT(split.totalMs * 1e6, (double)(ended - launched));
  int64_t musicPlay = -1, videoMode = -1;
  for (const auto& [name, ns] : report.marks) {
    if (name == "music_play_end")
      musicPlay = ns;
    if (name == "video_mode_begin")
      videoMode = ns;
  }
  EXPECT_GE(musicPlay, 0) << "the soundtrack was not started";
  EXPECT_LT(musicPlay, videoMode) << "the soundtrack starts before the window opens";

  // frames follow one another without overlapping, and the Escape came a second after the first
  ASSERT_GE(report.frames.size(), 2u);
  for (size_t i = 0; i < report.frames.size(); i++) {
    const ProbeFrame& f = report.frames[i];
    EXPECT_LE(f.begin, f.swapIn);
    EXPECT_LE(f.swapIn, f.swapOut);
    if (i > 0) {
      EXPECT_LT(report.frames[i - 1].swapOut, f.begin) << "frame " << i;
    }
  }
  EXPECT_GE(report.windowNs, 1000000000);
  EXPECT_GT(report.cpuNs, 0);
  EXPECT_GT(report.maxrssKib, 0);

  bool mainSeen = false;
  for (const auto& [name, ns] : report.threads)
    if (name == "main") {
      mainSeen = true;
      EXPECT_GT(ns, 0);
    }
  EXPECT_TRUE(mainSeen) << "the intro's own thread is missing from the CPU split";
}

TEST(ProbeE2ETest, WithoutAReportPathTheProbeOnlyPassesCallsOn)
{
  Session s;
  ASSERT_TRUE(s.ok());
  copyRealData(s);
  RunOptions options;
  options.answer = "1\n";
  options.env = {{"LD_PRELOAD", preloadWithProbe()}};
  ASSERT_TRUE(s.start(options));
  GlView view;
  ASSERT_TRUE(s.x().waitForRunning(320, 240, START_MS, &view)) << s.intro().err();
  // no Escape of its own: the intro runs until the key arrives
  sleepMs(1500);
  EXPECT_TRUE(s.intro().running());
  quitWithEscape(s, 1000);
  EXPECT_EQ(s.intro().err(), "");
}

} // namespace
