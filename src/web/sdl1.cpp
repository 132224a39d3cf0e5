// sdl1.cpp -- the SDL 1.2 calls the browser's SDL lacks or does differently: streams, BMP, surfaces, sleep
//
// The browser's SDL keeps streams and surfaces as JavaScript objects that C
// cannot read through, while the intro reads both as SDL's structures. These
// stand in for the library, so they allocate as the library would.
#include <SDL/SDL.h>
#include <SDL/SDL_endian.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#include "web/web.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

//
// streams: a file of the packaged data or a block of memory
//
struct Stream {
  SDL_RWops ops;                  // first, so an SDL_RWops* is a Stream*
  FILE* file;                     // null for memory
  const Uint8 *base, *here, *stop;
};

static Stream* streamOf(SDL_RWops* rw) { return (Stream*)rw; }

static long fileSeek(SDL_RWops* rw, long offset, int whence)
{
  FILE* f = streamOf(rw)->file;
  return fseek(f, offset, whence) == 0 ? ftell(f) : -1;
}

static size_t fileRead(SDL_RWops* rw, void* ptr, size_t size, size_t count)
{
  return fread(ptr, size, count, streamOf(rw)->file);
}

static int fileClose(SDL_RWops* rw)
{
  fclose(streamOf(rw)->file);
  free(rw);
  return 0;
}

static long memorySeek(SDL_RWops* rw, long offset, int whence)
{
  Stream* s = streamOf(rw);
  const Uint8* from = whence == RW_SEEK_SET ? s->base : whence == RW_SEEK_CUR ? s->here : s->stop;
  const long size = s->stop - s->base;
  long to = (from - s->base) + offset;
  to = to < 0 ? 0 : to > size ? size : to;
  s->here = s->base + to;
  return to;
}

static size_t memoryRead(SDL_RWops* rw, void* ptr, size_t size, size_t count)
{
  Stream* s = streamOf(rw);
  if (size == 0)
    return 0;
  const size_t left = (size_t)(s->stop - s->here) / size;   // whole items before the end
  const size_t whole = left < count ? left : count;
  memcpy(ptr, s->here, whole * size);
  s->here += whole * size;
  return whole;
}

static int memoryClose(SDL_RWops* rw)
{
  free(rw);
  return 0;
}

static size_t noWrite(SDL_RWops*, const void*, size_t, size_t) { return 0; }

// A stream with these operations, or null when memory runs out.
static Stream* newStream(long (*seek)(SDL_RWops*, long, int),
                         size_t (*read)(SDL_RWops*, void*, size_t, size_t), int (*close)(SDL_RWops*))
{
  Stream* s = (Stream*)calloc(1, sizeof *s);
  if (s) {
    s->ops.seek  = seek;
    s->ops.read  = read;
    s->ops.write = noWrite;
    s->ops.close = close;
  }
  return s;
}

extern "C" SDL_RWops* SDL_RWFromFile(const char* file, const char* mode)
{
  FILE* f = fopen(file, mode);
  if (!f)
    return nullptr;
  Stream* s = newStream(fileSeek, fileRead, fileClose);
  if (!s) {
    fclose(f);
    return nullptr;
  }
  s->file = f;
  return &s->ops;
}

extern "C" SDL_RWops* SDL_RWFromConstMem(const void* mem, int size)
{
  Stream* s = size < 0 ? nullptr : newStream(memorySeek, memoryRead, memoryClose);
  if (!s)
    return nullptr;
  s->base = s->here = (const Uint8*)mem;
  s->stop = s->base + size;
  return &s->ops;
}

//
// surfaces: pixels in memory, nothing else
//
extern "C" SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 Rmask,
                                             Uint32 Gmask, Uint32 Bmask, Uint32 Amask)
{
  if (width <= 0 || height <= 0 || (depth != 24 && depth != 32))
    return nullptr;
  const int bytesPerPixel = depth / 8;
  const int pitch = (width * bytesPerPixel + 3) & ~3;
  SDL_Surface* surface = (SDL_Surface*)calloc(1, sizeof *surface);
  SDL_PixelFormat* format = (SDL_PixelFormat*)calloc(1, sizeof *format);
  void* pixels = calloc((size_t)pitch, (size_t)height);
  if (!surface || !format || !pixels) {
    free(surface);
    free(format);
    free(pixels);
    return nullptr;
  }
  format->BitsPerPixel  = (Uint8)depth;
  format->BytesPerPixel = (Uint8)bytesPerPixel;
  format->Rmask = Rmask;
  format->Gmask = Gmask;
  format->Bmask = Bmask;
  format->Amask = Amask;
  surface->flags  = flags;
  surface->format = format;
  surface->w      = width;
  surface->h      = height;
  surface->pitch  = pitch;
  surface->pixels = pixels;
  surface->refcount = 1;
  return surface;
}

extern "C" void SDL_FreeSurface(SDL_Surface* surface)
{
  if (!surface)
    return;
  free(surface->pixels);
  free(surface->format);
  free(surface);
}

// Every BMP this layer decodes is already three bytes a pixel, so there is nothing to convert.
extern "C" SDL_Surface* SDL_ConvertSurface(SDL_Surface*, SDL_PixelFormat*, Uint32)
{
  return nullptr;
}

