// textures.cpp -- decodes the five BMP images and turns them into GL textures
#include "gfx/gfx.h"

#include <SDL/SDL_endian.h>

#include <cstring>

GLuint texture[TEXTURE_COUNT];

const char* const texturePath[TEXTURE_COUNT] = {
  "data/logo.bmp",     // TEX_LOGO
  "data/bounce.bmp",   // TEX_BOUNCE
  "data/spark.bmp",    // TEX_SPARK
  "data/font.bmp",     // TEX_FONT
  "data/bg.bmp",       // TEX_BG
};

static const int TEXTURE_COMPONENTS = 3;      // RGB, no alpha: a pass's strength is its colour's alpha
static const long MAX_SURFACE_PITCH = 65535;  // SDL keeps a surface's row length in 16 bits

// BMP headers: 14-byte file header, then an info header whose first field is
// its own size. The 12-byte OS/2 core header stores 16-bit sizes, every later
// one 32-bit sizes.
static const int BMP_FILE_HEADER  = 14;
static const int BMP_HEAD_FIELDS  = 30;       // file header, info size, width, height, planes, bit count
static const int BMP_CORE_HEADER  = 12;

// the header's fields are little-endian and unaligned
static Uint32 readLE16(const Uint8* p) { Uint16 v; memcpy(&v, p, sizeof v); return SDL_SwapLE16(v); }
static Uint32 readLE32(const Uint8* p) { Uint32 v; memcpy(&v, p, sizeof v); return SDL_SwapLE32(v); }

