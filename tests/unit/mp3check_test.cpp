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

// count frames with the header of f, each body filled with its own letter from 'a' on
static Bytes run(const Bytes& f, int count)
{
  Bytes out;
  for (int i = 0; i < count; i++)
    out += f.substr(0, 4) + Bytes(f.size() - 4, (char)('a' + i));
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
// 50 stray bytes, and the same with a frame header in them whose frame ends in garbage
static const Bytes JUNK = Bytes(50, '~');
static const Bytes FALSE_HEADER = Bytes(20, '~') + Bytes("\xFF\xFB\x98\x00", 4) + Bytes(30, '~');

TEST(SoundtrackCheck, EveryWholeFrameOfOneFormatReachesTheMixerAndAnotherFormatAnywhereIsRefused)
{
  const Bytes ten = run(L3_32K_STEREO, 10);   // frames of 576 bytes: 1152 after two, 5184 after nine
  const Bytes refused;
  struct Case { const char* name; Bytes file, handed; };
  const Case cases[] = {
    { "ten frames",                  ten, ten },
    { "tags either side",            ID3V2 + ten + APE + ID3V1, ten },
    { "two ID3v2 tags and zeros in front", ID3V2 + ID3V2 + Bytes(100, '\0') + ten, ten },
    { "bit rate and padding vary",   L3_32K_STEREO + L3_32K_STEREO_160 + L3_32K_STEREO_PADDED,
                                     L3_32K_STEREO + L3_32K_STEREO_160 + L3_32K_STEREO_PADDED },
    { "layer I",                     run(L1_32K_MONO, 4), run(L1_32K_MONO, 4) },
    { "last frame cut short",        ten.substr(0, 5700), ten.substr(0, 5184) },
    { "a newline behind",            ten + "\n", ten },
    { "3 bytes of a frame behind",   ten + L3_44K_STEREO.substr(0, 3), ten },
    { "Lyrics3 before ID3v1",        ten + LYRICS3 + ID3V1, ten },
    { "damage after frame 2",        ten.substr(0, 1152) + JUNK + ten.substr(1152), ten },
    { "damage in the middle",        ten.substr(0, 2880) + JUNK + ten.substr(2880), ten },
    { "damage before the last frame", ten.substr(0, 5184) + JUNK + ten.substr(5184), ten },
    { "a false header in the damage", ten.substr(0, 1152) + FALSE_HEADER + ten.substr(1152), ten },
    { "a lone frame of another format in it",
                                     ten.substr(0, 1152) + JUNK + L3_44K_STEREO + ten.substr(1152), ten },
    { "frame 3's header broken",     ten.substr(0, 1152) + "~" + ten.substr(1153),
                                     ten.substr(0, 1152) + ten.substr(1728) },
    { "frame 3's rate bits flipped", ten.substr(0, 1154) + "\x90" + ten.substr(1155),
                                     ten.substr(0, 1152) + ten.substr(1728) },
    { "a tag between two runs",      ten.substr(0, 2880) + ID3V2 + LYRICS3 + ten.substr(2880), ten },
    { "garbage in front",            JUNK + ten, ten },
    { "a broken ID3v2 size in front", Bytes("ID3\x04\x00\x00\x00\x7F\x7F\x7F", 10) + ten, ten },
    { "garbage a byte short of the frames", Bytes(1151, '~') + run(L3_32K_STEREO, 2), run(L3_32K_STEREO, 2) },
    { "garbage as large as the frames", Bytes(1152, '~') + run(L3_32K_STEREO, 2), refused },
    { "as large, past a tag",        run(L3_32K_STEREO, 2) + ID3V2 + Bytes(1152, '~'), refused },
    { "another format after damage", ten + JUNK + run(L3_44K_STEREO, 5), refused },
    { "rates glued together",        run(L3_44K_STEREO, 5) + ten, refused },
    { "rates glued past tags",       ten + ID3V1 + ID3V2 + Bytes(7, '\0') + run(L3_44K_STEREO, 5), refused },
    { "layers glued together",       run(L1_32K_MONO, 5) + run(L3_32K_MONO, 5), refused },
    { "mono then stereo",            run(L3_32K_MONO, 3) + run(L3_32K_STEREO, 3), refused },
    { "a single frame",              L3_32K_STEREO + JUNK, refused },
    { "free format",                 run(FREE_FORMAT, 3), refused },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = c.file;
    Mp3Stream stream = {};
    const bool accepted = findMp3Stream((Uint8*)&file[0], (int)file.size(), &stream);
    EXPECT_EQ(accepted, !c.handed.empty());
    if (accepted) {
      EXPECT_TRUE(Bytes((const char*)stream.bytes, stream.size) == c.handed) << stream.size << " bytes";
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
