// expected.h -- what every end-to-end test expects of the intro: the menu text and the picture's colours
#pragma once

#include "harness.h"

#include <gtest/gtest.h>

namespace e2e {

// The resolution menu exactly as the intro prints it, prompt included.
constexpr const char* MENU =
    "\n\nChoose resolution\n\n"
    "1) 320x240 for software OpenGL\n"
    "2) 640x480 for hardware OpenGL\n"
    "3) 1024x768 for hardware OpenGL on fast machines\n"
    ">";

constexpr int START_MS  = 20000;                  // software GL on a busy machine can be slow to come up
constexpr int TOLERANCE = 3;                      // rounding of the colours by the GL (0.7 * 255 gives 178)

constexpr Rgb CLEAR  = { 26, 128, 179 };          // the clear colour (0.1, 0.5, 0.7)
constexpr Rgb BANNER = { 51, 153, 204 };          // clear colour plus a tenth of a white banner
constexpr Rgb WHITE  = { 255, 255, 255 };

// Presses Escape and expects the intro gone with status 0 within quitMs.
inline void quitWithEscape(Session& s, int quitMs)
{
  s.x().pressKey("Escape");
  ExitStatus st;
  ASSERT_TRUE(s.intro().waitExit(quitMs, &st)) << "still running after Escape";
  EXPECT_TRUE(st.exited) << toString(st);
  EXPECT_EQ(0, st.code);
}

}  // namespace e2e