// Depths a BMP can be stored at. SDL builds its surface from whatever the
// header says, and a forged bit count gives a surface whose pitch and pixel
// size have overflowed.
static bool bmpDepthIsKnown(Uint32 bits)
{
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Whether the header's image size and depth are ones we are willing to decode:
// no side larger than GL takes, and rows that fit SDL's 16-bit pitch both as
// decoded (1 and 4 bits decode to 8) and once converted to three bytes a pixel.
// The check runs before SDL sees the file, since a forged size makes SDL
// allocate a surface of that size, and a wrapped pitch makes it write past one.
static bool bmpSizeIsSane(SDL_RWops* rw, int maxSide)
{
  unsigned char head[BMP_HEAD_FIELDS];
  int got = SDL_RWread(rw, head, 1, BMP_HEAD_FIELDS);
  SDL_RWseek(rw, 0, RW_SEEK_SET);
  if (got < BMP_FILE_HEADER + 4 + 4 || head[0] != 'B' || head[1] != 'M')
    return false;

  Uint32 infoSize = readLE32(head + BMP_FILE_HEADER);
  long width, height;
  Uint32 bits;
  if (infoSize == BMP_CORE_HEADER) {
    if (got < BMP_FILE_HEADER + BMP_CORE_HEADER)
      return false;
    width  = readLE16(head + BMP_FILE_HEADER + 4);
    height = readLE16(head + BMP_FILE_HEADER + 6);
    bits   = readLE16(head + BMP_FILE_HEADER + 10);
  } else {
    if (got < BMP_HEAD_FIELDS)
      return false;
    width  = (Sint32)readLE32(head + BMP_FILE_HEADER + 4);
    height = (Sint32)readLE32(head + BMP_FILE_HEADER + 8);
    bits   = readLE16(head + BMP_FILE_HEADER + 14);
    if (height < 0)            // a top-down image
      height = -height;
  }
  if (!bmpDepthIsKnown(bits) || width <= 0 || height <= 0 || width > maxSide || height > maxSide)
    return false;
  const long decodedBytes = bits <= 8 ? 1 : bits / 8;
  const long widestBytes  = decodedBytes > TEXTURE_COMPONENTS ? decodedBytes : TEXTURE_COMPONENTS;
  return ((width * widestBytes + 3) & ~3L) <= MAX_SURFACE_PITCH;
}

// True for a surface whose bytes GL_BGR/GL_UNSIGNED_BYTE reads as they are.
static bool isPackedBGR(const SDL_Surface* image)
{
  const SDL_PixelFormat* f = image->format;
  return f->BytesPerPixel == 3 && f->Rmask == 0xFF0000 && f->Gmask == 0x00FF00 && f->Bmask == 0x0000FF;
}

static SDL_Surface* blackPlaceholder()
{
  // SDL clears new surfaces, so the one pixel is black
  return SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
}

// Whether SDL can convert a palettised image: its blitter looks every texel up
// in a table the size of the palette without a bounds check, and some broken
// headers decode to an 8-bit surface with no palette at all.
static bool paletteCoversTexels(const SDL_Surface* image)
{
  const SDL_PixelFormat* f = image->format;
  if (f->BitsPerPixel > 8)
    return true;
  if (f->BitsPerPixel != 8 || !f->palette || !f->palette->colors || f->palette->ncolors <= 0)
    return false;
  const int colours = f->palette->ncolors;
  for (int y = 0; y < image->h; y++) {
    const Uint8* row = (const Uint8*)image->pixels + y * image->pitch;
    for (int x = 0; x < image->w; x++)
      if (row[x] >= colours)
        return false;
  }
  return true;
}

// Whether the decoded surface's geometry holds together: pixel memory, a pixel
// size that matches the depth, and rows long enough for the width.
static bool surfaceIsWhole(const SDL_Surface* image)
{
  const SDL_PixelFormat* f = image->format;
  return image->pixels && f->BytesPerPixel >= 1 && f->BytesPerPixel <= 4 &&
         f->BytesPerPixel == (f->BitsPerPixel + 7) / 8 && image->pitch >= image->w * f->BytesPerPixel;
}

// Brings any decoded depth (palettised, 16 or 32 bits) to three bytes per pixel.
static SDL_Surface* toPackedBGR(SDL_Surface* image)
{
  if (!surfaceIsWhole(image) || !paletteCoversTexels(image)) {
    SDL_FreeSurface(image);
    return nullptr;
  }
  if (isPackedBGR(image))
    return image;

  SDL_Surface* target = blackPlaceholder();
  SDL_Surface* converted = target ? SDL_ConvertSurface(image, target->format, SDL_SWSURFACE) : nullptr;
  if (target)
    SDL_FreeSurface(target);
  SDL_FreeSurface(image);
  return converted;
}

// Decodes the stream and closes it.
static SDL_Surface* decodeStream(SDL_RWops* rw, int maxSide)
{
  if (!rw)
    return blackPlaceholder();
  if (!bmpSizeIsSane(rw, maxSide)) {
    SDL_RWclose(rw);
    return blackPlaceholder();
  }
  SDL_Surface* image = SDL_LoadBMP_RW(rw, 1);
  if (!image)
    return blackPlaceholder();
  SDL_Surface* packed = toPackedBGR(image);
  return packed ? packed : blackPlaceholder();
}

SDL_Surface* loadImage(const char* path, int maxSide)
{
  return decodeStream(SDL_RWFromFile(path, "rb"), maxSide);
}

SDL_Surface* loadImageFromMemory(const void* bytes, int size, int maxSide)
{
  return decodeStream(SDL_RWFromConstMem(bytes, size), maxSide);
}

int LoadGLTextures()
{
  SDL_Surface* TextureImage[TEXTURE_COUNT];

  // a picture larger than this GL takes would leave its layer untextured: refuse it instead
  GLint maxSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);

  // decode everything first: names are generated whether or not the files were readable
  for (int slot = 0; slot < TEXTURE_COUNT; slot++)
    TextureImage[slot] = loadImage(texturePath[slot], maxSide);

  glGenTextures(TEXTURE_COUNT, texture);

  for (int slot = 0; slot < TEXTURE_COUNT; slot++) {
    glBindTexture(GL_TEXTURE_2D, texture[slot]);
    SDL_Surface* image = TextureImage[slot];
    if (!image)
      continue;   // out of memory even for the placeholder: leave the slot empty
    glTexImage2D(GL_TEXTURE_2D, 0, TEXTURE_COMPONENTS, image->w, image->h, 0,
                 GL_BGR, GL_UNSIGNED_BYTE, image->pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    SDL_FreeSurface(image);
  }
  return 1;
}
