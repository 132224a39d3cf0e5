// fx_test.cpp -- the effects: pass order and state, the font, scroller and sparks at golden frames, and the
// whole picture path frame by frame against a golden call log
#include "fx/fx.h"
#include "gfx/gfx.h"
#include "glrecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

// Animation state as start-up leaves it, five distinct texture names, nothing recorded.
static void resetAnimation()
{
  init_fastmath();
  xmove = pulse = screenbounce = partybounce = yvect = 0;
  init_clock();
  pulsesin = xpos = ypos = zparty = 0.0f;
  memset(scrolltext, 0, sizeof scrolltext);
  scrollchar = 0;
  init_scroller();
  for (int slot = 0; slot < TEXTURE_COUNT; slot++)
    texture[slot] = 11 + slot;
  glrecordEnable(true);
  glrecordReset();
}

TEST(Font, EveryByteTakesItsAtlasCellOrTheFallbackAndTheQuadLeans)
{
  // the atlas from its top row; every byte not in it (zero, blank, slash, other lower case) draws
  // the cell in the far corner
  const char* const rows[] = { "ABCDEFGH", "IJKLMNOP", "QRSTUVWX", "YZ012345", "6789,.!?", "a@:;-()s" };
  for (int c = 0; c < 256; c++) {
    double s = 0.875, t = 0.875;
    for (int row = 0; row < 6; row++)
      if (c != 0 && strchr(rows[row], c))
        s = (strchr(rows[row], c) - rows[row]) * 0.125, t = row * 0.125;
    const char text[2] = { (char)c, 0 };
    SCOPED_TRACE(c);
    glrecordEnable(true);
    glrecordReset();
    GLfontchar(text, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f);
    // the bottom left corner and the top right one, as GL is handed them
    ASSERT_EQ(callSequence(), "glTexCoord2f glVertex3f glTexCoord2f glVertex3f glTexCoord2f glVertex3f "
                              "glTexCoord2f glVertex3f");
    EXPECT_FLOAT_EQ(glCalls[0].args[0], s);
    EXPECT_FLOAT_EQ(glCalls[0].args[1], t + 0.12);
    EXPECT_FLOAT_EQ(glCalls[4].args[0], s + 0.125);
    EXPECT_FLOAT_EQ(glCalls[4].args[1], t);
    EXPECT_EQ(glCalls[1].args, (std::vector<double>{ 0.8f, 1.9f, 4 }));
    EXPECT_EQ(glCalls[5].args, (std::vector<double>{ 1.2f, 3.1f, 5 }));
  }
}

// what it and the sparks draw, the scroller blank at first, is pinned by the golden call log below
TEST(Scroller, AdvancesOnTheThirteenthStepAndWraps)
{
  resetAnimation();
  std::vector<int> advances;
  int highest = 0;
  for (int step = 1; step <= 636 * 8 + 100; step++) {
    const int before = scrollchar;
    advanceScroll();
    highest = std::max(highest, scrollchar);
    if (scrollchar != before && advances.size() < 3)
      advances.push_back(step);
    if (step == 13) {
      EXPECT_NEAR(scrollx, 3.2499993, 1e-7);
    }
  }
  EXPECT_EQ(advances, (std::vector<int>{ 13, 21, 29 }));
  EXPECT_EQ(highest, 635);    // the window starts again before the zero byte's place
  EXPECT_LT(scrollchar, 100);
}

// Every word of the invitation is English or one of the party's own names,
// so a typo shows without the text being written out again here.
TEST(Invitation, IsSixHundredThirtyFiveCharactersOfKnownWordsInTheFont)
{
  const std::string message(scrollMessage);
  ASSERT_EQ(message.size(), 635u);
  EXPECT_EQ(message.find_first_not_of(' '), 25u);
  EXPECT_EQ(message.find_last_not_of(' '), 613u);
  std::ifstream dict("/usr/share/dict/british-english");
  ASSERT_TRUE(dict.good()) << "the wbritish word list is missing";
  std::set<std::string> words = { "neon", "fjord", "neonfjord", "orga", "oldskool", "pc", "http", "org", "k", "coders" };
  for (std::string w; std::getline(dict, w);) {
    std::transform(w.begin(), w.end(), w.begin(), ::tolower);
    words.insert(w);
  }
  std::string cleaned;
  for (char c : message) {
    EXPECT_TRUE(isupper((unsigned char)c) || isdigit((unsigned char)c) || strchr(" .:,-()@/?s", c)) << c;
    cleaned += isupper((unsigned char)c) ? (char)tolower(c) : ' ';
  }
  std::istringstream in(cleaned);
  int count = 0;
  for (std::string w; in >> w; count++)
    EXPECT_TRUE(words.count(w)) << "unknown word: " << w;
  EXPECT_GT(count, 80);
}

