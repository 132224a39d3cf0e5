// bmpforge.h -- builds small BMP files of every layout the image loader may meet, in memory
//
// The good ones all hold the same 4 x 2 picture, so a test can check that a
// texel comes out in its real colour whatever the depth it was stored at.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bmpforge {

using Bytes = std::vector<unsigned char>;

struct Rgb { unsigned char r, g, b; };

constexpr int PICTURE_W = 4;
constexpr int PICTURE_H = 2;

// Every channel a multiple of 8, so 5-bit and 6-bit channels hold it exactly.
constexpr Rgb PALETTE[8] = {
  { 0x00, 0x00, 0x00 },
  { 0xF8, 0x08, 0x40 },
  { 0x08, 0xC0, 0x40 },
  { 0x40, 0x08, 0xF8 },
  { 0xF8, 0xF8, 0x08 },
  { 0x80, 0x40, 0xC0 },
  { 0x08, 0x80, 0x80 },
  { 0xC0, 0xC0, 0xC0 },
};

// Palette index of each texel, top row as viewed first.
constexpr int PICTURE[PICTURE_H][PICTURE_W] = {
  { 1, 2, 3, 4 },
  { 5, 6, 7, 0 },
};

// A 1-bit image can only tell two colours: it shows index & 1.
inline int indexAt(int bpp, int x, int y) { return bpp == 1 ? PICTURE[y][x] & 1 : PICTURE[y][x]; }

inline void put16(Bytes& b, unsigned v) { b.push_back(v & 0xFF); b.push_back(v >> 8 & 0xFF); }
inline void put32(Bytes& b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }

enum Compression { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };

struct Layout {
  int bpp = 24;
  Compression compression = BI_RGB;
  bool core = false;          // 12-byte OS/2 header, 3-byte palette entries
  bool topDown = false;       // negative height: first stored row is the top
  bool rgb565 = false;        // 16 bits with BI_BITFIELDS masks 5-6-5
};

inline int paletteSize(int bpp) { return bpp <= 8 ? (bpp == 1 ? 2 : 8) : 0; }

