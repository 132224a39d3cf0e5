// gfx_test.cpp -- fixed GL state, projection, and the five textures from files of every kind
#include "gfx/gfx.h"
#include "glrecord.h"
#include "bmpwrite.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// A scratch working directory with an empty data/ folder, left again afterwards.
class DataFolder : public ::testing::Test {
protected:
  void SetUp() override
  {
    char pattern[] = "/tmp/intro-gfx-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_NE(getcwd(home, sizeof home), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    mkdir("data", 0755);
    glrecordEnable(true);
    glrecordReset();
  }
  void TearDown() override
  {
    ASSERT_EQ(chdir(home), 0);
    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  std::string dir;
  char home[4096];
};

static Rgb quadrants(int x, int y)
{
  // red top-left, green top-right, blue bottom-left, white bottom-right; 248 survives 5-bit channels
  static const Rgb colours[4] = { { 248, 0, 0 }, { 0, 248, 0 }, { 0, 0, 248 }, { 248, 248, 248 } };
  return colours[(y >= 2) * 2 + (x >= 2)];
}

// Colour of texel (x, y) of a packed BGR surface, row 0 on top.
static Rgb texel(const SDL_Surface* s, int x, int y)
{
  const uint8_t* p = (const uint8_t*)s->pixels + y * s->pitch + x * 3;
  return { p[2], p[1], p[0] };
}

static void expectColour(Rgb got, Rgb want)
{
  EXPECT_EQ(got.r, want.r);
  EXPECT_EQ(got.g, want.g);
  EXPECT_EQ(got.b, want.b);
}

//
// fixed state and projection
//

TEST_F(DataFolder, InitGLLoadsTexturesThenSetsTheFixedStateInOrder)
{
  EXPECT_EQ(initGL(), 1);
  std::vector<GLCall> state(glCalls.end() - 8, glCalls.end());
  EXPECT_EQ(callSequence().find("glGenTextures"), 0u);

  struct Expected { const char* name; std::vector<double> args; };
  const Expected expected[] = {
    { "glEnable",     { 0x0DE1 } },
    { "glShadeModel", { 0x1D00 } },
    { "glEnable",     { 0x0BE2 } },
    { "glClearColor", { 0.1f, 0.5f, 0.7f, 1.0f } },
    { "glClearDepth", { 1.0 } },
    { "glEnable",     { 0x0B71 } },
    { "glDepthFunc",  { 0x0203 } },
    { "glHint",       { 0x0C50, 0x1102 } },
  };
  for (int i = 0; i < 8; i++) {
    EXPECT_STREQ(state[i].name, expected[i].name);
    EXPECT_EQ(state[i].args, expected[i].args) << expected[i].name;
  }
}

TEST(Projection, MenuSizesGiveFourThirdsAndLeaveAnIdentityModelView)
{
  struct Size { int w, h; };
  for (Size size : { Size{ 320, 240 }, Size{ 640, 480 }, Size{ 1024, 768 } }) {
    glrecordReset();
    EXPECT_EQ(resizeWindow(size.w, size.h), 1);
    EXPECT_EQ(callSequence(), "glViewport glMatrixMode glLoadIdentity gluPerspective glMatrixMode glLoadIdentity");
    EXPECT_EQ(glCalls[0].args, (std::vector<double>{ 0, 0, (double)size.w, (double)size.h }));
    EXPECT_EQ(glCalls[1].args[0], 0x1701);
    EXPECT_EQ(glCalls[3].args, (std::vector<double>{ 30.0, 1.3333334f, 0.1f, 100.0 }));
    EXPECT_EQ(glCalls[3].args[1], 1.33333337306976318359375);   // the single-precision ratio, widened
    EXPECT_EQ(glCalls[4].args[0], 0x1700);
  }
}

TEST(Projection, ZeroHeightIsOnePixelHighAndZeroWidthPassesRatioZero)
{
  glrecordReset();
  resizeWindow(800, 0);
  EXPECT_EQ(glCalls[0].args, (std::vector<double>{ 0, 0, 800, 1 }));
  EXPECT_EQ(glCalls[3].args[1], 800.0);

  glrecordReset();
  resizeWindow(0, 600);
  EXPECT_EQ(glCalls[0].args, (std::vector<double>{ 0, 0, 0, 600 }));
  EXPECT_EQ(glCalls[3].args[1], 0.0);
  EXPECT_STREQ(glCalls.back().name, "glLoadIdentity");
  EXPECT_EQ(glCalls[4].args[0], 0x1700);
}

//
// texture set
//

TEST_F(DataFolder, FiveImagesBecomeFiveTexturesAtTheirOwnSizes)
{
  const int sizes[TEXTURE_COUNT][2] = { { 8, 2 }, { 4, 4 }, { 2, 1 }, { 16, 16 }, { 256, 64 } };
  for (int slot = 0; slot < TEXTURE_COUNT; slot++)
    writeFile(texturePath[slot], bmpBytes(makeImage(sizes[slot][0], sizes[slot][1], quadrants), 24));

  EXPECT_EQ(LoadGLTextures(), 1);
  EXPECT_EQ(callSequence(),
            "glGenTextures"
            " glBindTexture glTexImage2D glTexParameteri glTexParameteri"
            " glBindTexture glTexImage2D glTexParameteri glTexParameteri"
            " glBindTexture glTexImage2D glTexParameteri glTexParameteri"
            " glBindTexture glTexImage2D glTexParameteri glTexParameteri"
            " glBindTexture glTexImage2D glTexParameteri glTexParameteri");
  EXPECT_EQ(glCalls[0].args[0], 5);
  EXPECT_EQ(std::vector<GLuint>(texture, texture + 5), (std::vector<GLuint>{ 1, 2, 3, 4, 5 }));

  for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
    SCOPED_TRACE(slot);
    const GLCall* c = &glCalls[1 + slot * 4];
    EXPECT_EQ(c[0].args, (std::vector<double>{ 0x0DE1, (double)texture[slot] }));
    EXPECT_EQ(c[1].args, (std::vector<double>{ 0x0DE1, 0, 3, (double)sizes[slot][0], (double)sizes[slot][1], 0, 0x80E0, 0x1401 }));
    EXPECT_EQ(c[2].args, (std::vector<double>{ 0x0DE1, 0x2801, 0x2601 }));
    EXPECT_EQ(c[3].args, (std::vector<double>{ 0x0DE1, 0x2800, 0x2601 }));
  }
  // the font's top row comes first, blue-green-red: red, then green from x = 2
  const std::vector<unsigned char>& font = glCalls[1 + 3 * 4 + 1].pixels;
  ASSERT_EQ(font.size(), 16u * 48u);
  EXPECT_EQ(std::vector<unsigned char>(font.begin(), font.begin() + 9),
            (std::vector<unsigned char>{ 0, 0, 248, 0, 0, 248, 0, 248, 0 }));
}

