// mp3check_test.cpp -- which soundtrack files reach the mixer, and which part of them
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <string>

using Bytes = std::string;

// A frame header and a silent body of zeros.
static Bytes frame(int b1, int b2, int b3, int length)
{
  return Bytes{ (char)0xFF, (char)b1, (char)b2, (char)b3 } + Bytes(length - 4, '\0');
}

static Bytes repeat(const Bytes& b, int times)
{
  Bytes out;
  while (times--)
    out += b;
  return out;
}

// MPEG-1 layer III, 128 kbit/s, 32 kHz, stereo: 576 bytes
static const Bytes L3_32K_STEREO = frame(0xFB, 0x98, 0x00, 576);
// the same with the padding byte
static const Bytes L3_32K_STEREO_PADDED = frame(0xFB, 0x9A, 0x00, 577);
// MPEG-1 layer III, 160 kbit/s, 32 kHz, stereo: 720 bytes
static const Bytes L3_32K_STEREO_160 = frame(0xFB, 0xA8, 0x00, 720);
// the same as mono
static const Bytes L3_32K_MONO = frame(0xFB, 0x98, 0xC0, 576);
// MPEG-1 layer III, 128 kbit/s, 44.1 kHz, stereo: 417 bytes
static const Bytes L3_44K_STEREO = frame(0xFB, 0x90, 0x00, 417);
// MPEG-1 layer I, 32 kbit/s, 32 kHz, mono: 48 bytes
static const Bytes L1_32K_MONO = frame(0xFF, 0x18, 0xC0, 48);
// free format: no length in the header
static const Bytes FREE_FORMAT = frame(0xFB, 0x08, 0x00, 576);

static const Bytes ID3V2 = Bytes("ID3\x04\x00\x00\x00\x00\x00\x14", 10) + Bytes(20, 'x');   // 20-byte body
static const Bytes ID3V1 = "TAG" + Bytes(125, ' ');
static const Bytes LYRICS3 = "LYRICSBEGIN" "IND00003110" "000022" "LYRICS200";
// version 2000, size 56 (24 items + 32 footer), no header; the same with a header in front
static const Bytes APE_FOOTER = "APETAGEX" + Bytes("\xD0\x07\x00\x00\x38\x00\x00\x00", 8) + Bytes(16, '\0');
static const Bytes APE = Bytes(24, 'a') + APE_FOOTER;
static const Bytes APE_WITH_HEADER = "APETAGEX" + Bytes("\xD0\x07\x00\x00\x38\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xA0", 16) +
                                     Bytes(8, '\0') + APE;

TEST(SoundtrackCheck, OneChainOfWholeFramesReachesTheMixerAndOnlyAnotherFormatBehindItIsRefused)
{
  const Bytes ten = repeat(L3_32K_STEREO, 10);
  struct Case { const char* name; Bytes file; bool accepted; int start, size, frames; };
  const Case cases[] = {
    { "ten frames",                ten, true, 0, 5760, 10 },
    { "tags either side",          ID3V2 + ten + APE + ID3V1, true, 30, 5760, 10 },
    { "bit rate and padding vary", L3_32K_STEREO + L3_32K_STEREO_160 + L3_32K_STEREO_PADDED, true, 0, 1873, 3 },
    { "last frame cut short",      ten.substr(0, 5700), true, 0, 5184, 9 },
    { "layer I",                   repeat(L1_32K_MONO, 4), true, 0, 192, 4 },
    { "a newline behind",          ten + "\n", true, 0, 5760, 10 },
    { "3 bytes of a frame behind", ten + L3_44K_STEREO.substr(0, 3), true, 0, 5760, 10 },
    { "garbage between frames",    repeat(L3_32K_STEREO, 3) + "junk" + repeat(L3_32K_STEREO, 3), true, 0, 1728, 3 },
    { "Lyrics3 before ID3v1",      ten + LYRICS3 + ID3V1, true, 0, 5760, 10 },
    { "ID3v2 appended",            ten + ID3V2, true, 0, 5760, 10 },
    { "two ID3v2 tags in front",   ID3V2 + ID3V2 + ten, true, 60, 5760, 10 },
    { "zeros after the ID3v2 tag", ID3V2 + Bytes(100, '\0') + ten, true, 130, 5760, 10 },
    { "rates glued together",      repeat(L3_44K_STEREO, 5) + repeat(L3_32K_STEREO, 5), false, 0, 0, 0 },
    { "rates glued past tags",     ten + ID3V1 + ID3V2 + Bytes(7, '\0') + repeat(L3_44K_STEREO, 5), false, 0, 0, 0 },
    { "rates glued past Lyrics3, APE", ten + LYRICS3 + APE_WITH_HEADER + repeat(L3_44K_STEREO, 5), false, 0, 0, 0 },
    { "layers glued together",     repeat(L1_32K_MONO, 5) + repeat(L3_32K_MONO, 5), false, 0, 0, 0 },
    { "mono then stereo",          repeat(L3_32K_MONO, 3) + repeat(L3_32K_STEREO, 3), false, 0, 0, 0 },
    { "garbage in front",          "junk" + repeat(L3_32K_STEREO, 3), false, 0, 0, 0 },
    { "a single frame",            L3_32K_STEREO + "junk", false, 0, 0, 0 },
    { "free format",               repeat(FREE_FORMAT, 3), false, 0, 0, 0 },
    { "ID3v2 size not syncsafe",   Bytes("ID3\x04\x00\x00\x00\x00\x00\x94", 10) + Bytes(0x94, 'x') + ten, false, 0, 0, 0 },
    { "ID3v2 past the end",        Bytes("ID3\x04\x00\x00\x00\x7F\x7F\x7F", 10) + ten, false, 0, 0, 0 },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mp3Stream stream = {};
    const bool accepted = findMp3Stream((const Uint8*)c.file.data(), (int)c.file.size(), &stream);
    EXPECT_EQ(accepted, c.accepted);
    if (accepted && c.accepted) {
      EXPECT_EQ(stream.start, c.start);
      EXPECT_EQ(stream.size, c.size);
      EXPECT_EQ(stream.frames, c.frames);
    }
  }
}

TEST(SoundtrackCheck, OnlyFormatsWhoseConvertedFrameFitsTheMixersBufferAreKept)
{
  // a 32 kHz stereo device of signed 16-bit samples: what the intro opens without a soundtrack,
  // and what a driver might grant in place of a stream's own format
  struct Case { int rate, channels, samples; bool fits; };
  const Case cases[] = {
    { 32000, 2, 1152, true },    // the committed soundtrack: no conversion
    { 11025, 1, 576,  true },    // to stereo and two octaves up: 4608 bytes
    { 16000, 2, 1152, false },   // MPEG-2 layer II: 4608 bytes doubled
    { 8000,  1, 576,  false },   // MPEG-2.5 layer III: 1152 bytes times eight
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " channels");
    Mp3Stream stream = {};
    stream.sampleRate = c.rate;
    stream.channels = c.channels;
    stream.samples = c.samples;
    EXPECT_EQ(mixerHoldsFrame(stream, 32000, AUDIO_S16LSB, 2), c.fits);
  }
}
