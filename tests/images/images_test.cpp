// images_test.cpp -- the committed pictures: remade by make-images, loadable, a font that suits the scroller
#include "fx/fx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <unistd.h>

static std::vector<unsigned char> readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

static std::string dataPath(const char* file)
{
  return std::string(INTRO_SOURCE_DIR) + "/data/" + file;
}

// A BMP read on its own terms, not with the generator's writer: little-endian header fields,
// then bottom-up rows of blue, green, red padded to four bytes.
struct Bmp {
  std::vector<unsigned char> b;
  uint32_t                   field(size_t at, int bytes) const
  {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0 && at + i < b.size(); i--)
      v = v << 8 | b[at + i];
    return v;
  }
  int width() const { return (int)field(18, 4); }
  int height() const { return (int)field(22, 4); }
  int rowBytes() const { return (width() * 3 + 3) / 4 * 4; }
  // the brightest channel of pixel (x, y), y = 0 the top row as seen
  int light(int x, int y) const
  {
    const unsigned char* p = &b[field(10, 4) + (size_t)rowBytes() * (height() - 1 - y) + x * 3];
    return std::max({ p[0], p[1], p[2] });
  }
  // pixels in [x0, x1) x [y0, y1) at least this bright
  int lit(int x0, int y0, int x1, int y1, int level) const
  {
    int n = 0;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
        n += light(x, y) >= level;
    return n;
  }
};

struct Picture {
  const char* file;
  int         width, height;
  bool        blackBorder;   // drawn as a quad that adds light: a lit edge would show the quad
};

// the sizes the intro is drawn for: the logo quad's 4 to 1, the sprite square, 8x8 atlas cells of 64
// clang-format off
static const Picture pictures[] = {
  { "logo.bmp", 512, 128, true },  { "bounce.bmp", 128, 128, true }, { "spark.bmp", 64, 16, false },
  { "font.bmp", 512, 512, false }, { "bg.bmp",     512, 512, false },
};
// clang-format on

TEST(CommittedImages, MakeImagesRegeneratesThemByteForByte)
{
  char folder[] = "/tmp/make-images-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string command = std::string("'") + MAKE_IMAGES + "' '" + folder + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const Picture& p : pictures) {
    const std::string fresh = std::string(folder) + "/" + p.file;
    EXPECT_TRUE(readFile(fresh) == readFile(dataPath(p.file))) << p.file << " differs: run make-images data";
    unlink(fresh.c_str());
  }
  rmdir(folder);
}

TEST(CommittedImages, Uncompressed24BitOfTheirSizeWithPowerOfTwoSides)
{
  for (const Picture& p : pictures) {
    const Bmp f = { readFile(dataPath(p.file)) };
    // "BM", a 40-byte info header, one plane, 24 bits per pixel, no compression
    const uint32_t fields[][3] = {
      { 0, 2, 'B' | 'M' << 8 }, { 14, 4, 40 }, { 26, 2, 1 }, { 28, 2, 24 }, { 30, 4, 0 }
    };
    for (const auto& [at, bytes, want] : fields)
      EXPECT_EQ(f.field(at, bytes), want) << p.file << ", header byte " << at;
    ASSERT_EQ(f.width(), p.width) << p.file;
    ASSERT_EQ(f.height(), p.height) << p.file;   // positive: rows bottom-up
    EXPECT_TRUE((p.width & (p.width - 1)) == 0 && (p.height & (p.height - 1)) == 0) << p.file;
    ASSERT_EQ(f.b.size(), f.field(10, 4) + f.rowBytes() * p.height) << p.file;
    if (p.blackBorder) {
      EXPECT_EQ(f.lit(0, 0, p.width, p.height, 1), f.lit(2, 2, p.width - 2, p.height - 2, 1)) << p.file;
    }
  }
}

class FontAtlas : public testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(font.width() == 512 && font.height() == 512); }
  // the top-left corner, in atlas pixels, of the cell the scroller draws for c
  static int cellX(unsigned char c) { return (int)(fontCell(c).s * 512 + 0.5f); }
  static int cellY(unsigned char c) { return (int)(fontCell(c).t * 512 + 0.5f); }
  const Bmp  font = { readFile(dataPath("font.bmp")) };
};

TEST_F(FontAtlas, MessageCharactersShowAGlyphOrTheBlackFallbackCell)
{
  const int fx = cellX('\0'), fy = cellY('\0');
  EXPECT_EQ(font.lit(fx, fy, fx + 64, fy + 64, 1), 0) << "the fallback cell";
  for (unsigned char c : std::set<unsigned char>(scrollMessage, scrollMessage + SCROLL_MESSAGE_LENGTH)) {
    if (cellX(c) == fx && cellY(c) == fy)
      continue;   // a blank, or a mark without a glyph: the fallback cell, checked above
    EXPECT_GT(font.lit(cellX(c), cellY(c), cellX(c) + 64, cellY(c) + 64, 200), 60) << "'" << c << "'";
  }
}

TEST_F(FontAtlas, CellsAreBlackWhereTheScrollerFiltersInTheirNeighbours)
{
  // a glyph is drawn from its cell's top 0.12 of 0.125, 61.4 rows, and linear filtering reaches
  // a row further; glyphs sit side by side, so two columns either side stay black too
  for (int y = 0; y < 512; y += 64)
    for (int x = 0; x < 512; x += 64) {
      EXPECT_EQ(font.lit(x, y + 60, x + 64, y + 64, 1), 0) << "bottom of cell " << x << "," << y;
      EXPECT_EQ(font.lit(x, y, x + 2, y + 64, 1) + font.lit(x + 62, y, x + 64, y + 64, 1), 0)
        << "sides of cell " << x << "," << y;
    }
}
