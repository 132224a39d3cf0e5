// soundtrack.cpp -- reads the soundtrack and lets the mixer have it only as one consistent MPEG audio stream
#include "shell/shell.h"

// SDL_mixer's MP3 decoder builds its sample converter for the first frame it
// decodes and uses it for every later one, converting each frame in place in
// a fixed 8 KiB buffer. A file whose frames change rate or channel count, a
// false frame header in a tag or in garbage, or a format whose converted frame
// outgrows that buffer makes it write past the buffer. So the mixer only ever
// sees a chain of whole frames of one format that fits, from memory we checked.

static const int SOUNDTRACK_MAX_BYTES = 32 << 20;  // about 35 minutes at 128 kbit/s
static const int MIXER_FRAME_BYTES    = 8192;      // the decoder's buffer for one converted frame
static const int MIN_FRAMES           = 2;         // the decoder finds its first frame by the header behind it

static Uint8 soundtrackBytes[SOUNDTRACK_MAX_BYTES];  // the checked file, read by the mixer for the whole run

static const int FRAME_HEADER = 4;
static const int ID3V2_HEADER = 10;                 // "ID3", version, flags, syncsafe size; a footer repeats it
static const int ID3V1_TAG    = 128;                // "TAG" and fixed fields at the very end
static const int APE_FOOTER   = 32;                 // "APETAGEX", version, size, items, flags, reserved

enum MpegVersion { MPEG_25 = 0, MPEG_RESERVED = 1, MPEG_2 = 2, MPEG_1 = 3 };
enum MpegLayer   { LAYER_RESERVED = 0, LAYER_3 = 1, LAYER_2 = 2, LAYER_1 = 3 };

// kbit/s by bit-rate index 1..14; index 0 (free format) and 15 are refused
static const int BITRATE[2][3][14] = {
  { // MPEG-1: layer I, II, III
    { 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448 },
    { 32, 48, 56, 64,  80,  96,  112, 128, 160, 192, 224, 256, 320, 384 },
    { 32, 40, 48, 56,  64,  80,  96,  112, 128, 160, 192, 224, 256, 320 },
  },
  { // MPEG-2 and 2.5
    { 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256 },
    { 8,  16, 24, 32, 40, 48, 56,  64,  80,  96,  112, 128, 144, 160 },
    { 8,  16, 24, 32, 40, 48, 56,  64,  80,  96,  112, 128, 144, 160 },
  },
};

// Hz by version (2.5, reserved, 2, 1) and rate index 0..2
static const int SAMPLE_RATE[4][3] = {
  { 11025, 12000, 8000 },
  { 0,     0,     0 },
  { 22050, 24000, 16000 },
  { 44100, 48000, 32000 },
};

struct FrameHeader {
  int layer, sampleRate, channels;
  int length;            // bytes, header included
  int samples;           // per channel
};

// Reads a frame header; false for anything that is not one with a known length.
static bool readFrameHeader(const Uint8* p, FrameHeader* h)
{
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
    return false;
  const int version = (p[1] >> 3) & 3;
  h->layer = (p[1] >> 1) & 3;
  const int bitrateIndex = p[2] >> 4;
  const int rateIndex    = (p[2] >> 2) & 3;
  const int padding      = (p[2] >> 1) & 1;
  if (version == MPEG_RESERVED || h->layer == LAYER_RESERVED || bitrateIndex == 0 ||
      bitrateIndex == 15 || rateIndex == 3)
    return false;

  const bool lsf = version != MPEG_1;   // the low sampling frequencies of MPEG-2 and 2.5
  const int layerNumber = 4 - h->layer;    // 1, 2 or 3
  const int bitrate = BITRATE[lsf][layerNumber - 1][bitrateIndex - 1] * 1000;
  h->sampleRate = SAMPLE_RATE[version][rateIndex];
  h->channels   = (p[3] >> 6) == 3 ? 1 : 2;
  if (layerNumber == 1) {
    h->samples = 384;
    h->length  = (12 * bitrate / h->sampleRate + padding) * 4;
  } else {
    h->samples = layerNumber == 3 && lsf ? 576 : 1152;
    h->length  = h->samples / 8 * bitrate / h->sampleRate + padding;
  }
  return true;
}

