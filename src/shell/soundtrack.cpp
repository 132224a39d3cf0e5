// soundtrack.cpp -- reads the soundtrack and lets the mixer have it only as one consistent MPEG audio stream
#include "shell/shell.h"

#include <cstring>

// SDL_mixer's MP3 decoder builds its sample converter for the first frame it
// decodes and uses it for every later one, converting each frame in place in
// a fixed 8 KiB buffer. A file whose frames change rate or channel count, a
// false frame header in a tag or in garbage, or a format whose converted frame
// outgrows that buffer makes it write past the buffer. So the mixer only ever
// sees a chain of whole frames of one format that fits, from memory we checked.

const char* const SOUNDTRACK_PATH = "data/soundtrack.mp3";

static const int SOUNDTRACK_MAX_BYTES = 32 << 20;  // about 35 minutes at 128 kbit/s
static const int MIXER_FRAME_BYTES    = 8192;      // the decoder's buffer for one converted frame
static const int MIN_FRAMES           = 2;         // the decoder finds its first frame by the header behind it

static Uint8 soundtrackBytes[SOUNDTRACK_MAX_BYTES];  // the checked file, read by the mixer for the whole run

static const int FRAME_HEADER = 4;
static const Uint8 SYNC_BYTE = 0xFF;                // every frame header opens with it
static const int ID3V2_HEADER = 10;                 // "ID3", version, flags, syncsafe size; a footer repeats it
static const int ID3V1_TAG    = 128;                // "TAG" and fixed fields at the very end
static const int APE_FOOTER   = 32;                 // "APETAGEX", version, size, items, flags, reserved
static const Uint32 APE_HAS_HEADER = 0x80000000u;   // flag bits of an APE header or footer
static const Uint32 APE_IS_HEADER  = 0x20000000u;

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
  if (p[0] != SYNC_BYTE || (p[1] & 0xE0) != 0xE0)
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

// a tag's fields are little-endian and unaligned
static Uint32 readLE32(const Uint8* p) { Uint32 v; memcpy(&v, p, sizeof v); return SDL_SwapLE32(v); }

// Bytes of an ID3v2 tag at p, 0 for none or a broken one.
static int id3v2Length(const Uint8* p, int room)
{
  if (room < ID3V2_HEADER || p[0] != 'I' || p[1] != 'D' || p[2] != '3')
    return 0;
  int body = 0;
  for (int i = 6; i < ID3V2_HEADER; i++) {
    if (p[i] & 0x80)
      return 0;
    body = body << 7 | p[i];
  }
  const bool footer = p[5] & 0x10;
  const long length = ID3V2_HEADER + (long)body + (footer ? ID3V2_HEADER : 0);
  return length <= room ? (int)length : 0;
}

// Bytes of an APE tag that opens with its header at p, 0 for none.
static int apeLength(const Uint8* p, int room)
{
  if (room < APE_FOOTER || memcmp(p, "APETAGEX", 8) != 0 || !(readLE32(p + 20) & APE_IS_HEADER))
    return 0;
  const Uint64 length = (Uint64)readLE32(p + 12) + APE_FOOTER;   // items and footer, then the header
  return length <= (Uint64)room ? (int)length : 0;
}

static int id3v1Length(const Uint8* p, int room)
{
  return room >= ID3V1_TAG && p[0] == 'T' && p[1] == 'A' && p[2] == 'G' ? ID3V1_TAG : 0;
}

static int zeroPadding(const Uint8* p, int room)
{
  int length = 0;
  while (length < room && p[length] == 0)
    length++;
  return length;
}

// What may sit around and between the frames: each reader gives the bytes of its kind at p, or 0.
static int (*const TAG_READERS[])(const Uint8* p, int room) = {
  zeroPadding, id3v2Length, apeLength, id3v1Length,
};

// Bytes of the padding or tag at p, 0 for none.
static int tagLength(const Uint8* p, int room)
{
  for (auto reader : TAG_READERS)
    if (const int length = reader(p, room))
      return length;
  return 0;
}

// Where the next thing that is neither padding nor a whole tag begins, from at on.
static int skipTags(const Uint8* bytes, int at, int end)
{
  while (const int length = tagLength(bytes + at, end - at))
    at += length;
  return at;
}

// Bytes of a Lyrics3 tag that ends at end, 0 for none: version 2 by the size written before
// its closing word, version 1 by its opening word within the 5100 bytes of lyrics it may hold.
static int lyrics3Before(const Uint8* bytes, int start, int end)
{
  static const int BEGIN = 11, CLOSE = 9, SIZE = 6, MOST_LYRICS = 5100;
  const int room = end - start;
  if (room < BEGIN + CLOSE)
    return 0;
  const Uint8* close = bytes + end - CLOSE;
  int length = 0;
  if (memcmp(close, "LYRICS200", CLOSE) == 0 && room >= BEGIN + SIZE + CLOSE) {
    for (const Uint8* digit = close - SIZE; digit < close && length < room; digit++)
      length = *digit >= '0' && *digit <= '9' ? length * 10 + *digit - '0' : room;
    length += SIZE + CLOSE;
  } else if (memcmp(close, "LYRICSEND", CLOSE) == 0) {
    for (length = BEGIN + CLOSE; length < room && length < BEGIN + MOST_LYRICS + CLOSE; length++)
      if (memcmp(bytes + end - length, "LYRICSBEGIN", BEGIN) == 0)
        break;
  }
  const bool whole = length > 0 && length <= room;
  return whole && memcmp(bytes + end - length, "LYRICSBEGIN", BEGIN) == 0 ? length : 0;
}

