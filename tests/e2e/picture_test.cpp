// picture_test.cpp -- the rendered picture: clear colour, banner margins, logo place, animation, long run
#include "expected.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {

const int QUIT_MS   = 1000;    // Escape ends the intro at once

const Rgb TINTED = { 51, 128, 179 };   // clear colour plus a tenth of a pure red banner
const Rgb RED    = { 255, 0, 0 };

const int W = 640, H = 480;

bool allClear(const Shot& shot)
{
  return shot.countNear(0, 0, shot.width, shot.height, CLEAR, TOLERANCE) == shot.width * shot.height;
}

// Starts the intro at 640x480 on what the test put in data/.
void startAt640(Session& s, GlView* view)
{
  ASSERT_TRUE(s.start(RunOptions()));
  ASSERT_TRUE(s.x().waitForRunning(W, H, START_MS, view)) << "stderr: " << s.intro().err();
}

// Starts the intro at 640x480 on a bright logo over a red banner; sprites, sparks and
// font black, so nothing else adds light.
void startWithLogoAndBanner(Session& s, GlView* view)
{
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  ASSERT_TRUE(s.data().writeBmp("logo.bmp", 64, 16, solid(WHITE)));
  ASSERT_TRUE(s.data().writeBmp("bg.bmp", 64, 64, solid(RED)));
  startAt640(s, view);
}

}  // namespace

TEST(Picture, BlackImagesLeaveOnlyTheClearColour)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  GlView view;
  startAt640(s, &view);
  ASSERT_FALSE(HasFatalFailure());
  for (int i = 0; i < 5; ++i) {
    Shot shot = s.x().grab(view.window);
    ASSERT_EQ(W, shot.width);
    EXPECT_TRUE(allClear(shot)) << "shot " << i << ": centre " << toString(shot.at(W / 2, H / 2))
                                << ", corner " << toString(shot.at(0, 0));
    sleepMs(200);
  }
  quitWithEscape(s, QUIT_MS);
  EXPECT_EQ("", s.intro().err());
}

TEST(Picture, ShotsASecondApartDiffer)
{
  Session s;
  GlView view;
  startWithLogoAndBanner(s, &view);
  ASSERT_FALSE(HasFatalFailure());
  Shot first = s.x().grab(view.window);
  sleepMs(1000);
  Shot second = s.x().grab(view.window);
  ASSERT_EQ(W, first.width);
  ASSERT_EQ(W, second.width);
  // the logo circles, the camera rolls and the banner sways: thousands of pixels change
  EXPECT_GT(first.differingPixels(second, TOLERANCE), 2000);
  quitWithEscape(s, QUIT_MS);
  EXPECT_EQ("", s.intro().err());
}

TEST(Picture, BannerLeavesClearMarginsThatBreatheAndTheLogoSitsUpperMiddle)
{
  Session s;
  GlView view;
  startWithLogoAndBanner(s, &view);
  ASSERT_FALSE(HasFatalFailure());

  // two seconds of shots cover the banner's whole trip toward and away from the viewer
  int allMarginsClear = 0, topCovered = 0;
  const int SHOTS = 25;
  for (int i = 0; i < SHOTS; ++i) {
    SCOPED_TRACE("shot " + std::to_string(i));
    Shot shot = s.x().grab(view.window);
    ASSERT_EQ(W, shot.width);
    ASSERT_EQ(H, shot.height);

    // the bottom edge of the banner never reaches the bottom of the picture
    for (int y : { H - 1, H - 2 })
      EXPECT_TRUE(near(shot.at(W / 2, y), CLEAR, TOLERANCE)) << "bottom middle " << toString(shot.at(W / 2, y));
    // the banner fills the middle of the picture
    EXPECT_TRUE(near(shot.at(W / 2, H / 2), TINTED, TOLERANCE)) << "centre " << toString(shot.at(W / 2, H / 2));
    EXPECT_TRUE(near(shot.at(W / 2, 3 * H / 4), TINTED, TOLERANCE)) << toString(shot.at(W / 2, 3 * H / 4));
    // the logo always covers this band of the upper middle, far brighter than the margins
    const double logo   = shot.meanBrightness(4 * W / 10, 26 * H / 100, 2 * W / 10, 3 * H / 100);
    const double margin = shot.meanBrightness(W / 2 - 20, H - 2, 40, 2);
    EXPECT_GT(logo, 245);
    EXPECT_GT(logo, margin + 100);
    // and below it, where nothing but the banner lies, the picture is darker again
    EXPECT_LT(shot.meanBrightness(4 * W / 10, 60 * H / 100, 2 * W / 10, 3 * H / 100), margin + 20);

    const bool top   = near(shot.at(W / 2, 0), CLEAR, TOLERANCE);
    const bool left  = near(shot.at(0, H / 2), CLEAR, TOLERANCE);
    const bool right = near(shot.at(W - 1, H / 2), CLEAR, TOLERANCE);
    if (top && left && right)
      ++allMarginsClear;
    if (near(shot.at(W / 2, 0), TINTED, TOLERANCE))
      ++topCovered;
    sleepMs(80);
  }
  // far away the banner leaves clear colour on every side; close up it covers the top edge
  EXPECT_GT(allMarginsClear, 0);
  EXPECT_GT(topCovered, 0);
  quitWithEscape(s, QUIT_MS);
  EXPECT_EQ("", s.intro().err());
}

TEST(Picture, RunsThirtySecondsWithEveryLayerDrawing)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages(WHITE));
  ASSERT_TRUE(s.data().writeBmp("bg.bmp", 64, 64, solid(RED)));
  ASSERT_TRUE(s.data().writeSoundtrack(2.0, 330.0));
  GlView view;
  startAt640(s, &view);
  ASSERT_FALSE(HasFatalFailure());

  const int64_t end = nowMs() + 30000;
  Shot last = s.x().grab(view.window);
  int shots = 0;
  while (nowMs() < end) {
    sleepMs(2000);
    ASSERT_TRUE(s.intro().running()) << "ended after " << shots * 2 << " s; stderr: " << s.intro().err();
    Shot shot = s.x().grab(view.window);
    ASSERT_EQ(W, shot.width);
    EXPECT_GT(shot.differingPixels(last, TOLERANCE), 2000) << "picture stood still";
    last = shot;
    ++shots;
  }
  EXPECT_GE(shots, 14);
  quitWithEscape(s, QUIT_MS);
  EXPECT_EQ("", s.intro().err());
  EXPECT_EQ(
      "\n\nChoose resolution\n\n"
      "1) 320x240 for software OpenGL\n"
      "2) 640x480 for hardware OpenGL\n"
      "3) 1024x768 for hardware OpenGL on fast machines\n"
      ">",
      s.intro().out());
}