//
// BMP: uncompressed 24-bit only, bottom-up or top-down; anything else reads as unreadable
//
static const int BMP_FILE_HEADER = 14;
static const int BMP_INFO_FIELDS = 40;   // the Windows info header up to and including the colour counts

// the header's fields are little-endian and unaligned
static Uint32 readLE16(const Uint8* p) { Uint16 v; memcpy(&v, p, sizeof v); return SDL_SwapLE16(v); }
static Uint32 readLE32(const Uint8* p) { Uint32 v; memcpy(&v, p, sizeof v); return SDL_SwapLE32(v); }

static SDL_Surface* decodeBMP(SDL_RWops* rw)
{
  Uint8 head[BMP_FILE_HEADER + BMP_INFO_FIELDS];
  if (SDL_RWread(rw, head, 1, sizeof head) != sizeof head || head[0] != 'B' || head[1] != 'M')
    return nullptr;
  const Uint32 pixelsAt = readLE32(head + 10);
  const Uint8* info = head + BMP_FILE_HEADER;
  const int width = (Sint32)readLE32(info + 4);
  const int height = (Sint32)readLE32(info + 8);
  const bool topDown = height < 0;
  const int rows = topDown ? -height : height;
  if (readLE32(info) < BMP_INFO_FIELDS || readLE16(info + 14) != 24 || readLE32(info + 16) != 0 ||
      width <= 0 || rows <= 0 || width > 16384 || rows > 16384)
    return nullptr;

  SDL_Surface* image = SDL_CreateRGBSurface(SDL_SWSURFACE, width, rows, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
  if (!image)
    return nullptr;
  // a BMP row is padded to four bytes, as the surface's is
  const int rowBytes = (width * 3 + 3) & ~3;
  bool whole = SDL_RWseek(rw, pixelsAt, RW_SEEK_SET) == (long)pixelsAt;
  for (int row = 0; whole && row < rows; row++) {
    Uint8* line = (Uint8*)image->pixels + (topDown ? row : rows - 1 - row) * image->pitch;
    whole = SDL_RWread(rw, line, 1, rowBytes) == (size_t)rowBytes;
  }
  if (!whole) {
    SDL_FreeSurface(image);
    return nullptr;
  }
  return image;
}

extern "C" SDL_Surface* SDL_LoadBMP_RW(SDL_RWops* rw, int freesrc)
{
  if (!rw)
    return nullptr;
  SDL_Surface* image = decodeBMP(rw);
  if (freesrc)
    SDL_RWclose(rw);
  return image;
}

//
// audio conversion: the browser decodes and resamples the music itself, nothing passes SDL's converter
//
extern "C" int SDL_BuildAudioCVT(SDL_AudioCVT* cvt, Uint16 from, Uint8, int, Uint16 to, Uint8, int)
{
  memset(cvt, 0, sizeof *cvt);
  cvt->src_format = from;
  cvt->dst_format = to;
  cvt->rate_incr  = 1.0;
  cvt->len_mult   = 1;
  cvt->len_ratio  = 1.0;
  return 0;
}

#ifdef __EMSCRIPTEN__   // natively, the image fuzzer builds the streams and the decoder above alone
//
// presenting: the browser shows the canvas when control returns to it; the page counts the frames
//
EM_JS(void, frameShown, (), {
  if (Module.onFrame)
    Module.onFrame();
});

extern "C" void SDL_GL_SwapBuffers()
{
  frameShown();
}

//
// sleeping: the loop's 1 ms pause hands the browser its turn (ASYNCIFY unwinds the loop meanwhile)
//
static const Uint32 WATCH_MS = 2;   // this close to a due frame, the loop only yields, to see it on time

// A browser holds a timer set from inside a timer's callback, five deep, to at least 4 ms, and
// the loop's every pause would be one: frames would start up to 4 ms late. A message is not a
// timer, so a timer set from the message's handler starts a fresh chain and keeps its delay;
// with no delay the message alone gives the browser its turn. The intro's exit ends the run
// inside the promise that wakes the loop, as the normal ending it is, not as an error.
EM_ASYNC_JS(void, yieldToBrowser, (Uint32 ms), {
  if (!Module.sleepChannel)
    addEventListener('unhandledrejection', function(event) {
      if (event.reason instanceof ExitStatus)
        event.preventDefault();
    });
  // a page that has given up on the show (its picture lost, say) stops the loop here for good
  if (Module.halted)
    await new Promise(function() {});
  await new Promise(function(wake) {
    var channel = Module.sleepChannel || (Module.sleepChannel = new MessageChannel());
    channel.port1.onmessage = ms > 0 ? function() { setTimeout(wake, ms); } : wake;
    channel.port2.postMessage(0);
  });
});

bool (*frameFallsDue)(Uint32 ticks);

// A browser's timer fires a millisecond or more late, which the loop would add to a frame's
// start; so when the intro's own rule says a frame falls due within the pause, it only yields.
extern "C" void SDL_Delay(Uint32 ms)
{
  yieldToBrowser(frameFallsDue && frameFallsDue(SDL_GetTicks() + WATCH_MS) ? 0 : ms);
}
#endif
