// image_hardening_test.cpp -- the image loader against every depth, broken files and the fuzz corpus
#include "bmpforge.h"
#include "gfx/gfx.h"
#include "glrecord.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace bmpforge;

namespace {

// A private folder for the files of one test, removed afterwards.
class ImageFiles : public ::testing::Test {
protected:
  std::string dir;
  std::vector<std::string> made;

  void SetUp() override
  {
    char tmpl[] = "/tmp/intro-images-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
  }
  void TearDown() override
  {
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      remove(it->c_str());
    rmdir(dir.c_str());
  }
  std::string file(const char* name, const Bytes& bytes)
  {
    std::string path = dir + "/" + name;
    EXPECT_TRUE(writeFile(path, bytes));
    made.push_back(path);
    return path;
  }
};

struct Texel { int b, g, r; };

Texel texelAt(const SDL_Surface* image, int x, int y)
{
  const unsigned char* p = (const unsigned char*)image->pixels + y * image->pitch + x * 3;
  return { p[0], p[1], p[2] };
}

void expectPackedBGR(const SDL_Surface* image)
{
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->format->BytesPerPixel, 3);
  EXPECT_EQ(image->format->Rmask, 0xFF0000u);
  EXPECT_EQ(image->format->Gmask, 0x00FF00u);
  EXPECT_EQ(image->format->Bmask, 0x0000FFu);
  EXPECT_GE(image->pitch, (image->w * 3 + 3) & ~3);
}

void expectBlackPlaceholder(SDL_Surface* image)
{
  expectPackedBGR(image);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->w, 1);
  EXPECT_EQ(image->h, 1);
  Texel t = texelAt(image, 0, 0);
  EXPECT_EQ(t.b, 0);
  EXPECT_EQ(t.g, 0);
  EXPECT_EQ(t.r, 0);
}

}  // namespace

// Every readable depth comes out as three bytes per texel in its real colours,
// top row first. The colours are written out: index 1 is F8 08 40 (r g b), and so on.
TEST_F(ImageFiles, LoadImage_EveryReadableDepthShowsItsRealColours)
{
  struct Case { const char* name; Layout layout; };
  Layout d1;   d1.bpp = 1;
  Layout d4;   d4.bpp = 4;
  Layout d8;   d8.bpp = 8;
  Layout d16;  d16.bpp = 16;
  Layout d565; d565.bpp = 16; d565.compression = BI_BITFIELDS; d565.rgb565 = true;
  Layout d24;  d24.bpp = 24;
  Layout d32;  d32.bpp = 32;
  Layout m32;  m32.bpp = 32; m32.compression = BI_BITFIELDS;
  Layout c8;   c8.bpp = 8; c8.core = true;
  Layout c24;  c24.core = true;
  Layout top;  top.topDown = true;
  const Case cases[] = {
    { "d4.bmp", d4 }, { "d8.bmp", d8 }, { "d16.bmp", d16 }, { "d565.bmp", d565 }, { "d24.bmp", d24 },
    { "d32.bmp", d32 }, { "m32.bmp", m32 }, { "c8.bmp", c8 }, { "c24.bmp", c24 }, { "top.bmp", top },
  };
  // r, g, b of the picture, top row as viewed first
  const Texel expected[2][4] = {
    { { 0x40, 0x08, 0xF8 }, { 0x40, 0xC0, 0x08 }, { 0xF8, 0x08, 0x40 }, { 0x08, 0xF8, 0xF8 } },
    { { 0xC0, 0x40, 0x80 }, { 0x80, 0x80, 0x08 }, { 0xC0, 0xC0, 0xC0 }, { 0x00, 0x00, 0x00 } },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SDL_Surface* image = loadImage(file(c.name, picture(c.layout)).c_str(), GLRECORD_MAX_TEXTURE_SIZE);
    expectPackedBGR(image);
    ASSERT_EQ(image->w, 4);
    ASSERT_EQ(image->h, 2);
    for (int y = 0; y < 2; y++)
      for (int x = 0; x < 4; x++) {
        SCOPED_TRACE(testing::Message() << "texel " << x << "," << y);
        Texel t = texelAt(image, x, y);
        EXPECT_EQ(t.b, expected[y][x].b);
        EXPECT_EQ(t.g, expected[y][x].g);
        EXPECT_EQ(t.r, expected[y][x].r);
      }
    SDL_FreeSurface(image);
  }
}

// A 1-bit image has two colours: black and palette entry 1, in columns 0 and 2.
TEST_F(ImageFiles, LoadImage_OneBitImageShowsItsTwoColours)
{
  SDL_Surface* image = loadImage(file("d1.bmp", depth(1)).c_str(), GLRECORD_MAX_TEXTURE_SIZE);
  expectPackedBGR(image);
  ASSERT_EQ(image->w, 4);
  ASSERT_EQ(image->h, 2);
  for (int y = 0; y < 2; y++) {
    Texel lit = texelAt(image, 2, y), dark = texelAt(image, 3, y);
    EXPECT_EQ(lit.r, 0xF8);
    EXPECT_EQ(lit.g, 0x08);
    EXPECT_EQ(lit.b, 0x40);
    EXPECT_EQ(dark.r + dark.g + dark.b, 0);
  }
  SDL_FreeSurface(image);
}