// Where the audio ends once an APE tag, a Lyrics3 tag and an ID3v1 tag behind it are taken off.
static int endBeforeTags(const Uint8* bytes, int start, int end)
{
  if (end - start >= ID3V1_TAG && id3v1Length(bytes + end - ID3V1_TAG, ID3V1_TAG))
    end -= ID3V1_TAG;
  end -= lyrics3Before(bytes, start, end);
  if (end - start < APE_FOOTER)
    return end;
  const Uint8* footer = bytes + end - APE_FOOTER;
  if (memcmp(footer, "APETAGEX", 8) == 0) {
    const Uint32 flags = readLE32(footer + 20);
    const Uint64 tag = (Uint64)readLE32(footer + 12) + ((flags & APE_HAS_HEADER) ? APE_FOOTER : 0);
    if (tag >= APE_FOOTER && tag <= (Uint64)(end - start))
      end -= (int)tag;
  }
  return end;
}

// A frame header at at whose whole frame lies before end.
static bool frameAt(const Uint8* bytes, int at, int end, FrameHeader* h)
{
  return end - at >= FRAME_HEADER && readFrameHeader(bytes + at, h) && h->length <= end - at;
}

int mp3FrameLength(const Uint8* p, int room)
{
  FrameHeader h;
  return frameAt(p, 0, room, &h) ? h.length : 0;
}

// Whether what follows a frame that ends at next vouches for it, as a decoder's search for the
// next frame does: the end of the audio, a tag, or the header of a frame of the same format.
// Padding is no proof (zeros are common damage), and a frame before it ends a run that its
// predecessor already vouches for.
static bool confirmed(const Uint8* bytes, int next, int end, const FrameHeader& h)
{
  FrameHeader after;
  return next == end || (bytes[next] != 0 && tagLength(bytes + next, end - next) > 0) ||
         (frameAt(bytes, next, end, &after) && sameFormat(after, h));
}

bool findMp3Stream(Uint8* bytes, int size, Mp3Stream* stream)
{
  const int start = skipTags(bytes, 0, size);
  const int end = endBeforeTags(bytes, start, size);

  // Every frame goes to the front of the buffer, back to back; the mixer gets those bytes only.
  // A frame is taken where the one before it ends (past padding and tags) or where what follows
  // it confirms it; anything else is garbage, searched for the next header.
  FrameHeader first = {}, h;
  int at = start, frames = 0, kept = 0, garbage = 0;
  bool chained = false;   // whether at is where the last frame taken ends, past padding and tags
  const int mostGarbage = (end - start + 1) / 2;   // garbage enough that no frames can outweigh it
  while (at < end) {
    // a frame of the stream's format may follow the one before it unconfirmed; another format must
    // be confirmed, or one flipped bit in a header would refuse the whole song
    const bool header = frameAt(bytes, at, end, &h), ours = frames == 0 || sameFormat(h, first);
    if (header && ((chained && ours) || confirmed(bytes, at + h.length, end, h))) {
      if (!ours)
        return false;   // another file glued on, or its frames mixed in
      first = frames++ ? first : h;
      memmove(bytes + start + kept, bytes + at, h.length);
      kept += h.length;
      at += h.length;
      chained = true;
    } else if (const int tag = tagLength(bytes + at, end - at)) {
      at += tag;
    } else {   // garbage, up to the next header that reads as one
      const int from = at, stop = SDL_min(end, at + mostGarbage - garbage);
      do
        at++;
      while (at < stop && !(bytes[at] == SYNC_BYTE && frameAt(bytes, at, end, &h)));
      garbage += at - from;
      chained = false;
      if (garbage >= mostGarbage)
        return false;   // the frames can no longer outweigh it
    }
  }
  // a few frames found in what is mostly something else are no song: they would loop as a stutter
  if (frames < MIN_FRAMES || kept <= garbage)
    return false;

  stream->bytes      = bytes + start;
  stream->size       = kept;
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
static int readWhole(SDL_RWops* rw)
{
  if (!rw)
    return -1;
  const int size = SDL_RWread(rw, soundtrackBytes, 1, SOUNDTRACK_MAX_BYTES);
  Uint8 more;
  const bool tooLarge = SDL_RWread(rw, &more, 1, 1) == 1;
  SDL_RWclose(rw);
  return tooLarge ? -1 : size;
}

bool readSoundtrackFrom(SDL_RWops* rw, Mp3Stream* stream)
{
  const int size = readWhole(rw);
  return size >= 0 && findMp3Stream(soundtrackBytes, size, stream);
}

bool readSoundtrack(const char* path, Mp3Stream* stream)
{
  return readSoundtrackFrom(SDL_RWFromFile(path, "rb"), stream);
}

Mix_Music* loadSoundtrack(const Mp3Stream& stream)
{
  int rate, channels;
  Uint16 format;
  if (!Mix_QuerySpec(&rate, &format, &channels) || !mixerHoldsFrame(stream, rate, format, channels))
    return nullptr;

  // the mixer reads the bytes we checked, never the file again
  SDL_RWops* checked = SDL_RWFromConstMem(stream.bytes, stream.size);
  return checked ? Mix_LoadMUSType_RW(checked, MUS_MP3, 1) : nullptr;
}
