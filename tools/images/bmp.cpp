// bmp.cpp -- writes a canvas as an uncompressed 24-bit BMP, byte by byte, the same on every machine
#include "images.h"

#include <cstdio>

static const int BMP_FILE_HEADER  = 14;
static const int BMP_INFO_HEADER  = 40;   // BITMAPINFOHEADER
static const int BMP_BITS         = 24;
static const int BMP_PIXELS_PER_M = 2835;   // 72 dots per inch, as most painters write it
static const int BMP_HEADER_BYTES = BMP_FILE_HEADER + BMP_INFO_HEADER;
static const int BMP_MAX_BYTES    = BMP_HEADER_BYTES + CANVAS_MAX_SIDE * CANVAS_MAX_SIDE * 3;

static unsigned char bmpBuffer[BMP_MAX_BYTES];   // one picture at a time

static void putLE16(unsigned char* p, unsigned int v)
{
  p[0] = (unsigned char)(v & 0xff);
  p[1] = (unsigned char)(v >> 8 & 0xff);
}

static void putLE32(unsigned char* p, unsigned int v)
{
  putLE16(p, v & 0xffff);
  putLE16(p + 2, v >> 16);
}

// 3 bytes per pixel, rounded up to a multiple of 4
static int bmpRowBytes(int width)
{
  return (width * 3 + 3) / 4 * 4;
}

static void bmpHeader(unsigned char* out, int width, int height, unsigned int pixelBytes)
{
  for (int i = 0; i < BMP_HEADER_BYTES; i++)
    out[i] = 0;
  out[0] = 'B';
  out[1] = 'M';
  putLE32(out + 2, BMP_HEADER_BYTES + pixelBytes);   // file size
  putLE32(out + 10, BMP_HEADER_BYTES);               // offset of the pixels
  unsigned char* info = out + BMP_FILE_HEADER;
  putLE32(info + 0, BMP_INFO_HEADER);
  putLE32(info + 4, (unsigned int)width);
  putLE32(info + 8, (unsigned int)height);   // positive: rows stored bottom-up
  putLE16(info + 12, 1);                     // planes
  putLE16(info + 14, BMP_BITS);
  putLE32(info + 16, 0);   // BI_RGB, no compression
  putLE32(info + 20, pixelBytes);
  putLE32(info + 24, BMP_PIXELS_PER_M);
  putLE32(info + 28, BMP_PIXELS_PER_M);
}

// returns the bytes written, 0 if the picture does not fit in capacity
static size_t bmpEncode(const Canvas* c, unsigned char* out, size_t capacity)
{
  const int    row   = bmpRowBytes(c->width);
  const size_t total = BMP_HEADER_BYTES + (size_t)row * c->height;
  if (total > capacity)
    return 0;
  bmpHeader(out, c->width, c->height, (unsigned int)(row * c->height));

  // the file's first row is the bottom of the picture; each pixel blue, green, red; padding zero
  for (int y = 0; y < c->height; y++) {
    unsigned char* dst = out + BMP_HEADER_BYTES + (size_t)row * (c->height - 1 - y);
    for (int x = 0; x < c->width; x++) {
      const Colour p = c->pixel[y * c->width + x];
      dst[x * 3 + 0] = channelByte(p.b);
      dst[x * 3 + 1] = channelByte(p.g);
      dst[x * 3 + 2] = channelByte(p.r);
    }
    for (int i = c->width * 3; i < row; i++)
      dst[i] = 0;
  }
  return total;
}

int bmpWrite(const Canvas* c, const char* path)
{
  size_t size = bmpEncode(c, bmpBuffer, sizeof bmpBuffer);
  if (size == 0)
    return 0;
  FILE* f = fopen(path, "wb");
  if (!f)
    return 0;
  size_t written = fwrite(bmpBuffer, 1, size, f);
  int    closed  = fclose(f);
  return written == size && closed == 0;
}