// A picture whose sides are not powers of two keeps its size; rows are padded to four bytes.
TEST_F(ImageFiles, LoadImage_NonPowerOfTwoKeepsItsSizeAndColour)
{
  SDL_Surface* image = loadImage(file("npot.bmp", plain24(5, 3, { 0x20, 0x40, 0x60 })).c_str(), GLRECORD_MAX_TEXTURE_SIZE);
  expectPackedBGR(image);
  ASSERT_EQ(image->w, 5);
  ASSERT_EQ(image->h, 3);
  Texel t = texelAt(image, 4, 2);
  EXPECT_EQ(t.r, 0x20);
  EXPECT_EQ(t.g, 0x40);
  EXPECT_EQ(t.b, 0x60);
  SDL_FreeSurface(image);
}

// Files that hold no usable picture all give the 1x1 black placeholder.
TEST_F(ImageFiles, LoadImage_UnusableFilesGiveTheBlackPlaceholder)
{
  struct Case { const char* name; Bytes bytes; };
  Bytes good = depth(24);
  const Case cases[] = {
    { "empty.bmp",           {} },
    { "truncated.bmp",       Bytes(good.begin(), good.begin() + 20) },
    { "header-only.bmp",     Bytes(good.begin(), good.begin() + 54) },
    { "noise.bmp",           noise(3000, 7) },
    { "huge.bmp",            claimedSize(100000, 100000) },
    { "wide.bmp",            claimedSize(4097, 1) },
    { "negative-width.bmp",  claimedSize((uint32_t)-4, 2) },
    { "zero-height.bmp",     claimedSize(4, 0) },
    { "most-negative.bmp",   claimedSize(4, 0x80000000u) },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SDL_Surface* image = loadImage(file(c.name, c.bytes).c_str(), GLRECORD_MAX_TEXTURE_SIZE);
    expectBlackPlaceholder(image);
    SDL_FreeSurface(image);
  }
}

TEST_F(ImageFiles, LoadImage_DirectoryOrMissingFileGivesTheBlackPlaceholder)
{
  std::string sub = dir + "/logo.bmp";
  ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
  made.push_back(sub);

  SDL_Surface* fromDir = loadImage(sub.c_str(), GLRECORD_MAX_TEXTURE_SIZE);
  expectBlackPlaceholder(fromDir);
  SDL_FreeSurface(fromDir);

  SDL_Surface* missing = loadImage((dir + "/nothing.bmp").c_str(), GLRECORD_MAX_TEXTURE_SIZE);
  expectBlackPlaceholder(missing);
  SDL_FreeSurface(missing);
}

// RLE8 is decoded or refused, never handed over half-read: either the real
// picture or the placeholder.
TEST_F(ImageFiles, LoadImage_Rle8IsEitherDecodedOrRefused)
{
  Layout rle; rle.bpp = 8; rle.compression = BI_RLE8;
  SDL_Surface* image = loadImage(file("rle8.bmp", picture(rle)).c_str(), GLRECORD_MAX_TEXTURE_SIZE);
  expectPackedBGR(image);
  if (image->w == 1) {
    expectBlackPlaceholder(image);
  } else {
    ASSERT_EQ(image->w, 4);
    ASSERT_EQ(image->h, 2);
    Texel t = texelAt(image, 0, 0);
    EXPECT_EQ(t.r, 0xF8);
    EXPECT_EQ(t.g, 0x08);
    EXPECT_EQ(t.b, 0x40);
  }
  SDL_FreeSurface(image);
}

// Large pictures load at their own size up to what GL takes (SDL itself decodes
// no row wider than 16383 pixels).
TEST(ImageSize, LargePicturesLoadUpToTheGLLimit)
{
  struct Case { int width, height, bits, maxSide; bool loads; };
  const Case cases[] = {
    { 8192,  2, 24, 16384, true },
    { 8192,  2, 24, 4096,  false },   // wider than this GL takes
    { 16383, 1, 24, 65535, true },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.bits << " bits");
    Bytes file = plain24(c.width, c.height, { 0x10, 0x80, 0xF0 });
    file[28] = (char)c.bits;
    SDL_Surface* image = loadImageFromMemory(file.data(), (int)file.size(), c.maxSide);
    expectPackedBGR(image);
    EXPECT_EQ(image->w, c.loads ? c.width : 1);
    EXPECT_EQ(image->h, c.loads ? c.height : 1);
    if (c.loads) {
      Texel last = texelAt(image, c.width - 1, c.height - 1);
      EXPECT_EQ(last.r, 0x10);
      EXPECT_EQ(last.b, 0xF0);
    }
    SDL_FreeSurface(image);
  }
}