TEST_F(DataFolder, MissingFilesGetBlackPlaceholdersAndStillFiveNames)
{
  EXPECT_EQ(LoadGLTextures(), 1);
  std::vector<GLCall> uploads = callsNamed("glTexImage2D");
  ASSERT_EQ(uploads.size(), 5u);
  EXPECT_EQ(callsNamed("glGenTextures").size(), 1u);
  for (const GLCall& upload : uploads) {
    EXPECT_EQ(upload.args[3], 1);
    EXPECT_EQ(upload.args[4], 1);
    ASSERT_EQ(upload.pixels.size(), 4u);
    EXPECT_EQ(upload.pixels[0] | upload.pixels[1] | upload.pixels[2], 0);
  }
}

TEST_F(DataFolder, EveryReadableDepthArrivesAsPackedBlueGreenRed)
{
  struct Case { int bpp; bool rle; };
  for (Case c : { Case{ 1, false }, Case{ 4, false }, Case{ 8, false }, Case{ 16, false }, Case{ 24, false }, Case{ 32, false } }) {
    SCOPED_TRACE(c.bpp);
    // two colours fit even a 1-bit palette
    TestImage image = makeImage(4, 4, [](int x, int y) { return (x + y) % 2 ? Rgb{ 248, 120, 16 } : Rgb{ 8, 200, 248 }; });
    writeFile("data/logo.bmp", bmpBytes(image, c.bpp, c.rle));
    SDL_Surface* s = loadImage("data/logo.bmp", GLRECORD_MAX_TEXTURE_SIZE);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, 4);
    EXPECT_EQ(s->h, 4);
    EXPECT_EQ(s->format->BytesPerPixel, 3);
    EXPECT_EQ(s->pitch % 4, 0);
    expectColour(texel(s, 0, 0), { 8, 200, 248 });
    expectColour(texel(s, 1, 0), { 248, 120, 16 });
    expectColour(texel(s, 3, 2), { 248, 120, 16 });
    SDL_FreeSurface(s);
  }
}

