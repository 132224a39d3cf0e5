// frame_test.cpp -- the frame routine: pass order, per-pass GL state, camera, swap and clock step
#include "fx_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

// One drawing pass as recorded: the state calls since the previous block, the
// block's primitive, the first call inside it and the vertex count.
struct Pass {
  std::vector<GLCall> before;
  double primitive;
  std::string firstInside;
  int vertices;
  std::vector<GLCall> colours;    // glColor4f calls inside the block
};

static std::vector<Pass> recordedPasses()
{
  std::vector<Pass> passes;
  std::vector<GLCall> pending;
  bool inside = false;
  for (const GLCall& call : glCalls) {
    if (isNamed(call, "glBegin")) {
      passes.push_back({ pending, call.args[0], "", 0, {} });
      pending.clear();
      inside = true;
    } else if (isNamed(call, "glEnd")) {
      inside = false;
    } else if (inside) {
      Pass& pass = passes.back();
      if (pass.firstInside.empty())
        pass.firstInside = call.name;
      if (isNamed(call, "glVertex3f"))
        pass.vertices++;
      if (isNamed(call, "glColor4f"))
        pass.colours.push_back(call);
    } else if (isNamed(call, "glBindTexture") || isNamed(call, "glBlendFunc") || isNamed(call, "glColor4f")) {
      pending.push_back(call);
    }
  }
  return passes;
}

static std::string names(const std::vector<GLCall>& calls)
{
  std::string joined;
  for (const GLCall& call : calls)
    joined += std::string(joined.empty() ? "" : " ") + call.name;
  return joined;
}

TEST(FrameRoutine, ClearsThenSetsOneRolledCameraForTheWholeFrame)
{
  resetAnimation();
  screenbounce = 1800;   // a full roll to one side
  drawGLScene();

  ASSERT_GE(glCalls.size(), 4u);
  EXPECT_STREQ(glCalls[0].name, "glClear");
  EXPECT_EQ(glCalls[0].args[0], 0x4100);
  EXPECT_STREQ(glCalls[1].name, "glLoadIdentity");
  EXPECT_STREQ(glCalls[2].name, "glTranslatef");
  EXPECT_EQ(glCalls[2].args, (std::vector<double>{ 0.0, 0.5, -5.0 }));
  EXPECT_STREQ(glCalls[3].name, "glRotatef");
  EXPECT_EQ(glCalls[3].args, (std::vector<double>{ 4.0, 0.0, 0.0, 1.0 }));

  for (size_t i = 4; i < glCalls.size(); i++)
    for (const char* matrixCall : { "glLoadIdentity", "glTranslatef", "glRotatef", "glMatrixMode" })
      EXPECT_FALSE(isNamed(glCalls[i], matrixCall)) << "matrix call at " << i;
}

