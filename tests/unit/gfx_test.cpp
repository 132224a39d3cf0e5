// gfx_test.cpp -- fixed GL state, projection, and the five textures from image files of every kind
#include "gfx/gfx.h"
#include "glrecord.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using Bytes = std::string;

// The seed images of the image fuzzer: a 4x2 picture stored at every depth and layout.
static Bytes corpus(const char* name)
{
  std::ifstream in(std::string(CORPUS_DIR "/") + name, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The 4x2 picture, top row first, as r, g, b.
static const unsigned char PICTURE[2][4][3] = {
  { { 0xF8, 0x08, 0x40 }, { 0x08, 0xC0, 0x40 }, { 0x40, 0x08, 0xF8 }, { 0xF8, 0xF8, 0x08 } },
  { { 0x80, 0x40, 0xC0 }, { 0x08, 0x80, 0x80 }, { 0xC0, 0xC0, 0xC0 }, { 0x00, 0x00, 0x00 } },
};

// A 24-bit BMP whose texel (x, y) is (x, y, 0xF0) in the low bytes of x and y.
static Bytes bmp24(int width, int height)
{
  const int pitch = (width * 3 + 3) & ~3;
  Bytes b(54 + pitch * height, '\0');
  auto put32 = [&](int at, long v) { for (int i = 0; i < 4; i++) b[at + i] = (char)(v >> 8 * i); };
  b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = 24;
  put32(2, (long)b.size()), put32(10, 54), put32(14, 40), put32(18, width), put32(22, height);
  for (int y = 0; y < height; y++)   // bottom-up
    for (int x = 0; x < width; x++) {
      char* p = &b[54 + (height - 1 - y) * pitch + x * 3];
      p[0] = (char)0xF0, p[1] = (char)y, p[2] = (char)x;
    }
  return b;
}

static void expectTexel(const SDL_Surface* s, int x, int y, int r, int g, int b)
{
  const unsigned char* p = (const unsigned char*)s->pixels + y * s->pitch + x * 3;
  EXPECT_EQ(p[2], r) << x << "," << y;
  EXPECT_EQ(p[1], g) << x << "," << y;
  EXPECT_EQ(p[0], b) << x << "," << y;
}

static SDL_Surface* load(const Bytes& file, int maxSide = GLRECORD_MAX_TEXTURE_SIZE)
{
  return loadImageFromMemory(file.data(), (int)file.size(), maxSide);
}

// A scratch working directory with an empty data/ folder, left again afterwards.
class DataFolder : public ::testing::Test {
protected:
  void SetUp() override
  {
    char pattern[] = "/tmp/intro-gfx-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    ASSERT_EQ(chdir(dir.c_str()), 0);
    mkdir("data", 0755);
    glrecordEnable(true);
    glrecordReset();
  }
  void TearDown() override { ASSERT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0); }
  std::string dir;
};

TEST_F(DataFolder, InitGLLoadsTexturesThenSetsTheFixedStateInOrder)
{
  EXPECT_EQ(initGL(), 1);
  EXPECT_EQ(callSequence().find("glGenTextures"), 0u);
  struct Expected { const char* name; std::vector<double> args; };
  const Expected expected[] = {
    { "glEnable", { 0x0DE1 } },           { "glShadeModel", { 0x1D00 } },
    { "glEnable", { 0x0BE2 } },           { "glClearColor", { 0.1f, 0.5f, 0.7f, 1.0f } },
    { "glClearDepth", { 1.0 } },          { "glEnable", { 0x0B71 } },
    { "glDepthFunc", { 0x0203 } },        { "glHint", { 0x0C50, 0x1102 } },
  };
  const GLCall* state = &glCalls[glCalls.size() - 8];
  for (int i = 0; i < 8; i++) {
    EXPECT_STREQ(state[i].name, expected[i].name);
    EXPECT_EQ(state[i].args, expected[i].args) << expected[i].name;
  }
}

TEST(Projection, FourThirdsForTheMenuSizesAndZeroHeightProjectedAsOne)
{
  glrecordEnable(true);
  glrecordReset();
  EXPECT_EQ(resizeWindow(640, 480), 1);
  EXPECT_EQ(callSequence(), "glViewport glMatrixMode glLoadIdentity gluPerspective glMatrixMode glLoadIdentity");
  EXPECT_EQ(glCalls[0].args, (std::vector<double>{ 0, 0, 640, 480 }));
  EXPECT_EQ(glCalls[1].args[0], 0x1701);
  EXPECT_EQ(glCalls[3].args, (std::vector<double>{ 30.0, 1.3333334f, 0.1f, 100.0 }));
  EXPECT_EQ(glCalls[4].args[0], 0x1700);
  glrecordReset();
  resizeWindow(800, 0);
  EXPECT_EQ(glCalls[0].args, (std::vector<double>{ 0, 0, 800, 1 }));
  EXPECT_EQ(glCalls[3].args[1], 800.0);
}

TEST_F(DataFolder, FiveFilesBecomeFiveTexturesInSlotOrderAtTheirOwnSizes)
{
  // each file at a size of its own, so a slot that reads another's file shows
  struct File { const char* path; int width, height; };
  const File files[] = { { "data/logo.bmp", 8, 2 }, { "data/bounce.bmp", 4, 4 }, { "data/spark.bmp", 2, 1 },
                         { "data/font.bmp", 16, 16 }, { "data/bg.bmp", 256, 64 } };
  for (const File& f : files)
    std::ofstream(f.path, std::ios::binary) << bmp24(f.width, f.height);
  EXPECT_EQ(LoadGLTextures(), 1);
  EXPECT_EQ(glCalls[0].args[0], 5);
  ASSERT_EQ(glCalls.size(), 21u);
  for (int slot = 0; slot < 5; slot++) {
    SCOPED_TRACE(files[slot].path);
    const GLCall* c = &glCalls[1 + slot * 4];
    EXPECT_EQ(c[0].args, (std::vector<double>{ 0x0DE1, (double)slot + 1 }));
    EXPECT_EQ(c[1].args, (std::vector<double>{ 0x0DE1, 0, 3, (double)files[slot].width, (double)files[slot].height, 0,
                                               0x80E0, 0x1401 }));
    EXPECT_EQ(c[2].args, (std::vector<double>{ 0x0DE1, 0x2801, 0x2601 }));
    EXPECT_EQ(c[3].args, (std::vector<double>{ 0x0DE1, 0x2800, 0x2601 }));
    // the top row comes first, blue-green-red: texel (1, 0) is (1, 0, 0xF0)
    EXPECT_EQ(Bytes(c[1].pixels.begin() + 3, c[1].pixels.begin() + 6), Bytes("\xF0\x00\x01", 3));
  }
}

TEST(ImageFiles, EveryReadableDepthShowsItsColoursTopRowFirst)
{
  for (const char* name : { "depth4.bmp", "depth8.bmp", "depth16.bmp", "depth16_565.bmp", "depth24.bmp",
                            "depth32.bmp", "depth32_masks.bmp", "os2_core8.bmp", "os2_core24.bmp",
                            "topdown24.bmp" }) {
    SCOPED_TRACE(name);
    SDL_Surface* s = load(corpus(name));
    ASSERT_EQ(s->w, 4);
    ASSERT_EQ(s->h, 2);
    EXPECT_EQ(s->format->BytesPerPixel, 3);
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 4; x++)
        expectTexel(s, x, y, PICTURE[y][x][0], PICTURE[y][x][1], PICTURE[y][x][2]);
    SDL_FreeSurface(s);
  }
}

