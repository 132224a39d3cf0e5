// events_test.cpp -- Escape, window close, the full-screen key and window resizes on a live intro
#include "expected.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const int QUIT_MS   = 1000;    // Escape and close end the intro at once
const int EVENT_MS  = 5000;    // the intro reacts to a key or a resize within this

// A running intro at 640x480 with black images: every pixel shows the clear colour.
struct Running {
  Session s;
  GlView view;

  void start()
  {
    ASSERT_TRUE(s.ok());
    ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
    ASSERT_TRUE(s.start(RunOptions()));
    ASSERT_TRUE(s.x().waitForRunning(640, 480, START_MS, &view)) << "stderr: " << s.intro().err();
  }

  void expectCleanExit(int ms)
  {
    ExitStatus st;
    ASSERT_TRUE(s.intro().waitExit(ms, &st)) << "still running after " << ms << " ms";
    EXPECT_TRUE(st.exited) << toString(st);
    EXPECT_EQ(0, st.code);
    EXPECT_EQ("", s.intro().err());
  }
};

bool allClear(const Shot& shot)
{
  return shot.countNear(0, 0, shot.width, shot.height, CLEAR, TOLERANCE) == shot.width * shot.height;
}

}  // namespace

TEST(Events, EscapeEndsWithStatusZeroAtOnce)
{
  Running r;
  r.start();
  ASSERT_FALSE(HasFatalFailure());
  r.s.x().pressKey("Escape");
  r.expectCleanExit(QUIT_MS);
}

TEST(Events, OtherKeysAreIgnored)
{
  Running r;
  r.start();
  ASSERT_FALSE(HasFatalFailure());
  r.s.x().pressKey("q");
  r.s.x().pressKey("space");
  r.s.x().pressKey("Return");
  sleepMs(300);
  EXPECT_TRUE(r.s.intro().running());
  GlView view;
  ASSERT_TRUE(r.s.x().findGlView(&view));
  EXPECT_TRUE(view.fullScreen);
  r.s.x().pressKey("Escape");
  r.expectCleanExit(QUIT_MS);
}

TEST(Events, WindowCloseRequestEndsWithStatusZero)
{
  Running r;
  r.start();
  ASSERT_FALSE(HasFatalFailure());
  r.s.x().requestClose();
  r.expectCleanExit(QUIT_MS);
}

TEST(Events, WindowCloseRequestAlsoEndsAWindowedIntro)
{
  Running r;
  r.start();
  ASSERT_FALSE(HasFatalFailure());
  r.s.x().pressKey("f");
  GlView view;
  ASSERT_TRUE(r.s.x().waitForFullScreen(false, EVENT_MS, &view));
  r.s.x().requestClose();
  r.expectCleanExit(QUIT_MS);
}

TEST(Events, FKeyFlipsBetweenFullScreenAndWindow)
{
  Running r;
  r.start();
  ASSERT_FALSE(HasFatalFailure());
  const int screenW = r.s.x().screenWidth();
  const int screenH = r.s.x().screenHeight();
  // full screen: centred in a screen-sized window
  EXPECT_EQ((screenW - 640) / 2, r.view.x);
  EXPECT_EQ((screenH - 480) / 2, r.view.y);

  GlView view;
  for (int press = 1; press <= 4; ++press) {
    SCOPED_TRACE("press " + std::to_string(press));
    const bool fullScreen = press % 2 == 0;
    r.s.x().pressKey("f");
    ASSERT_TRUE(r.s.x().waitForFullScreen(fullScreen, EVENT_MS, &view));
    EXPECT_EQ(640, view.width);
    EXPECT_EQ(480, view.height);
    if (fullScreen) {
      EXPECT_EQ((screenW - 640) / 2, view.x);
      EXPECT_EQ((screenH - 480) / 2, view.y);
    } else {
      EXPECT_EQ(r.s.x().findWmWindow(), view.parent);
      EXPECT_EQ(0, view.x);
      EXPECT_EQ(0, view.y);
    }
    // the picture goes on in either state
    Shot shot = r.s.x().waitForPicture(view.window, EVENT_MS, allClear);
    EXPECT_TRUE(allClear(shot));
  }
  EXPECT_TRUE(r.s.intro().running());
  r.s.x().pressKey("Escape");
  r.expectCleanExit(QUIT_MS);
}

TEST(Events, ResizeRecreatesTheSurfaceAndTheViewportFollows)
{
  // a white logo in the upper middle and a white banner that nearly fills the view
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  ASSERT_TRUE(s.data().writeBmp("logo.bmp", 64, 16, solid({ 255, 255, 255 })));
  ASSERT_TRUE(s.data().writeBmp("bg.bmp", 64, 64, solid({ 255, 255, 255 })));
  ASSERT_TRUE(s.start(RunOptions()));
  GlView view;
  ASSERT_TRUE(s.x().waitForRunning(640, 480, START_MS, &view)) << "stderr: " << s.intro().err();
  s.x().pressKey("f");
  ASSERT_TRUE(s.x().waitForFullScreen(false, EVENT_MS, &view));

  struct Size { int w, h; };
  for (Size size : { Size{ 400, 300 }, Size{ 800, 600 }, Size{ 1024, 768 } }) {
    SCOPED_TRACE(std::to_string(size.w) + "x" + std::to_string(size.h));
    s.x().resize(size.w, size.h);
    ASSERT_TRUE(s.x().waitForGlWindow(size.w, size.h, EVENT_MS, &view))
        << "GL window " << view.width << "x" << view.height;
    sleepMs(200);   // a few frames at the new size
    Shot shot = s.x().grab(view.window);
    ASSERT_EQ(size.w, shot.width);
    ASSERT_EQ(size.h, shot.height);

    // the banner reaches into all four quarters of the new window
    for (double fx : { 0.1, 0.9 })
      for (double fy : { 0.1, 0.9 }) {
        Rgb c = shot.at((int)(fx * size.w), (int)(fy * size.h));
        EXPECT_TRUE(near(c, BANNER, TOLERANCE)) << "at " << fx << ", " << fy << ": " << toString(c);
      }
    // the logo stays centred across the top half of whatever size the window has
    Shot::Area logo = shot.areaNear(WHITE, 8);
    ASSERT_GT(logo.count, 0);
    EXPECT_GT(logo.centreX, 0.47 * size.w);
    EXPECT_LT(logo.centreX, 0.60 * size.w);
    EXPECT_GT(logo.centreY, 0.15 * size.h);
    EXPECT_LT(logo.centreY, 0.40 * size.h);
    EXPECT_GT(logo.right - logo.left, 0.50 * size.w);
    EXPECT_LT(logo.right - logo.left, 0.70 * size.w);
  }
  EXPECT_TRUE(s.intro().running());
  s.x().pressKey("Escape");
  ExitStatus st;
  ASSERT_TRUE(s.intro().waitExit(QUIT_MS, &st));
  EXPECT_EQ(0, st.code) << toString(st);
}