// One stored row of the picture (y counted from the top as viewed), padded to 4 bytes.
inline Bytes pictureRow(const Layout& l, int y)
{
  Bytes row;
  if (l.bpp == 1) {
    unsigned char bits = 0;
    for (int x = 0; x < PICTURE_W; x++)
      bits |= indexAt(1, x, y) << (7 - x);
    row.push_back(bits);
  } else if (l.bpp == 4) {
    for (int x = 0; x < PICTURE_W; x += 2)
      row.push_back(indexAt(4, x, y) << 4 | indexAt(4, x + 1, y));
  } else if (l.bpp == 8) {
    for (int x = 0; x < PICTURE_W; x++)
      row.push_back(indexAt(8, x, y));
  } else {
    for (int x = 0; x < PICTURE_W; x++) {
      Rgb c = PALETTE[PICTURE[y][x]];
      if (l.bpp == 16 && l.rgb565)
        put16(row, (c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
      else if (l.bpp == 16)
        put16(row, (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3);
      else if (l.bpp == 24)
        row.insert(row.end(), { c.b, c.g, c.r });
      else
        row.insert(row.end(), { c.b, c.g, c.r, 0 });
    }
  }
  while (row.size() % 4)
    row.push_back(0);
  return row;
}

// RLE8: one run of one texel per pixel, end of line after each row, end of bitmap.
inline Bytes rle8Pixels()
{
  Bytes out;
  for (int stored = 0; stored < PICTURE_H; stored++) {
    int y = PICTURE_H - 1 - stored;
    for (int x = 0; x < PICTURE_W; x++)
      out.insert(out.end(), { 1, (unsigned char)PICTURE[y][x] });
    out.insert(out.end(), { 0, 0 });
  }
  out.insert(out.end(), { 0, 1 });
  return out;
}

// A BMP of the test picture in the given layout.
inline Bytes picture(const Layout& l)
{
  Bytes pixels;
  if (l.compression == BI_RLE8) {
    pixels = rle8Pixels();
  } else {
    for (int stored = 0; stored < PICTURE_H; stored++) {
      int y = l.topDown ? stored : PICTURE_H - 1 - stored;
      Bytes row = pictureRow(l, y);
      pixels.insert(pixels.end(), row.begin(), row.end());
    }
  }

  const int colours   = paletteSize(l.bpp);
  const int entry     = l.core ? 3 : 4;
  const int infoSize  = l.core ? 12 : 40;
  const int masks     = l.compression == BI_BITFIELDS ? 12 : 0;
  const uint32_t offset = 14 + infoSize + masks + colours * entry;

  Bytes b = { 'B', 'M' };
  put32(b, offset + pixels.size());
  put32(b, 0);
  put32(b, offset);
  put32(b, infoSize);
  if (l.core) {
    put16(b, PICTURE_W);
    put16(b, PICTURE_H);
    put16(b, 1);
    put16(b, l.bpp);
  } else {
    put32(b, PICTURE_W);
    put32(b, l.topDown ? (uint32_t)-PICTURE_H : PICTURE_H);
    put16(b, 1);
    put16(b, l.bpp);
    put32(b, l.compression);
    put32(b, pixels.size());
    put32(b, 2835);
    put32(b, 2835);
    put32(b, colours);
    put32(b, 0);
  }
  if (masks) {
    const bool wide = l.bpp == 32;
    put32(b, wide ? 0xFF0000 : l.rgb565 ? 0xF800 : 0x7C00);
    put32(b, wide ? 0x00FF00 : l.rgb565 ? 0x07E0 : 0x03E0);
    put32(b, wide ? 0x0000FF : 0x001F);
  }
  for (int i = 0; i < colours; i++) {
    Rgb c = PALETTE[i];
    b.insert(b.end(), { c.b, c.g, c.r });
    if (!l.core)
      b.push_back(0);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

inline Bytes depth(int bpp) { Layout l; l.bpp = bpp; return picture(l); }

// A 24-bit image of any size, filled with one colour.
inline Bytes plain24(int width, int height, Rgb c)
{
  Bytes row;
  for (int x = 0; x < width; x++)
    row.insert(row.end(), { c.b, c.g, c.r });
  while (row.size() % 4)
    row.push_back(0);
  Bytes b = { 'B', 'M' };
  put32(b, 54 + row.size() * height);
  put32(b, 0);
  put32(b, 54);
  put32(b, 40);
  put32(b, width);
  put32(b, height);
  put16(b, 1);
  put16(b, 24);
  put32(b, 0);
  put32(b, row.size() * height);
  put32(b, 2835);
  put32(b, 2835);
  put32(b, 0);
  put32(b, 0);
  for (int y = 0; y < height; y++)
    b.insert(b.end(), row.begin(), row.end());
  return b;
}

// A header that claims the given size over a handful of pixel bytes.
inline Bytes claimedSize(uint32_t width, uint32_t height)
{
  Bytes b = plain24(2, 2, { 0xFF, 0xFF, 0xFF });
  b[18] = width & 0xFF;  b[19] = width >> 8 & 0xFF;  b[20] = width >> 16 & 0xFF;  b[21] = width >> 24;
  b[22] = height & 0xFF; b[23] = height >> 8 & 0xFF; b[24] = height >> 16 & 0xFF; b[25] = height >> 24;
  return b;
}

// Bytes from a fixed-seed generator, never starting with "BM".
inline Bytes noise(std::size_t size, uint32_t seed)
{
  Bytes b(size);
  for (auto& c : b) {
    seed = seed * 1664525u + 1013904223u;
    c = seed >> 24;
  }
  if (size > 0 && b[0] == 'B')
    b[0] = 'b';
  return b;
}

inline bool writeFile(const std::string& path, const Bytes& bytes)
{
  FILE* f = fopen(path.c_str(), "wb");
  if (!f)
    return false;
  bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace bmpforge
