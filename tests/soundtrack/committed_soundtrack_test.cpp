// committed_soundtrack_test.cpp -- data/soundtrack.mp3 as the intro's audio device will meet it
#include "mp3_frames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string mp3Path = std::string(INTRO_SOURCE_DIR) + "/data/soundtrack.mp3";

const std::vector<uint8_t> &Mp3()
{
    static std::vector<uint8_t> bytes = Mp3_ReadFile(mp3Path);
    return bytes;
}

std::string RunCommand(const std::string &cmd)
{
    std::string out;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

// The number after a label in ffmpeg's ebur128 summary, e.g. "I:" or "Peak:".
double SummaryValue(const std::string &log, const std::string &label)
{
    size_t at = log.rfind("Summary:");
    if (at == std::string::npos)
        return NAN;
    at = log.find(label, at);
    if (at == std::string::npos)
        return NAN;
    return std::strtod(log.c_str() + at + label.size(), nullptr);
}

std::vector<int16_t> DecodedSamples()
{
    std::string raw = RunCommand("ffmpeg -nostdin -v error -i '" + mp3Path + "' -f s16le -acodec pcm_s16le -");
    std::vector<int16_t> s(raw.size() / 2);
    for (size_t i = 0; i < s.size(); i++)
        s[i] = (int16_t)((uint8_t)raw[2 * i] | ((uint8_t)raw[2 * i + 1] << 8));
    return s;
}

} // namespace

TEST(CommittedMp3, FirstFrameIsMpeg1LayerThreeStereoAt32kHz)
{
    const std::vector<uint8_t> &b = Mp3();
    ASSERT_GT(b.size(), 4u) << mp3Path;
    Mp3Header h = Mp3_ParseHeader(b.data());
    ASSERT_TRUE(h.valid) << std::hex << (int)b[0] << " " << (int)b[1] << " " << (int)b[2] << " " << (int)b[3];
    EXPECT_TRUE(h.mpeg1);
    EXPECT_TRUE(h.layer3);
    EXPECT_EQ(h.sampleRate, 32000);
    EXPECT_NE(h.channelMode, 3) << "mono";
    EXPECT_GE(h.bitrateKbps, 128);
    EXPECT_LE(h.bitrateKbps, 192);
}

TEST(CommittedMp3, CarriesNoId3Tags)
{
    const std::vector<uint8_t> &b = Mp3();
    ASSERT_GT(b.size(), 128u);
    EXPECT_FALSE(b[0] == 'I' && b[1] == 'D' && b[2] == '3') << "ID3v2 tag at the start";
    size_t end = b.size() - 128;
    EXPECT_FALSE(b[end] == 'T' && b[end + 1] == 'A' && b[end + 2] == 'G') << "ID3v1 tag at the end";
}

TEST(CommittedMp3, FramesFillTheFileAndLastTwoMinutes)
{
    const std::vector<uint8_t> &b = Mp3();
    ASSERT_FALSE(b.empty());
    size_t at = 0;
    int frames = 0;
    long long bits = 0;
    while (at + 4 <= b.size()) {
        Mp3Header h = Mp3_ParseHeader(&b[at]);
        ASSERT_TRUE(h.valid) << "no frame header at byte " << at;
        ASSERT_EQ(h.sampleRate, 32000) << "frame " << frames;
        ASSERT_NE(h.channelMode, 3) << "frame " << frames;
        bits += h.bitrateKbps;
        at += h.frameBytes;
        frames++;
    }
    EXPECT_EQ(at, b.size()) << "bytes after the last frame";
    double seconds = frames * 1152.0 / 32000.0;
    EXPECT_GE(seconds, 90.0);
    EXPECT_LE(seconds, 180.0);
    EXPECT_NEAR(seconds, 120.0, 0.2); // sixty-four bars at 128 BPM
    double meanKbps = (double)bits / frames;
    EXPECT_GE(meanKbps, 128.0);
    EXPECT_LE(meanKbps, 192.0);
}

TEST(CommittedMp3, MasteredLoudnessAndTruePeak)
{
    std::string log = RunCommand("ffmpeg -nostdin -hide_banner -nostats -i '" + mp3Path + "' -af ebur128=peak=true -f null - 2>&1");
    double lufs = SummaryValue(log, "I:");
    double peak = SummaryValue(log, "Peak:");
    ASSERT_FALSE(std::isnan(lufs)) << log.substr(0, 2000);
    ASSERT_FALSE(std::isnan(peak)) << log.substr(0, 2000);
    EXPECT_GE(lufs, -16.0);
    EXPECT_LE(lufs, -10.0);
    EXPECT_LE(peak, -1.0);
}

TEST(CommittedMp3, LoopPointIsQuietAndSmooth)
{
    // Played in a loop, the last 50 ms run straight into the first 50 ms
    // (the decoder's start-up silence included): no step, nothing loud.
    std::vector<int16_t> s = DecodedSamples();
    ASSERT_GT(s.size(), 32000u * 2 * 90);
    const size_t edge = 32000 / 20 * 2; // 50 ms of stereo samples
    std::vector<int16_t> seam(s.end() - edge, s.end());
    seam.insert(seam.end(), s.begin(), s.begin() + edge);
    int loudest = 0, step = 0;
    for (size_t i = 0; i < seam.size(); i++) {
        loudest = std::max(loudest, std::abs((int)seam[i]));
        if (i >= 2)
            step = std::max(step, std::abs(seam[i] - seam[i - 2])); // same channel, one frame apart
    }
    int body = 0;
    for (size_t i = s.size() / 4; i < s.size() / 2; i++)
        body = std::max(body, std::abs((int)s[i]));
    EXPECT_LT(loudest, 1000) << "loud around the loop point";   // under -30 dBFS
    EXPECT_LT(step, 300) << "a click at the loop point";
    EXPECT_GT(body, 16000) << "the middle of the song is loud";
}