// Every seed and every crash input kept in the corpus: packed, in range, and
// uploaded row for row. Under the sanitizer build this replays the fuzz findings.
TEST(ImageCorpus, EveryCorpusFileLoadsAndUploadsWithinItsSurface)
{
  DIR* dir = opendir(CORPUS_DIR);
  ASSERT_NE(dir, nullptr) << CORPUS_DIR;
  int files = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.')
      continue;
    std::string path = std::string(CORPUS_DIR) + "/" + entry->d_name;
    SCOPED_TRACE(path);
    SDL_Surface* image = loadImage(path.c_str(), GLRECORD_MAX_TEXTURE_SIZE);
    expectPackedBGR(image);
    ASSERT_NE(image, nullptr);
    EXPECT_GE(image->w, 1);
    EXPECT_GE(image->h, 1);
    EXPECT_LE(image->w, GLRECORD_MAX_TEXTURE_SIZE);
    EXPECT_LE(image->h, GLRECORD_MAX_TEXTURE_SIZE);

    glrecordEnable(true);
    glrecordReset();
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image->w, image->h, 0, GL_BGR, GL_UNSIGNED_BYTE, image->pixels);
    ASSERT_EQ(glCalls.size(), 1u);
    EXPECT_EQ(glCalls[0].pixels.size(), (size_t)((image->w * 3 + 3) & ~3) * image->h);
    SDL_FreeSurface(image);
    files++;
  }
  closedir(dir);
  EXPECT_GE(files, 13);
}

//
// inputs the fuzzer found; each also lives in corpus/ under the name given
//

// fuzz-core8-no-palette.bmp: an OS/2 header for an 8-bit image whose pixel data
// starts right behind the header. SDL decodes it to an 8-bit surface without a
// palette, and converting that surface dereferenced a null colour table.
TEST(ImageFuzzFindings, EightBitImageWithoutPaletteGivesThePlaceholder)
{
  const unsigned char input[] = {
    0x42, 0x4d, 0x32, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1a, 0x00,
    0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x04, 0x00, 0x02, 0x00, 0x01, 0x00,
    0x08, 0xc0, 0xc0, 0xc0, 0x00, 0x00, 0x00, 0x40, 0x08, 0xf8, 0x40, 0xc0,
    0x08, 0xf8, 0x08, 0x40, 0x08, 0xf8, 0xf8,
  };
  SDL_Surface* image = loadImageFromMemory(input, sizeof input, GLRECORD_MAX_TEXTURE_SIZE);
  expectBlackPlaceholder(image);
  SDL_FreeSurface(image);
}

// A palette shorter than the indices the texels use: SDL's converter would read
// past the end of its colour table, so the image is refused. Debian's SDL
// already refuses such a file while decoding; the loader's own check covers
// SDL builds that do not.
TEST(ImageFuzzFindings, TexelIndexPastThePaletteGivesThePlaceholder)
{
  Bytes bytes = depth(8);
  bytes[46] = 2;   // biClrUsed: two colours, while the texels use indices up to 7
  SDL_Surface* image = loadImageFromMemory(bytes.data(), (int)bytes.size(), GLRECORD_MAX_TEXTURE_SIZE);
  expectBlackPlaceholder(image);
  SDL_FreeSurface(image);
}

// fuzz-core-bitcount.bmp: an OS/2 header whose bit count reads 19736. SDL built
// a surface from it with an overflowed pixel size and a pitch of 0, and
// converting it read far outside the pixel memory.
TEST(ImageFuzzFindings, ForgedBitCountGivesThePlaceholder)
{
  const unsigned char input[] = {
    0x42, 0x4d, 0x32, 0x00, 0x00, 0x00, 0x1a, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x9e, 0x04, 0x00, 0x05, 0x8e, 0x00,
    0x18, 0x4d, 0x32, 0x00, 0x00, 0x00, 0x1a, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x9e, 0x00,
  };
  SDL_Surface* image = loadImageFromMemory(input, sizeof input, GLRECORD_MAX_TEXTURE_SIZE);
  expectBlackPlaceholder(image);
  SDL_FreeSurface(image);
}

// The same forgery in the 40-byte header: any depth but 1, 4, 8, 16, 24 and 32 is refused.
TEST(ImageFuzzFindings, UnknownBitCountsGiveThePlaceholder)
{
  for (unsigned bits : { 0u, 2u, 7u, 12u, 48u, 64u, 0x4d18u }) {
    SCOPED_TRACE(bits);
    Bytes bytes = depth(24);
    bytes[28] = bits & 0xFF;
    bytes[29] = bits >> 8;
    SDL_Surface* image = loadImageFromMemory(bytes.data(), (int)bytes.size(), GLRECORD_MAX_TEXTURE_SIZE);
    expectBlackPlaceholder(image);
    SDL_FreeSurface(image);
  }
}