TEST_F(DataFolder, BrokenFilesGiveABlackPlaceholder)
{
  Bytes pastPalette = corpus("depth8.bmp");
  pastPalette[86] = 0x7F;  // a texel of colour 127 in a palette of eight
  struct Case { const char* name; Bytes file; };
  const Case cases[] = {
    { "header cut short", corpus("depth24.bmp").substr(0, 20) },
    { "rows cut short", corpus("depth24.bmp").substr(0, 60) },
    { "texel past the palette", pastPalette },
    { "forged bit count", corpus("fuzz-core-bitcount.bmp") },
    { "8 bits without a palette", corpus("fuzz-core8-no-palette.bmp") },
    { "run-length encoded", corpus("rle8.bmp") },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SDL_Surface* s = load(c.file);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w * s->h, 1);
    expectTexel(s, 0, 0, 0, 0, 0);
    SDL_FreeSurface(s);
  }
  mkdir("data/folder.bmp", 0755);
  for (const char* path : { "data/folder.bmp", "data/missing.bmp" }) {
    SDL_Surface* s = loadImage(path, GLRECORD_MAX_TEXTURE_SIZE);
    EXPECT_EQ(s->w * s->h, 1) << path;
    SDL_FreeSurface(s);
  }
}

// Pictures load at their own size up to what GL takes (SDL itself decodes no
// row wider than 16383 pixels), rows padded to GL's four-byte alignment.
TEST(ImageSize, PicturesLoadAtTheirOwnSizeUpToTheGLLimit)
{
  struct Case { int width, height, maxSide; bool loads; };
  const Case cases[] = {
    { 3, 5, 16384, true }, { 8192, 2, 16384, true }, { 8192, 2, 4096, false }, { 16383, 1, 65535, true },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << ", limit " << c.maxSide);
    SDL_Surface* s = load(bmp24(c.width, c.height), c.maxSide);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->w, c.loads ? c.width : 1);
    EXPECT_EQ(s->h, c.loads ? c.height : 1);
    EXPECT_EQ(s->pitch, (s->w * 3 + 3) & ~3);
    if (c.loads)
      expectTexel(s, c.width - 1, c.height - 1, (c.width - 1) & 0xFF, c.height - 1, 0xF0);
    SDL_FreeSurface(s);
  }
}