TEST(FrameRoutine, DrawsFivePassesInOrderWithTheirTextureBlendAndColour)
{
  resetAnimation();
  drawGLScene();
  std::vector<Pass> passes = recordedPasses();
  ASSERT_EQ(passes.size(), 5u);

  struct Expected {
    const char* before;     // state calls ahead of glBegin
    double slot, blendSrc, blendDst, primitive;
    const char* firstInside;
    double alpha;           // of the first colour the pass sets
    int vertices;
  };
  const Expected expected[] = {
    { "glBindTexture glBlendFunc",           4, 0x302, 1, 7, "glColor4f",    0.1f, 8 },    // banner
    { "glBindTexture glColor4f glBlendFunc", 3, 0x302, 1, 7, "glTexCoord2f", 1.0f, 84 },   // scroller
    { "glBindTexture glBlendFunc",           1, 1,     1, 7, "glColor4f",    0.5f, 80 },   // sprites
    { "glBindTexture glBlendFunc",           0, 0x302, 1, 7, "glColor4f",    1.0f, 64 },   // logo and echoes
    { "glBindTexture glBlendFunc glColor4f", 2, 0x302, 1, 4, "glColor4f",    1.0f, 180 },  // sparks
  };
  int primitives = 0;
  for (int p = 0; p < 5; p++) {
    const Pass& pass = passes[p];
    const Expected& want = expected[p];
    SCOPED_TRACE(p);
    EXPECT_EQ(names(pass.before), want.before);
    EXPECT_EQ(pass.before[0].args, (std::vector<double>{ 0x0DE1, 11 + want.slot }));
    const GLCall* colour = pass.colours.empty() ? nullptr : &pass.colours[0];
    for (const GLCall& call : pass.before) {
      if (isNamed(call, "glBlendFunc")) {
        EXPECT_EQ(call.args, (std::vector<double>{ want.blendSrc, want.blendDst }));
      }
      if (isNamed(call, "glColor4f"))
        colour = &call;
    }
    EXPECT_EQ(pass.primitive, want.primitive);
    EXPECT_EQ(pass.firstInside, want.firstInside);
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->args, (std::vector<double>{ 1, 1, 1, want.alpha }));
    EXPECT_EQ(pass.vertices, want.vertices);
    primitives += pass.vertices / (pass.primitive == 4 ? 3 : 4);
  }
  EXPECT_EQ(primitives, 119);
}

TEST(FrameRoutine, SwapsTheFinishedPictureBeforeTheClockAndTheScrollMoveOn)
{
  resetAnimation();
  drawGLScene();

  // the swap is the last thing the frame hands to GL
  ASSERT_FALSE(glCalls.empty());
  EXPECT_STREQ(glCalls.back().name, "SDL_GL_SwapBuffers");
  EXPECT_EQ(callsNamed("SDL_GL_SwapBuffers").size(), 1u);

  // the picture showed the start state; the state moved on only afterwards
  std::vector<Vertex> v = recordedVertices();
  const Vertex& logoCorner = v[8 + 84 + 80];
  EXPECT_EQ(logoCorner.x, -1.0f);
  EXPECT_EQ(logoCorner.y, -0.25f);
  const Vertex& firstGlyph = v[8];
  EXPECT_FLOAT_EQ(firstGlyph.x, -3.2f);             // centre -3.0, half width 0.2
  EXPECT_EQ(xmove, 20);
  EXPECT_EQ(xpos, 0.2f);
  EXPECT_FLOAT_EQ(scrollx, 3.05f);
}

TEST(FrameRoutine, AlwaysReturnsOne)
{
  resetAnimation();
  glrecordEnable(false);
  for (int n = 0; n < 1000; n++)
    ASSERT_EQ(drawGLScene(), 1);
}

//
// banner
//

TEST(Banner, FirstFrameEdgesSwayByTheirStartPhases)
{
  resetAnimation();
  drawBanner();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 8u);

  struct Expected { double s, t, x, y; };
  const Expected expected[] = {
    { 0, 1,   -4.0,        -3.4 }, { 1, 1,   4.0,        -3.4 },
    { 1, 0.5,  4.1969615,  -0.2 }, { 0, 0.5, -3.8030385, -0.2 },
    { 0, 0.5, -3.8030385,  -0.2 }, { 1, 0.5,  4.1969615, -0.2 },
    { 1, 0,    3.931596,    2.7 }, { 0, 0,   -4.068404,   2.7 },
  };
  for (int i = 0; i < 8; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(v[i].s, expected[i].s);
    EXPECT_EQ(v[i].t, expected[i].t);
    EXPECT_NEAR(v[i].x, expected[i].x, 1e-6);
    EXPECT_FLOAT_EQ(v[i].y, expected[i].y);
    EXPECT_EQ(v[i].z, -7.0f);
  }
}

