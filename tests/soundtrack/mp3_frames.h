// mp3_frames.h -- reads MPEG audio frame headers, so the tests need no decoder library
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct Mp3Header {
    int valid;
    int mpeg1;        // version bits 11
    int layer3;       // layer bits 01
    int bitrateKbps;
    int sampleRate;
    int padding;
    int channelMode;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int frameBytes;
};

// MPEG-1 Layer III tables, indexed by the header's 4-bit and 2-bit fields.
static const int mp3Bitrates[16] = { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1 };
static const int mp3Rates[4]     = { 44100, 48000, 32000, -1 };

inline Mp3Header Mp3_ParseHeader(const uint8_t *b)
{
    Mp3Header h = {};
    if (b[0] != 0xff || (b[1] & 0xe0) != 0xe0)
        return h;
    h.mpeg1 = ((b[1] >> 3) & 3) == 3;
    h.layer3 = ((b[1] >> 1) & 3) == 1;
    int bi = b[2] >> 4, ri = (b[2] >> 2) & 3;
    h.padding = (b[2] >> 1) & 1;
    h.channelMode = b[3] >> 6;
    if (!h.mpeg1 || !h.layer3 || mp3Bitrates[bi] <= 0 || mp3Rates[ri] < 0)
        return h;
    h.bitrateKbps = mp3Bitrates[bi];
    h.sampleRate = mp3Rates[ri];
    h.frameBytes = 144 * 1000 * h.bitrateKbps / h.sampleRate + h.padding;
    h.valid = 1;
    return h;
}

inline std::vector<uint8_t> Mp3_ReadFile(const std::string &path)
{
    std::vector<uint8_t> bytes;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return bytes;
}
