// shell_test.cpp -- the shell's decisions: menu answers and the flag word (the pacing: e2e.LongRuns)
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

// The screen that start-up would pick for this console input.
static ScreenMode answerMenu(const std::string& input)
{
  // a private file: ctest runs these tests side by side
  char path[] = "/tmp/intro-shell-stdin-XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_EQ(write(fd, input.data(), input.size()), (ssize_t)input.size());
  close(fd);
  EXPECT_NE(freopen(path, "r", stdin), nullptr);
  unlink(path);
  select_key = 0;
  testing::internal::CaptureStdout();
  askResolution();
  std::string shown = testing::internal::GetCapturedStdout();
  EXPECT_EQ(shown.substr(0, 20), "\n\nChoose resolution\n");
  EXPECT_EQ(shown.back(), '>');
  return screenForAnswer(select_key);
}

TEST(ResolutionMenu, AnswersPickTheirScreenAndEverythingElseThePreset)
{
  struct Case { const char* input; int width, height; };
  const Case cases[] = {
    { "1\n", 320, 240 },     { "2\n", 640, 480 },    { "3\n", 1024, 768 },
    { "0\n", 640, 480 },     { "4\n", 640, 480 },    { "-1\n", 640, 480 },
    { "0x3\n", 1024, 768 },  { "03\n", 1024, 768 },  { "010\n", 640, 480 },   // octal eight
    { "2abc\n", 640, 480 },  { "1abc\n", 320, 240 }, { "word\n", 640, 480 },
    { "\n", 640, 480 },      { "", 640, 480 },       { "  \t 3", 1024, 768 },
    { "+1\n", 320, 240 },    { "-\n", 640, 480 },    { "+\n", 640, 480 },
    // beyond the int range: never wrapped round to a menu entry
    { "4294967297\n", 640, 480 }, { "4294967298\n", 640, 480 }, { "-4294967295\n", 640, 480 },
    { "99999999999999999999999999\n", 640, 480 }, { "\xff\x01" "1\n", 640, 480 },   // bytes that begin no number
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("input '") + c.input + "'");
    ScreenMode mode = answerMenu(c.input);
    EXPECT_EQ(mode.width, c.width);
    EXPECT_EQ(mode.height, c.height);
    EXPECT_EQ(mode.bpp, 24);
  }
  EXPECT_EQ(answerMenu(std::string(1000000, '1') + "\n").width, 640);   // a million digits
}

TEST(VideoFlags, HardwareBlitsAloneAddTheAcceleratedFlag)
{
  SDL_VideoInfo info{};
  info.hw_available = info.blit_hw_CC = info.blit_fill = 1;
  EXPECT_EQ(videoFlagsFor(&info), 0x20000017);
  info.blit_hw = 1;
  EXPECT_EQ(videoFlagsFor(&info), 0x20000117);
}
