// bmp_read.h -- a reader of our own for the committed pictures, independent of the writer under test
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct BmpFile {
  std::vector<unsigned char> bytes;
  // header fields as stored
  uint32_t fileSize = 0, pixelOffset = 0, infoSize = 0, compression = 0, imageSize = 0;
  int32_t  width = 0, height = 0;
  uint16_t planes = 0, bits = 0;
};

inline uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
inline uint16_t le16(const unsigned char* p) { return (uint16_t)(p[0] | p[1] << 8); }

inline std::vector<unsigned char> readWholeFile(const std::string& path)
{
  std::vector<unsigned char> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f)
    return bytes;
  unsigned char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + got);
  fclose(f);
  return bytes;
}

// false when the file is missing or too short to hold the two headers
inline bool readBmp(const std::string& path, BmpFile* out)
{
  out->bytes = readWholeFile(path);
  const unsigned char* b = out->bytes.data();
  if (out->bytes.size() < 54 || b[0] != 'B' || b[1] != 'M')
    return false;
  out->fileSize    = le32(b + 2);
  out->pixelOffset = le32(b + 10);
  out->infoSize    = le32(b + 14);
  out->width       = (int32_t)le32(b + 18);
  out->height      = (int32_t)le32(b + 22);
  out->planes      = le16(b + 26);
  out->bits        = le16(b + 28);
  out->compression = le32(b + 30);
  out->imageSize   = le32(b + 34);
  return true;
}

struct Rgb8 { int r, g, b; };

// pixel (x, y) with y = 0 the top row of the picture as seen; rows are stored bottom-up
inline Rgb8 bmpPixel(const BmpFile& f, int x, int y)
{
  const int row = (f.width * 3 + 3) / 4 * 4;
  const unsigned char* p = f.bytes.data() + f.pixelOffset + (size_t)row * (f.height - 1 - y) + x * 3;
  return { p[2], p[1], p[0] };
}

inline int brightest(Rgb8 p) { return p.r > p.g ? (p.r > p.b ? p.r : p.b) : (p.g > p.b ? p.g : p.b); }

inline std::string dataPath(const char* file) { return std::string(INTRO_SOURCE_DIR) + "/data/" + file; }
