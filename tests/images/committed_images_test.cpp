// committed_images_test.cpp -- the five pictures in data/ are BMPs the intro can load, and look like what they are
#include "bmp_read.h"

#include <gtest/gtest.h>

struct Expected { const char* file; int width, height; };

// the sizes each picture is designed for: atlas cells of 64 pixels, the logo
// quad's 4 to 1, the sprite square
static const Expected pictures[] = {
  { "logo.bmp",   512, 128 },
  { "bounce.bmp", 128, 128 },
  { "spark.bmp",  64,  16  },
  { "font.bmp",   512, 512 },
  { "bg.bmp",     512, 512 },
};

static bool powerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

TEST(CommittedImages, Uncompressed24BitWithPowerOfTwoSides)
{
  for (const Expected& e : pictures) {
    BmpFile f;
    ASSERT_TRUE(readBmp(dataPath(e.file), &f)) << e.file;
    const uint32_t row = (uint32_t)(f.width * 3 + 3) / 4 * 4;
    EXPECT_EQ(f.infoSize, 40u) << e.file;
    EXPECT_EQ(f.bits, 24) << e.file;
    EXPECT_EQ(f.compression, 0u) << e.file;
    EXPECT_EQ(f.planes, 1) << e.file;
    EXPECT_EQ(f.width, e.width) << e.file;
    EXPECT_EQ(f.height, e.height) << e.file;
    EXPECT_TRUE(powerOfTwo(f.width) && powerOfTwo(f.height)) << e.file;
    EXPECT_EQ(f.pixelOffset, 54u) << e.file;
    EXPECT_EQ(f.fileSize, f.bytes.size()) << e.file;
    EXPECT_EQ(f.bytes.size(), 54 + row * f.height) << e.file;
  }
}

TEST(CommittedImages, TogetherWellUnderTwoMegabytes)
{
  size_t total = 0;
  for (const Expected& e : pictures)
    total += readWholeFile(dataPath(e.file)).size();
  EXPECT_LT(total, 1900000u);   // the soundtrack needs the rest of data/'s 4 MiB
}

// Every layer adds light, so a picture's border must be black or the quad's edge shows.
TEST(CommittedImages, LogoAndSpriteHaveBlackBorders)
{
  for (const char* file : { "logo.bmp", "bounce.bmp" }) {
    BmpFile f;
    ASSERT_TRUE(readBmp(dataPath(file), &f)) << file;
    for (int x = 0; x < f.width; x++)
      for (int y : { 0, 1, f.height - 2, f.height - 1 })
        ASSERT_EQ(brightest(bmpPixel(f, x, y)), 0) << file << " at " << x << "," << y;
    for (int y = 0; y < f.height; y++)
      for (int x : { 0, 1, f.width - 2, f.width - 1 })
        ASSERT_EQ(brightest(bmpPixel(f, x, y)), 0) << file << " at " << x << "," << y;
  }
}

static int brightPixels(const BmpFile& f, int x0, int y0, int x1, int y1, int level)
{
  int n = 0;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++)
      n += brightest(bmpPixel(f, x, y)) >= level;
  return n;
}

TEST(CommittedImages, LogoLightsAllTenLetterColumns)
{
  // "NEON FJORD" spans most of the width: every tenth of the middle 80 % has bright tube pixels
  BmpFile f;
  ASSERT_TRUE(readBmp(dataPath("logo.bmp"), &f));
  for (int i = 0; i < 8; i++) {
    const int x0 = 52 + i * 51;
    EXPECT_GT(brightPixels(f, x0, 10, x0 + 51, 95, 200), 40) << "columns " << x0 << "..";
  }
}

TEST(CommittedImages, SpriteIsABrightBallOnBlack)
{
  BmpFile f;
  ASSERT_TRUE(readBmp(dataPath("bounce.bmp"), &f));
  EXPECT_GT(brightPixels(f, 32, 32, 96, 96, 120), 64 * 64 / 2);     // the middle is mostly lit
  EXPECT_EQ(brightPixels(f, 0, 0, 12, 12, 1), 0);                   // the corners are black
  EXPECT_EQ(brightPixels(f, 116, 116, 128, 128, 1), 0);
}

TEST(CommittedImages, SparkLightLiesInTheShownTopLeftHalf)
{
  BmpFile f;
  ASSERT_TRUE(readBmp(dataPath("spark.bmp"), &f));
  long shown = 0, hidden = 0;
  for (int y = 0; y < f.height; y++)
    for (int x = 0; x < f.width; x++) {
      const Rgb8 p = bmpPixel(f, x, y);
      const double s = (x + 0.5) / f.width, t = (y + 0.5) / f.height;
      (s + t <= 1 ? shown : hidden) += p.r + p.g + p.b;
    }
  EXPECT_GT(shown, 20 * hidden);
  // the head is the top-left corner, and it is white-hot
  const Rgb8 head = bmpPixel(f, 0, 0);
  EXPECT_GE(head.r, 240);
  EXPECT_GE(head.g, 240);
  EXPECT_GE(head.b, 240);
  EXPECT_GT(brightest(bmpPixel(f, 16, 0)), brightest(bmpPixel(f, 48, 0)));   // fading along the top edge
}

TEST(CommittedImages, BannerIsBrightEnoughToShowAtATenth)
{
  // drawn at 10 % over the clear colour: only bright pixels add enough to see
  BmpFile f;
  ASSERT_TRUE(readBmp(dataPath("bg.bmp"), &f));
  const int all = f.width * f.height;
  EXPECT_GT(brightPixels(f, 0, 0, f.width, f.height, 200), all / 8);
  EXPECT_LT(brightPixels(f, 0, 0, f.width, f.height, 200), all * 3 / 4);   // and high contrast, not a wash
  // light in both halves: the upper and lower quads of the banner each show one
  EXPECT_GT(brightPixels(f, 0, 0, f.width, f.height / 2, 200), all / 32);
  EXPECT_GT(brightPixels(f, 0, f.height / 2, f.width, f.height, 200), all / 32);
}