TEST(Banner, MovesInDepthAsOneFlatPiece)
{
  for (float depth : { -1.0f, 1.0f, 0.25f }) {
    resetAnimation();
    zparty = depth;
    drawBanner();
    for (const Vertex& v : recordedVertices())
      EXPECT_EQ(v.z, depth - 7.0f);
  }
}

TEST(Banner, QuadsStayJoinedAlongTheMiddleEdgeForAnySway)
{
  srand(7);
  for (int n = 0; n < 200; n++) {
    resetAnimation();
    partyshear1 = rand() % 7200;
    partyshear2 = rand() % 7200;
    partyshear3 = rand() % 7200;
    drawBanner();
    std::vector<Vertex> v = recordedVertices();
    EXPECT_EQ(v[2].x, v[5].x);
    EXPECT_EQ(v[2].y, v[5].y);
    EXPECT_EQ(v[3].x, v[4].x);
    EXPECT_EQ(v[3].y, v[4].y);
    // every edge stays eight wide
    EXPECT_NEAR(v[1].x - v[0].x, 8.0, 1e-5);
    EXPECT_NEAR(v[6].x - v[7].x, 8.0, 1e-5);
  }
  resetAnimation();
  partyshear2 = 1800;   // a table value of 1: the middle edge 0.2 to the right
  drawBanner();
  std::vector<Vertex> v = recordedVertices();
  EXPECT_FLOAT_EQ(v[3].x, -3.8f);
  EXPECT_FLOAT_EQ(v[2].x, 4.2f);
}

//
// sprite wave
//

struct SpriteSpan { double left, right, bottom, top; };

static SpriteSpan spriteSpan(const std::vector<Vertex>& v, int sprite)
{
  const Vertex* q = &v[sprite * 4];
  return { q[0].x, q[1].x, q[0].y, q[2].y };
}

TEST(SpriteWave, FirstFrameRowLiesOnTheSlantedLine)
{
  resetAnimation();
  drawSprites();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 80u);   // exactly twenty sprites

  struct Expected { int sprite; SpriteSpan span; };
  const Expected expected[] = {
    {  0, {  -0.2,  0.2,  0.1,  0.4  } },
    {  5, {   1.6,  2.0,  0.7,  1.12 } },
    { 10, {  -0.2,  0.2,  0.1,  0.4  } },
    { 15, {  -2.0, -1.6, -0.5, -0.32 } },
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.sprite);
    SpriteSpan got = spriteSpan(v, e.sprite);
    EXPECT_NEAR(got.left, e.span.left, 1e-6);
    EXPECT_NEAR(got.right, e.span.right, 1e-6);
    EXPECT_NEAR(got.bottom, e.span.bottom, 1e-6);
    EXPECT_NEAR(got.top, e.span.top, 1e-6);
  }
  for (const Vertex& vertex : v)
    EXPECT_EQ(vertex.z, -1.0f);
}

TEST(SpriteWave, QuarterTurnLiftsSpriteZeroHighestAndSinksSpriteTen)
{
  resetAnimation();
  yvect = 1800;
  drawSprites();
  std::vector<Vertex> v = recordedVertices();
  SpriteSpan zero = spriteSpan(v, 0), ten = spriteSpan(v, 10);
  EXPECT_NEAR(zero.bottom, 0.7, 1e-6);    // base 0.6
  EXPECT_NEAR(zero.top, 1.12, 1e-6);
  EXPECT_NEAR(ten.bottom, -0.5, 1e-6);    // base -0.6
  EXPECT_NEAR(ten.top, -0.32, 1e-6);
  for (int k = 0; k < 20; k++)
    EXPECT_LE(spriteSpan(v, k).bottom, zero.bottom + 1e-6);
}