TEST(Sparks, AreRebornOnTheRightOnlyOncePastMinusTwo)
{
  resetAnimation();
  glrecordEnable(false);
  sparkx[0] = -1.98f;
  drawSparks();
  EXPECT_EQ(sparkx[0], -2.0f);   // exactly -2 is not yet past the line
  drawSparks();
  EXPECT_GE(sparkx[0], 2.0f);
  EXPECT_LE(sparkx[0], 3.8f);
}

static const size_t RUN = 16;   // calls under each short digest of a golden line

// A frame's golden line: an FNV-1a digest of its calls (names and every argument's bits, in order), then
// the digest's low 16 bits so far after every RUN calls, which finds a change to within its run of calls.
static std::string frameLine()
{
  unsigned long long h = 14695981039346656037ull;
  auto mix = [&](const void* data, size_t size) {
    for (size_t i = 0; i < size; i++)
      h = (h ^ ((const unsigned char*)data)[i]) * 1099511628211ull;
  };
  char hex[18];
  std::string runs;
  for (size_t i = 0; i < glCalls.size(); i++) {
    mix(glCalls[i].name, strlen(glCalls[i].name) + 1);
    mix(glCalls[i].args.data(), glCalls[i].args.size() * sizeof(double));
    if ((i + 1) % RUN == 0 || i + 1 == glCalls.size())
      runs += (snprintf(hex, sizeof hex, "%04llx", h & 0xffff), hex);
  }
  snprintf(hex, sizeof hex, "%016llx ", h);
  return hex + runs;
}

// The calls of the first run whose short digest differs from the golden line's, as C would write them.
static std::string firstDifferentRun(const std::string& drawn, std::string golden)
{
  golden.resize(drawn.size());
  const size_t runs = 17;   // past the whole frame's digest
  const size_t first = (std::mismatch(drawn.begin() + runs, drawn.end(), golden.begin() + runs).first -
                        drawn.begin() - runs) / 4 * RUN;
  std::ostringstream out;
  out << "in calls " << first << " to " << first + RUN - 1 << ", now drawn as:";
  for (size_t i = first; i < std::min(first + RUN, glCalls.size()); i++) {
    out << "\n  " << glCalls[i].name << '(';
    for (size_t arg = 0; arg < glCalls[i].args.size(); arg++)
      out << (arg ? ", " : "") << glCalls[i].args[arg];
    out << ')';
  }
  return out.str();
}

// The whole picture path at seed 1, frame by frame, against golden/frames.txt: any change to what is drawn,
// in any pass or at any time (sparks reborn, the scroller well into its message), names its first frame and
// the run of calls it is in. INTRO_WRITE_GOLDEN=1 writes the file anew from the code as it is, for a change
// meant to alter the picture.
TEST(Frame, ThreeThousandFramesAtSeedOneMatchTheGoldenCallLog)
{
  const bool write = getenv("INTRO_WRITE_GOLDEN");
  std::ifstream in(GOLDEN_DIR "/frames.txt");
  std::ostringstream drawn;
  drawn << "# from frame 0, a line a frame: the digest of its calls, then a short one after every " << RUN
        << " calls (tests/unit/fx_test.cpp)\n";
  std::string line;
  std::getline(in, line);   // the heading
  resetAnimation();
  srand(1);
  init_starfield();
  for (int frame = 0; frame < 3000; frame++) {
    glrecordReset();
    drawGLScene();
    const std::string digests = frameLine();
    drawn << digests << '\n';
    if (!write) {
      ASSERT_TRUE(std::getline(in, line) && line == digests)
        << "first different frame: " << frame << ", " << firstDifferentRun(digests, line);
    }
  }
  if (write)
    std::ofstream(GOLDEN_DIR "/frames.txt") << drawn.str();
}
