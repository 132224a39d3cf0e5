// fx_test.cpp -- the effects at golden frames: tables, clock, pass order and state, each pass's vertices
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

TEST(AnimationClock, CountersWrapWithoutOvershootAndDerivedValuesLagOneFrame)
{
  resetAnimation();
  std::vector<int> one, two, three, pulses;
  for (int n = 0; n < 360; n++) {
    one.push_back(partyshear1);
    two.push_back(partyshear2);
    three.push_back(partyshear3);
    pulses.push_back(pulse);
    EXPECT_TRUE(n != 1 || (xpos == 0.2f && ypos == 0.1f));
    if (n == 2) {
      EXPECT_NEAR(xpos, 0.19998477f, 1e-7);
      EXPECT_NEAR(ypos, 0.10349048f, 1e-7);
      EXPECT_NEAR(zparty, 0.08715574f, 1e-7);   // sin 5 degrees
      EXPECT_NEAR(pulsesin, 0.0034899f, 1e-7);  // 0.1 sin 2 degrees
    }
    stepClock();
  }
  EXPECT_EQ(one[30], 6990);
  EXPECT_EQ(one[31], 0);       // the overshoot is dropped, not carried
  EXPECT_EQ(two[22], 7126);
  EXPECT_EQ(two[23], 0);
  EXPECT_EQ(three[13], 7029);
  EXPECT_EQ(three[14], 0);
  EXPECT_EQ(one[100], one[100 - 31]);
  EXPECT_EQ(pulses[89], 356);
  EXPECT_EQ(pulses[90], 0);
  EXPECT_EQ(*std::max_element(pulses.begin(), pulses.end()), 356);
  EXPECT_EQ(xmove, 0);   // a whole turn in steps of 20, never holding 7200
}

TEST(Frame, ClearsRollsOnceDrawsFivePassesInOrderThenSwapsBeforeTheClockMoves)
{
  resetAnimation();
  screenbounce = 1800;
  drawGLScene();
  EXPECT_EQ(callSequence().substr(0, 45), "glClear glLoadIdentity glTranslatef glRotatef");
  EXPECT_EQ(glCalls[0].args[0], 0x4100);
  EXPECT_EQ(glCalls[2].args, (std::vector<double>{ 0.0, 0.5, -5.0 }));
  EXPECT_EQ(glCalls[3].args, (std::vector<double>{ 4.0, 0.0, 0.0, 1.0 }));
  EXPECT_EQ(callsNamed("glRotatef").size(), 1u);
  EXPECT_EQ(callsNamed("glLoadIdentity").size(), 1u);
  EXPECT_STREQ(glCalls.back().name, "SDL_GL_SwapBuffers");
  EXPECT_EQ(xmove, 20);   // the clock stepped after the picture was made
  EXPECT_FLOAT_EQ(scrollx, 3.05f);

  // per pass: texture slot, blend, the first colour's alpha, primitive and vertex count
  struct Expected { double slot, blendSrc, alpha, primitive; int vertices; };
  const Expected expected[] = {
    { 4, 0x302, 0.1f, 7, 8 },     // banner
    { 3, 0x302, 1.0f, 7, 84 },    // scroller
    { 1, 1,     0.5f, 7, 80 },    // sprites
    { 0, 0x302, 1.0f, 7, 64 },    // logo and echoes
    { 2, 0x302, 1.0f, 4, 180 },   // sparks
  };
  int pass = -1, vertices = 0;
  double slot = -1, src = -1, alpha = -1;
  for (const GLCall& call : glCalls) {
    if (isNamed(call, "glBindTexture"))
      slot = call.args[1] - 11, alpha = -1;
    else if (isNamed(call, "glBlendFunc")) {
      src = call.args[0];
      EXPECT_EQ(call.args[1], 1);   // every pass adds light
    } else if (isNamed(call, "glColor4f") && alpha < 0)
      alpha = call.args[3];
    else if (isNamed(call, "glBegin")) {
      ASSERT_LT(++pass, 5);
      SCOPED_TRACE(pass);
      EXPECT_EQ(slot, expected[pass].slot);
      EXPECT_EQ(src, expected[pass].blendSrc);
      EXPECT_EQ(call.args[0], expected[pass].primitive);
      vertices = 0;
    } else if (isNamed(call, "glVertex3f"))
      vertices++;
    else if (isNamed(call, "glEnd")) {
      EXPECT_EQ(vertices, expected[pass].vertices) << pass;
      EXPECT_EQ(alpha, expected[pass].alpha) << pass;
    }
  }
  EXPECT_EQ(pass, 4);
}

