// startup_test.cpp -- the menu, the window size each answer opens, and the start-up failures
#include "expected.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const int QUIT_MS  = 1000;    // Escape ends the intro at once

struct SizeCase {
  const char* answer;
  bool closeStdin;
  int width, height;
};

// Starts the intro with an answer, checks the GL window's size, quits with Escape
// and checks the menu on stdout.
void expectWindowFor(const SizeCase& c)
{
  SCOPED_TRACE(std::string("answer \"") + c.answer + "\"");
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  RunOptions options;
  options.answer = c.answer;
  options.closeStdin = c.closeStdin;
  ASSERT_TRUE(s.start(options));

  GlView view;
  // it comes up full screen: the picture sits in a screen-sized window
  ASSERT_TRUE(s.x().waitForRunning(c.width, c.height, START_MS, &view))
      << "GL window " << view.width << "x" << view.height << (view.fullScreen ? " full screen" : "")
      << "; stderr: " << s.intro().err();
  EXPECT_TRUE(s.x().sawWindowMapped());

  s.x().pressKey("Escape");
  ExitStatus st;
  ASSERT_TRUE(s.intro().waitExit(QUIT_MS, &st));
  EXPECT_TRUE(st.exited) << toString(st);
  EXPECT_EQ(0, st.code);
  EXPECT_EQ(MENU, s.intro().out());
}

}  // namespace

TEST(Startup, AnswerOneOpens320x240) { expectWindowFor({ "1\n", true, 320, 240 }); }
TEST(Startup, AnswerTwoOpens640x480) { expectWindowFor({ "2\n", true, 640, 480 }); }
TEST(Startup, AnswerThreeOpens1024x768) { expectWindowFor({ "3\n", true, 1024, 768 }); }
TEST(Startup, WordAnswerOpens640x480) { expectWindowFor({ "x\n", true, 640, 480 }); }

// closed stdin with the default kept, and the menu shown before any answer arrives
TEST(Startup, MenuComesBeforeTheAnswerAndClosedInputOpens640x480)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  RunOptions options;
  options.answer = "";
  options.closeStdin = false;
  ASSERT_TRUE(s.start(options));

  // the prompt has no line end, yet it must be out while the intro waits
  const int64_t deadline = nowMs() + START_MS;
  while (s.intro().out() != MENU && nowMs() < deadline)
    sleepMs(10);
  EXPECT_EQ(MENU, s.intro().out());
  GlView view;
  EXPECT_FALSE(s.x().findGlView(&view)) << "window opened before the menu was answered";

  s.intro().closeStdin();
  ASSERT_TRUE(s.x().waitForRunning(640, 480, START_MS, &view))
      << "GL window " << view.width << "x" << view.height;
  s.x().pressKey("Escape");
  ExitStatus st;
  ASSERT_TRUE(s.intro().waitExit(QUIT_MS, &st));
  EXPECT_EQ(0, st.code) << toString(st);
}

TEST(Startup, NoDisplayPrintsMenuThenVideoFailureOnStderr)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  RunOptions options;
  options.withDisplay = false;
  options.env.push_back({ "SDL_VIDEODRIVER", "x11" });
  ASSERT_TRUE(s.start(options));

  ExitStatus st;
  ASSERT_TRUE(s.intro().waitExit(START_MS, &st));
  EXPECT_TRUE(st.exited) << toString(st);
  EXPECT_EQ(1, st.code);
  EXPECT_EQ(MENU, s.intro().out());
  EXPECT_EQ("Video initialization failed: No available video device\n", s.intro().err());
  EXPECT_FALSE(s.x().sawWindowCreated());
}

TEST(Startup, NoAudioDevicePrintsMixerFailureOnStdoutAndOpensNoWindow)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  ASSERT_TRUE(s.dir().writeSoundtrack(1.0, 440.0));
  RunOptions options;
  options.audioDriver = "nosuchdriver";
  ASSERT_TRUE(s.start(options));

  ExitStatus st;
  ASSERT_TRUE(s.intro().waitExit(START_MS, &st));
  EXPECT_TRUE(st.exited) << toString(st);
  EXPECT_EQ(1, st.code);
  // SDL starts its audio subsystem without a driver; opening the device is what fails
  EXPECT_EQ(std::string(MENU) + "Mix_OpenAudio: No available audio device\n", s.intro().out());
  EXPECT_EQ("", s.intro().err());
  // video is up by then, so SDL has made its windows, but none was ever shown
  EXPECT_FALSE(s.x().sawWindowMapped());
}
