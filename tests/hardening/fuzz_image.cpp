// fuzz_image.cpp -- libFuzzer target: any bytes through the image loader and the texture upload
//
// Whatever the bytes, the loader must hand back a surface of packed three-byte
// texels whose rows GL can read at its default unpack alignment, and the
// upload of that surface must read only memory the surface owns (the stand-in
// copies pitch * height bytes, which AddressSanitizer watches).
#include "gfx/gfx.h"
#include "glrecord.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

static const int MAX_SIDE = GLRECORD_MAX_TEXTURE_SIZE;   // the loader refuses anything larger

static void fail(const char* what, const SDL_Surface* image)
{
  fprintf(stderr, "fuzz_image: %s (w %d, h %d, pitch %d, bpp %d)\n", what, image->w, image->h,
          image->pitch, image->format->BytesPerPixel);
  abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  SDL_Surface* image = loadImageFromMemory(data, (int)size, MAX_SIDE);
  if (!image)
    return 0;   // out of memory even for the placeholder

  const SDL_PixelFormat* f = image->format;
  if (f->BytesPerPixel != 3 || f->Rmask != 0xFF0000 || f->Gmask != 0x00FF00 || f->Bmask != 0x0000FF)
    fail("not packed BGR", image);
  if (image->w < 1 || image->h < 1 || image->w > MAX_SIDE || image->h > MAX_SIDE)
    fail("size out of range", image);
  const int glPitch = (image->w * 3 + 3) & ~3;
  if (image->pitch < glPitch)
    fail("rows shorter than GL reads them", image);
  if (!image->pixels)
    fail("no pixels", image);

  // the upload as LoadGLTextures does it, against the recording stand-in
  glrecordReset();
  GLuint name;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, 3, image->w, image->h, 0, GL_BGR, GL_UNSIGNED_BYTE, image->pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  if (glCalls.size() != 5 || glCalls[2].pixels.size() != (size_t)glPitch * image->h)
    fail("upload did not hand over every row", image);

  SDL_FreeSurface(image);
  glrecordReset();
  return 0;
}