TEST(Banner, EdgesSwayByTheirPhasesAndStayJoined)
{
  resetAnimation();
  drawBanner();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 8u);
  const double expected[8][4] = {   // s, t, x, y
    { 0, 1, -4.0, -3.4 },          { 1, 1, 4.0, -3.4 },
    { 1, 0.5, 4.1969615, -0.2 },   { 0, 0.5, -3.8030385, -0.2 },
    { 0, 0.5, -3.8030385, -0.2 },  { 1, 0.5, 4.1969615, -0.2 },
    { 1, 0, 3.931596, 2.7 },       { 0, 0, -4.068404, 2.7 },
  };
  for (int i = 0; i < 8; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(v[i].s, expected[i][0]);
    EXPECT_EQ(v[i].t, expected[i][1]);
    expectVertex(v[i], expected[i][2], expected[i][3], -7.0);
  }
  resetAnimation();
  zparty = 0.25f;
  partyshear2 = 1800;
  drawBanner();
  v = recordedVertices();
  EXPECT_FLOAT_EQ(v[3].x, -3.8f);
  EXPECT_FLOAT_EQ(v[2].x, 4.2f);
  EXPECT_FLOAT_EQ(v[7].z, -6.75f);
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

TEST(Scroller, StartsBlankAtMinusThreeAdvancesOnTheThirteenthStepAndWraps)
{
  resetAnimation();
  drawScroller();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 84u);
  expectVertex(v[0], -3.2, -2.4, -3.0);
  expectVertex(v[20 * 4 + 2], 5.2, -1.4, -5.0);
  EXPECT_FLOAT_EQ(v[0].s, 0.875);

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

TEST(Sprites, RowTurnsFromSlantedLineToEllipse)
{
  resetAnimation();
  drawSprites();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 80u);
  expectVertex(v[0], -0.2, 0.1, -1.0);        // sprite 0: left, bottom
  expectVertex(v[5 * 4 + 2], 2.0, 1.12, -1.0);   // sprite 5: right, top

  resetAnimation();
  yvect = 1800;
  drawSprites();
  v = recordedVertices();
  EXPECT_NEAR(v[0].y, 0.7, 1e-6);
  EXPECT_NEAR(v[10 * 4 + 2].y, -0.32, 1e-6);
}

TEST(Logo, CirclesWithFifteenFadingEchoesTowardTheViewer)
{
  resetAnimation();
  drawLogo();
  std::vector<Vertex> v = recordedVertices();
  std::vector<GLCall> colours = callsNamed("glColor4f");
  ASSERT_EQ(v.size(), 64u);
  ASSERT_EQ(colours.size(), 16u);
  expectVertex(v[0], -1.0, -0.25, 0.0);
  expectVertex(v[2], 1.0, 0.25, 0.0);
  EXPECT_EQ(v[0].t, 1.0);
  EXPECT_FLOAT_EQ(v[2 * 4].z, 0.04f);
  EXPECT_FLOAT_EQ(v[15 * 4].z, 0.56f);
  EXPECT_FLOAT_EQ(colours[1].args[3], 0.2f);
  EXPECT_FLOAT_EQ(colours[15].args[3], 0.06f);

  resetAnimation();
  stepClock();
  pulsesin = 0.1f;
  drawLogo();
  v = recordedVertices();
  colours = callsNamed("glColor4f");
  EXPECT_NEAR(colours[15].args[3], -0.04, 1e-7);   // late echoes fade below zero, unclamped
  expectVertex(v[0], -0.8, -0.15, 0.0);
  expectVertex(v[2], 1.2, 0.35, 0.0);
}

TEST(Sparks, AreThinTrianglesRebornOnTheRightAfterPassingMinusTwo)
{
  resetAnimation();
  for (int i = 0; i < SPARK_COUNT; i++)
    sparkx[i] = 1.0f, sparky[i] = 0.5f, sparkz[i] = 2.0f;
  drawSparks();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 180u);
  expectVertex(v[0], 0.98, 0.5, 2);
  expectVertex(v[1], 0.98, 0.49, 2);
  expectVertex(v[2], 1.03, 0.5, 2);

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
  const char* path = GOLDEN_DIR "/frames.txt";
  resetAnimation();
  srand(1);
  init_starfield();
  std::vector<std::string> golden;
  for (std::ifstream in(path); in;) {
    std::string line;
    if (std::getline(in, line) && line[0] != '#')
      golden.push_back(line);
  }
  std::ostringstream drawn;
  drawn << "# frame digests of tests/unit/fx_test.cpp's golden run, one a line from frame 0\n";
  for (int frame = 0; frame < 3000; frame++) {
    glrecordReset();
    drawGLScene();
    char digest[17];
    snprintf(digest, sizeof digest, "%016llx", frameDigest());
    drawn << digest << '\n';
    if (!getenv("INTRO_WRITE_GOLDEN")) {
      ASSERT_EQ(frame < (int)golden.size() ? golden[frame] : "(none)", digest) << "first different frame: " << frame;
    }
  }
  if (getenv("INTRO_WRITE_GOLDEN"))
    std::ofstream(path) << drawn.str();
}