// Every sample rate belongs to one MPEG version, so the rate stands for both.
static bool sameFormat(const FrameHeader& a, const FrameHeader& b)
{
  return a.layer == b.layer && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

static Uint32 readLE32(const Uint8* p)
{
  return (Uint32)p[0] | (Uint32)p[1] << 8 | (Uint32)p[2] << 16 | (Uint32)p[3] << 24;
}

// Bytes of an ID3v2 tag at the start, 0 for none, -1 for a broken one.
static int id3v2Length(const Uint8* bytes, int size)
{
  if (size < ID3V2_HEADER || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3')
    return 0;
  int body = 0;
  for (int i = 6; i < ID3V2_HEADER; i++) {
    if (bytes[i] & 0x80)
      return -1;
    body = body << 7 | bytes[i];
  }
  const bool footer = bytes[5] & 0x10;
  const long length = ID3V2_HEADER + (long)body + (footer ? ID3V2_HEADER : 0);
  return length <= size ? (int)length : -1;
}

// Where the audio ends once an APE tag and an ID3v1 tag behind it are taken off.
static int endBeforeTags(const Uint8* bytes, int start, int end)
{
  if (end - start >= ID3V1_TAG && bytes[end - ID3V1_TAG] == 'T' && bytes[end - ID3V1_TAG + 1] == 'A' &&
      bytes[end - ID3V1_TAG + 2] == 'G')
    end -= ID3V1_TAG;
  if (end - start < APE_FOOTER)
    return end;
  const Uint8* footer = bytes + end - APE_FOOTER;
  if (SDL_memcmp(footer, "APETAGEX", 8) == 0) {
    const Uint32 flags = readLE32(footer + 20);
    const Uint64 tag = (Uint64)readLE32(footer + 12) + ((flags & 0x80000000u) ? APE_FOOTER : 0);
    if (tag >= APE_FOOTER && tag <= (Uint64)(end - start))
      end -= (int)tag;
  }
  return end;
}

bool findMp3Stream(const Uint8* bytes, int size, Mp3Stream* stream)
{
  const int start = id3v2Length(bytes, size);
  if (start < 0)
    return false;
  const int end = endBeforeTags(bytes, start, size);

  FrameHeader first = {}, h;
  int at = start, frames = 0;
  while (end - at >= FRAME_HEADER && readFrameHeader(bytes + at, &h) && (frames == 0 || sameFormat(h, first))) {
    if (frames == 0)
      first = h;
    if (h.length > end - at)
      break;   // the last frame cut short: hand over the whole ones before it
    at += h.length;
    frames++;
  }
  // only a frame cut short may follow the chain; garbage or another format may not
  const bool cutShort = end - at >= FRAME_HEADER && frames > 0 && readFrameHeader(bytes + at, &h) &&
                        sameFormat(h, first) && h.length > end - at;
  if (frames < MIN_FRAMES || (at != end && !cutShort))
    return false;

  stream->start      = start;
  stream->size       = at - start;
  stream->frames     = frames;
  stream->sampleRate = first.sampleRate;
  stream->channels   = first.channels;
  stream->samples    = first.samples;
  return true;
}

bool mixerHoldsFrame(const Mp3Stream& stream, int deviceRate, Uint16 deviceFormat, int deviceChannels)
{
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, AUDIO_S16LSB, (Uint8)stream.channels, stream.sampleRate, deviceFormat,
                        (Uint8)deviceChannels, deviceRate) < 0)
    return false;
  const long decoded = (long)stream.samples * stream.channels * 2;   // signed 16-bit samples
  return decoded * cvt.len_mult <= MIXER_FRAME_BYTES;
}

// Reads the whole stream into soundtrackBytes and closes it; -1 when it is
// missing, unreadable or too large.
static int readSoundtrack(SDL_RWops* rw)
{
  if (!rw)
    return -1;
  const int size = SDL_RWread(rw, soundtrackBytes, 1, SOUNDTRACK_MAX_BYTES);
  Uint8 more;
  const bool tooLarge = SDL_RWread(rw, &more, 1, 1) == 1;
  SDL_RWclose(rw);
  return tooLarge ? -1 : size;
}

Mix_Music* loadSoundtrackFrom(SDL_RWops* rw)
{
  const int size = readSoundtrack(rw);
  Mp3Stream stream;
  if (size < 0 || !findMp3Stream(soundtrackBytes, size, &stream))
    return nullptr;

  int rate, channels;
  Uint16 format;
  if (!Mix_QuerySpec(&rate, &format, &channels) || !mixerHoldsFrame(stream, rate, format, channels))
    return nullptr;

  // the mixer reads the bytes we checked, never the file again
  SDL_RWops* checked = SDL_RWFromConstMem(soundtrackBytes + stream.start, stream.size);
  return checked ? Mix_LoadMUSType_RW(checked, MUS_MP3, 1) : nullptr;
}

Mix_Music* loadSoundtrack(const char* path)
{
  return loadSoundtrackFrom(SDL_RWFromFile(path, "rb"));
}
