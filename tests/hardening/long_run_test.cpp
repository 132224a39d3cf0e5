// long_run_test.cpp -- ten million frames of the clock, the scroller and the sparks, every value in range
//
// A party screen runs the intro for days: at 47.6 frames per second ten million
// frames are about two and a half days. The frame routine's state steps are
// called directly, with the recording stand-in only counting GL calls.
#include "../unit/fx_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr long FRAMES = 10000000;

// GL calls of one spark pass: bind, blend, colour, begin, per spark a colour and
// three texture coordinate and vertex pairs, end.
constexpr std::size_t SPARK_PASS_CALLS = 4 + SPARK_COUNT * 7 + 1;

// A range check that keeps the first failure's frame and stops counting after it.
// The bounds are the single-precision values the state is stored in.
struct Range {
  const char* name;
  float low, high;
  long firstBad = -1;
  double badValue = 0;

  void check(double v, long frame)
  {
    if (firstBad < 0 && !(v >= low && v <= high)) {
      firstBad = frame;
      badValue = v;
    }
  }
};

void expectInRange(const Range& r)
{
  EXPECT_EQ(r.firstBad, -1) << r.name << " left [" << r.low << ", " << r.high << "] at frame " << r.firstBad
                            << " with " << r.badValue;
}

}  // namespace

TEST(LongRun, TenMillionFramesKeepEveryCounterIndexAndPositionInRange)
{
  resetAnimation();
  srand(20270101);
  init_starfield();
  glrecordEnable(false);
  glrecordReset();

  // phase counters: their table indices must stay inside the turn (7199) and the table
  Range xmoveR{ "xmove", 0, 7180 }, pulseR{ "pulse", 0, 356 }, bounceR{ "screenbounce", 0, 7180 };
  Range partyR{ "partybounce", 0, 7100 }, shear1R{ "partyshear1", 0, 7199 }, shear2R{ "partyshear2", 0, 7199 };
  Range shear3R{ "partyshear3", 0, 7199 }, yvectR{ "yvect", 0, 7180 };
  Range stepsR{ "counter off its step grid", 0, 0 };
  // derived values, as the logo and banner rely on them
  Range pulsesinR{ "pulsesin", 0, 0.1f }, xposR{ "xpos", 0, 0.2f }, yposR{ "ypos", -0.1f, 0.3f };
  Range zpartyR{ "zparty", -1, 1 };
  // scroller: the window of 21 glyphs stays inside the text and its zero byte
  const float belowWrap = 3.59999990f;   // the largest float under 3.6
  Range charR{ "scrollchar", 0, 635 }, scrollxR{ "scrollx", 3.0f, belowWrap };
  Range steadyR{ "scrollx after the first advance", 3.2f, belowWrap };
  Range windowR{ "byte in the scroll window outside the message", 0, 0 };
  // sparks: stored positions and the corners of the drawn triangles
  Range sxR{ "spark x", -2.0f, 3.8f }, syR{ "spark y", -2.0f, 0.7f }, szR{ "spark z", -0.05f, 4.45f };
  Range cornerR{ "spark corner x", -2.0f, 3.85f };

  long rebirths = 0, wraps = 0, lastWrap = -1, lastAdvance = -1;
  long gaps[16] = {};
  long shortestCycle = FRAMES, longestCycle = 0;
  bool advanced = false;
  GLfloat before[SPARK_COUNT];

  for (long frame = 0; frame < FRAMES; frame++) {
    // what this frame is drawn with
    charR.check(scrollchar, frame);
    scrollxR.check(scrollx, frame);
    if (advanced)
      steadyR.check(scrollx, frame);
    const int last = scrollchar + SCROLL_GLYPHS - 1;
    windowR.check(last < SCROLLTEXT_SIZE && (last <= SCROLL_MESSAGE_LENGTH || scrolltext[last] == 0) ? 0 : 1, frame);

    for (int i = 0; i < SPARK_COUNT; i++)
      before[i] = sparkx[i];
    drawSparks();
    for (int i = 0; i < SPARK_COUNT; i++) {
      sxR.check(sparkx[i], frame);
      syR.check(sparky[i], frame);
      szR.check(sparkz[i], frame);
      cornerR.check(sparkx[i] + 0.05f, frame);
      if (sparkx[i] > before[i])
        rebirths++;
    }

    stepClock();
    const int beforeChar = scrollchar;
    advanceScroll();
    if (scrollchar != beforeChar) {
      advanced = true;
      if (lastAdvance >= 0)
        gaps[std::min(frame - lastAdvance, 15L)]++;
      lastAdvance = frame;
    }
    if (scrollchar == 0 && beforeChar == SCROLL_MESSAGE_LENGTH) {
      if (lastWrap >= 0) {
        shortestCycle = std::min(shortestCycle, frame - lastWrap);
        longestCycle = std::max(longestCycle, frame - lastWrap);
      }
      lastWrap = frame;
      wraps++;
    }

    xmoveR.check(xmove, frame);
    pulseR.check(pulse, frame);
    bounceR.check(screenbounce, frame);
    partyR.check(partybounce, frame);
    shear1R.check(partyshear1, frame);
    shear2R.check(partyshear2, frame);
    shear3R.check(partyshear3, frame);
    yvectR.check(yvect, frame);
    stepsR.check(xmove % 20 + pulse % 4 + screenbounce % 20 + partybounce % 100 + yvect % 20, frame);
    pulsesinR.check(pulsesin, frame);
    xposR.check(xpos, frame);
    yposR.check(ypos, frame);
    zpartyR.check(zparty, frame);
  }

  for (const Range* r : { &xmoveR, &pulseR, &bounceR, &partyR, &shear1R, &shear2R, &shear3R, &yvectR, &stepsR,
                          &pulsesinR, &xposR, &yposR, &zpartyR, &charR, &scrollxR, &steadyR, &windowR,
                          &sxR, &syR, &szR, &cornerR })
    expectInRange(*r);

  // every frame drew all sixty sparks, and nothing else was emitted
  EXPECT_EQ(glCallCount, SPARK_PASS_CALLS * FRAMES);

  // a spark lives 201 to 291 frames after a rebirth, so each is reborn
  // between 10e6 / 291 and 10e6 / 201 times
  EXPECT_GE(rebirths, 60L * 34364);
  EXPECT_LE(rebirths, 60L * 49752);

  // one character advance every 8 frames; single-precision rounding of scrollx
  // drifts its phase, so that now and then (11 times in these ten million
  // frames) one advance takes 9 frames. That moves every glyph on by 0.05 like
  // any other frame, so nothing on screen jumps; any other gap would.
  long advances = 0;
  for (int g = 0; g < 16; g++) {
    advances += gaps[g];
    if (g != 8 && g != 9) {
      EXPECT_EQ(gaps[g], 0) << "character advances " << g << " frames apart";
    }
  }
  EXPECT_GE(gaps[8], 1249900);
  EXPECT_LE(gaps[9], advances / 10000);

  // 636 character advances make one pass of the message
  EXPECT_EQ(shortestCycle, 636 * 8);
  EXPECT_LE(longestCycle, 636 * 8 + 1);
  EXPECT_GE(wraps, FRAMES / (636 * 8 + 1) - 1);

  glrecordEnable(true);
}
