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

struct Vertex { double s, t, x, y, z; };

static std::vector<Vertex> recordedVertices()
{
  std::vector<Vertex> out;
  double s = 0, t = 0;
  for (const GLCall& call : glCalls) {
    if (isNamed(call, "glTexCoord2f")) {
      s = call.args[0];
      t = call.args[1];
    } else if (isNamed(call, "glVertex3f")) {
      out.push_back({ s, t, call.args[0], call.args[1], call.args[2] });
    }
  }
  return out;
}

static void expectVertex(const Vertex& v, double x, double y, double z)
{
  EXPECT_NEAR(v.x, x, 1e-6);
  EXPECT_NEAR(v.y, y, 1e-6);
  EXPECT_NEAR(v.z, z, 1e-6);
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
    std::vector<Vertex> v = recordedVertices();
    ASSERT_EQ(v.size(), 4u);
    EXPECT_FLOAT_EQ(v[0].s, s);
    EXPECT_FLOAT_EQ(v[0].t, t + 0.12);
    EXPECT_FLOAT_EQ(v[2].s, s + 0.125);
    EXPECT_FLOAT_EQ(v[2].t, t);
    expectVertex(v[0], 0.8, 1.9, 4);
    expectVertex(v[2], 1.2, 3.1, 5);
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

// A digest of one frame's calls: names and every argument's bits, in order.
static unsigned long long frameDigest()
{
  unsigned long long h = 14695981039346656037ull;   // FNV-1a
  auto mix = [&](const void* data, size_t size) {
    for (size_t i = 0; i < size; i++)
      h = (h ^ ((const unsigned char*)data)[i]) * 1099511628211ull;
  };
  for (const GLCall& call : glCalls) {
    mix(call.name, strlen(call.name) + 1);
    mix(call.args.data(), call.args.size() * sizeof(double));
  }
  return h;
}

// The whole picture path at seed 1, frame by frame, against golden/frames.txt: any change to what is drawn,
// in any pass or at any time (sparks reborn, the scroller well into its message), names its first frame.
// INTRO_WRITE_GOLDEN=1 writes the file anew from the code as it is, for a change meant to alter the picture.
TEST(Frame, ThreeThousandFramesAtSeedOneMatchTheGoldenCallLog)
{
  const bool write = getenv("INTRO_WRITE_GOLDEN");
  std::ifstream in(GOLDEN_DIR "/frames.txt");
  std::ostringstream drawn;
  drawn << "# frame digests of tests/unit/fx_test.cpp's golden run, one a line from frame 0\n";
  std::string line;
  std::getline(in, line);   // the heading
  resetAnimation();
  srand(1);
  init_starfield();
  for (int frame = 0; frame < 3000; frame++) {
    glrecordReset();
    drawGLScene();
    char digest[17];
    snprintf(digest, sizeof digest, "%016llx", frameDigest());
    drawn << digest << '\n';
    if (!write) {
      ASSERT_TRUE(std::getline(in, line) && line == digest) << "first different frame: " << frame;
    }
  }
  if (write)
    std::ofstream(GOLDEN_DIR "/frames.txt") << drawn.str();
}
