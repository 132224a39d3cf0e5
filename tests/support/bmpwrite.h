// bmpwrite.h -- writes small BMP files of any depth for the texture tests
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct Rgb { uint8_t r, g, b; };

// An image as the viewer sees it: row 0 on top.
struct TestImage {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;                       // width * height, row by row from the top
  Rgb at(int x, int y) const { return pixels[y * width + x]; }
};

inline TestImage makeImage(int width, int height, Rgb (*colour)(int x, int y))
{
  TestImage image;
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      image.pixels.push_back(colour(x, y));
  return image;
}

namespace bmpdetail {
inline void put16(std::vector<uint8_t>& out, uint32_t v) { out.push_back(v & 0xFF); out.push_back(v >> 8 & 0xFF); }
inline void put32(std::vector<uint8_t>& out, uint32_t v) { put16(out, v & 0xFFFF); put16(out, v >> 16); }
}

// Bytes of a BMP with a 40-byte info header. Depths 1, 4 and 8 use a palette of
// the image's distinct colours (at most 2, 16 or 256); 16 is 5-5-5; 24 and 32 are
// plain. rle8 writes an 8-bit image with RLE8 compression.
inline std::vector<uint8_t> bmpBytes(const TestImage& image, int bpp, bool rle8 = false)
{
  using namespace bmpdetail;
  std::vector<Rgb> palette;
  auto indexOf = [&](Rgb c) {
    for (size_t i = 0; i < palette.size(); i++)
      if (palette[i].r == c.r && palette[i].g == c.g && palette[i].b == c.b)
        return (int)i;
    palette.push_back(c);
    return (int)palette.size() - 1;
  };
  const bool indexed = bpp <= 8;
  std::vector<int> indices;
  if (indexed)
    for (const Rgb& c : image.pixels)
      indices.push_back(indexOf(c));
  const int paletteSize = indexed ? 1 << bpp : 0;

  std::vector<uint8_t> rows;
  const int rowBytes = (image.width * bpp + 31) / 32 * 4;
  for (int y = image.height - 1; y >= 0; y--) {     // bottom-up
    if (rle8) {
      for (int x = 0; x < image.width; x++) {
        rows.push_back(1);
        rows.push_back((uint8_t)indices[y * image.width + x]);
      }
      rows.push_back(0);
      rows.push_back(y == 0 ? 1 : 0);                 // end of line, end of bitmap
      continue;
    }
    std::vector<uint8_t> row(rowBytes, 0);
    for (int x = 0; x < image.width; x++) {
      const Rgb c = image.at(x, y);
      switch (bpp) {
      case 1: case 4: case 8: {
        int bit = x * bpp;
        int value = indices[y * image.width + x];
        row[bit / 8] |= (uint8_t)(value << (8 - bpp - bit % 8));
        break;
      }
      case 16: {
        uint16_t v = (uint16_t)((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3));
        row[x * 2] = v & 0xFF;
        row[x * 2 + 1] = v >> 8;
        break;
      }
      default: {
        int at = x * bpp / 8;
        row[at] = c.b;
        row[at + 1] = c.g;
        row[at + 2] = c.r;
        break;
      }
      }
    }
    rows.insert(rows.end(), row.begin(), row.end());
  }

  std::vector<uint8_t> out;
  const uint32_t offset = 14 + 40 + paletteSize * 4;
  out.push_back('B');
  out.push_back('M');
  put32(out, offset + (uint32_t)rows.size());
  put32(out, 0);
  put32(out, offset);
  put32(out, 40);
  put32(out, (uint32_t)image.width);
  put32(out, (uint32_t)image.height);
  put16(out, 1);
  put16(out, (uint16_t)bpp);
  put32(out, rle8 ? 1 : 0);
  put32(out, (uint32_t)rows.size());
  put32(out, 2835);
  put32(out, 2835);
  put32(out, (uint32_t)paletteSize);
  put32(out, 0);
  for (int i = 0; i < paletteSize; i++) {
    Rgb c = i < (int)palette.size() ? palette[i] : Rgb{ 0, 0, 0 };
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
  FILE* f = fopen(path.c_str(), "wb");
  if (!f)
    return;
  if (!bytes.empty())
    fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}