TEST(SpriteWave, TexturesEachSpriteUprightAndPhaseRunsPastTheTable)
{
  resetAnimation();
  yvect = 7180;   // the last sprite's angle index reaches 14020
  drawSprites();
  std::vector<Vertex> v = recordedVertices();
  const double st[4][2] = { { 0, 1 }, { 1, 1 }, { 1, 0 }, { 0, 0 } };
  for (int k = 0; k < 20; k++)
    for (int c = 0; c < 4; c++) {
      EXPECT_EQ(v[k * 4 + c].s, st[c][0]);
      EXPECT_EQ(v[k * 4 + c].t, st[c][1]);
    }
  // sprite 19: 0.6 sin(14020 units) = 0.6 sin(341 degrees)
  EXPECT_NEAR(spriteSpan(v, 19).bottom, 0.6 * -0.32556815 + 0.1, 1e-6);
}

//
// logo and echo trail
//

TEST(Logo, FirstFrameLogoAndFifteenEchoesStackTowardTheViewer)
{
  resetAnimation();
  drawLogo();
  std::vector<Vertex> v = recordedVertices();
  ASSERT_EQ(v.size(), 64u);   // logo and fifteen echoes, not sixteen
  std::vector<GLCall> colours = callsNamed("glColor4f");
  ASSERT_EQ(colours.size(), 16u);
  EXPECT_EQ(colours[0].args[3], 1.0f);

  for (int quad = 0; quad < 16; quad++) {
    SCOPED_TRACE(quad);
    const Vertex* q = &v[quad * 4];
    EXPECT_EQ(q[0].x, -1.0f);  EXPECT_EQ(q[0].y, -0.25f);
    EXPECT_EQ(q[1].x, 1.0f);   EXPECT_EQ(q[1].y, -0.25f);
    EXPECT_EQ(q[2].x, 1.0f);   EXPECT_EQ(q[2].y, 0.25f);
    EXPECT_EQ(q[3].x, -1.0f);  EXPECT_EQ(q[3].y, 0.25f);
    EXPECT_EQ(q[0].t, 1.0);    EXPECT_EQ(q[2].t, 0.0);
  }
  const double depths[16] = { 0, 0, 0.04, 0.08, 0.12, 0.16, 0.2, 0.24, 0.28, 0.32, 0.36, 0.4, 0.44, 0.48, 0.52, 0.56 };
  for (int quad = 0; quad < 16; quad++)
    EXPECT_FLOAT_EQ(v[quad * 4].z, depths[quad]) << quad;
  for (int echo = 0; echo < 15; echo++)
    EXPECT_FLOAT_EQ(colours[echo + 1].args[3], 0.2 - 0.01 * echo) << echo;
  EXPECT_FLOAT_EQ(colours[15].args[3], 0.06);
  EXPECT_FLOAT_EQ(zoom, 0.56f);
}

TEST(Logo, SecondFrameFollowsTheEllipse)
{
  resetAnimation();
  stepClock();
  drawLogo();
  std::vector<Vertex> v = recordedVertices();
  EXPECT_FLOAT_EQ(v[0].x, -0.8f);
  EXPECT_FLOAT_EQ(v[0].y, -0.15f);
  EXPECT_FLOAT_EQ(v[2].x, 1.2f);
  EXPECT_FLOAT_EQ(v[2].y, 0.35f);
}

TEST(Logo, PulsePeakFadesTheLastEchoesToNothingUnclamped)
{
  resetAnimation();
  pulsesin = 0.1f;
  drawLogo();
  std::vector<GLCall> colours = callsNamed("glColor4f");
  EXPECT_NEAR(colours[1].args[3], 0.1, 1e-7);
  EXPECT_NEAR(colours[10].args[3], 0.01, 1e-7);
  EXPECT_NEAR(colours[11].args[3], 0.0, 1e-7);      // echo 10
  EXPECT_NEAR(colours[12].args[3], -0.01, 1e-7);    // echoes 11 to 14 go below zero and reach GL as they are
  EXPECT_NEAR(colours[15].args[3], -0.04, 1e-7);
  EXPECT_EQ(recordedVertices().size(), 64u);        // and are still drawn, so they still write depth
}