TEST_F(DataFolder, ConvertedImagesKeepEveryColourInItsPlace)
{
  for (int bpp : { 4, 8, 16, 32 }) {
    SCOPED_TRACE(bpp);
    writeFile("data/bg.bmp", bmpBytes(makeImage(4, 4, quadrants), bpp));
    SDL_Surface* s = loadImage("data/bg.bmp", GLRECORD_MAX_TEXTURE_SIZE);
    ASSERT_NE(s, nullptr);
    expectColour(texel(s, 0, 0), { 248, 0, 0 });
    expectColour(texel(s, 3, 0), { 0, 248, 0 });
    expectColour(texel(s, 0, 3), { 0, 0, 248 });
    expectColour(texel(s, 3, 3), { 248, 248, 248 });
    SDL_FreeSurface(s);
  }
}

// Whether the file's image came back as the 1x1 black placeholder.
static bool loadsAsPlaceholder(const char* path)
{
  SDL_Surface* s = loadImage(path, GLRECORD_MAX_TEXTURE_SIZE);
  if (!s)
    return false;
  bool placeholder = s->w == 1 && s->h == 1 && texel(s, 0, 0).r == 0 && texel(s, 0, 0).g == 0 && texel(s, 0, 0).b == 0;
  SDL_FreeSurface(s);
  return placeholder;
}

TEST_F(DataFolder, UnreadableFilesBecomePlaceholders)
{
  std::vector<uint8_t> good = bmpBytes(makeImage(4, 4, quadrants), 24);

  writeFile("data/empty.bmp", {});
  EXPECT_TRUE(loadsAsPlaceholder("data/empty.bmp"));

  writeFile("data/header.bmp", std::vector<uint8_t>(good.begin(), good.begin() + 20));
  EXPECT_TRUE(loadsAsPlaceholder("data/header.bmp"));

  writeFile("data/rows.bmp", std::vector<uint8_t>(good.begin(), good.begin() + 70));
  EXPECT_TRUE(loadsAsPlaceholder("data/rows.bmp"));

  std::vector<uint8_t> huge = good;
  huge[18] = 0xFF; huge[19] = 0xFF; huge[20] = 0xFF; huge[21] = 0x00;   // 16 million wide
  writeFile("data/huge.bmp", huge);
  EXPECT_TRUE(loadsAsPlaceholder("data/huge.bmp"));

  std::vector<uint8_t> notBmp(good.size(), 0x5A);
  writeFile("data/noise.bmp", notBmp);
  EXPECT_TRUE(loadsAsPlaceholder("data/noise.bmp"));

  mkdir("data/folder.bmp", 0755);
  EXPECT_TRUE(loadsAsPlaceholder("data/folder.bmp"));

  EXPECT_TRUE(loadsAsPlaceholder("data/missing.bmp"));

  // run-length encoded images are not decoded by SDL 1.2
  TestImage two = makeImage(4, 4, [](int x, int) { return x < 2 ? Rgb{ 255, 0, 0 } : Rgb{ 0, 0, 255 }; });
  writeFile("data/rle.bmp", bmpBytes(two, 8, true));
  EXPECT_TRUE(loadsAsPlaceholder("data/rle.bmp"));
}

TEST_F(DataFolder, ImagesOfAnySideUpToTheLimitAreKept)
{
  writeFile("data/odd.bmp", bmpBytes(makeImage(3, 5, quadrants), 24));
  SDL_Surface* s = loadImage("data/odd.bmp", GLRECORD_MAX_TEXTURE_SIZE);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->w, 3);
  EXPECT_EQ(s->h, 5);
  EXPECT_EQ(s->pitch, 12);    // nine bytes padded to four
  SDL_FreeSurface(s);
}
