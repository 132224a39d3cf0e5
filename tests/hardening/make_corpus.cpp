// make_corpus.cpp -- writes the fuzz target's seed images: one small BMP of every layout
//   make_corpus DIR
#include "bmpforge.h"

#include <cstdio>

int main(int argc, char** argv)
{
  if (argc != 2) {
    fprintf(stderr, "usage: make_corpus DIR\n");
    return 2;
  }
  using namespace bmpforge;
  const std::string dir = argv[1];

  struct Seed { const char* name; Bytes bytes; };
  Layout rle8;     rle8.bpp = 8;  rle8.compression = BI_RLE8;
  Layout core8;    core8.bpp = 8; core8.core = true;
  Layout core24;   core24.core = true;
  Layout topDown;  topDown.topDown = true;
  Layout rgb565;   rgb565.bpp = 16; rgb565.compression = BI_BITFIELDS; rgb565.rgb565 = true;
  Layout bits32;   bits32.bpp = 32; bits32.compression = BI_BITFIELDS;

  const Seed seeds[] = {
    { "depth1.bmp",        depth(1) },
    { "depth4.bmp",        depth(4) },
    { "depth8.bmp",        depth(8) },
    { "depth16.bmp",       depth(16) },
    { "depth16_565.bmp",   picture(rgb565) },
    { "depth24.bmp",       depth(24) },
    { "depth32.bmp",       depth(32) },
    { "depth32_masks.bmp", picture(bits32) },
    { "rle8.bmp",          picture(rle8) },
    { "os2_core8.bmp",     picture(core8) },
    { "os2_core24.bmp",    picture(core24) },
    { "topdown24.bmp",     picture(topDown) },
    { "npot24.bmp",        plain24(5, 3, { 0x20, 0x40, 0x60 }) },
  };
  for (const Seed& seed : seeds) {
    if (!writeFile(dir + "/" + seed.name, seed.bytes)) {
      fprintf(stderr, "make_corpus: cannot write %s/%s\n", dir.c_str(), seed.name);
      return 1;
    }
  }
  return 0;
}
