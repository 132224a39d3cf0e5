// fuzz_image.cpp -- libFuzzer target: any bytes through the image loader and the texture upload
//
// Whatever the bytes, the loader hands back packed three-byte texels whose rows GL can read at
// its default alignment, and the upload (the stand-in copies pitch * height bytes, which
// AddressSanitizer watches) reads only memory the surface owns.
#include "gfx/gfx.h"
#include "glrecord.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  SDL_Surface* image = loadImageFromMemory(data, (int)size, GLRECORD_MAX_TEXTURE_SIZE);
  if (!image)
    return 0;   // out of memory even for the placeholder
  const SDL_PixelFormat* f = image->format;
  const bool packed = f->BytesPerPixel == 3 && f->Rmask == 0xFF0000 && f->Bmask == 0x0000FF;
  const bool sized  = image->w >= 1 && image->h >= 1 && image->w <= GLRECORD_MAX_TEXTURE_SIZE &&
                     image->h <= GLRECORD_MAX_TEXTURE_SIZE && image->pitch >= ((image->w * 3 + 3) & ~3);
  if (!packed || !sized || !image->pixels) {
    fprintf(stderr, "fuzz_image: %dx%d, pitch %d, %d bytes a texel\n", image->w, image->h, image->pitch,
            f->BytesPerPixel);
    abort();
  }
  glrecordEnable(true);
  glrecordReset();
  glTexImage2D(GL_TEXTURE_2D, 0, 3, image->w, image->h, 0, GL_BGR, GL_UNSIGNED_BYTE, image->pixels);
  SDL_FreeSurface(image);
  glrecordReset();
  return 0;
}
