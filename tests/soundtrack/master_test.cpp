// master_test.cpp -- limiter, echo, reverb and the WAV writer
#include "snd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

TEST(Limiter, NeverPassesItsCeiling)
{
    const float ceilings[] = { -1.0f, -2.6f, -6.0f };
    const float limits[]   = { 0.8912509f, 0.7413102f, 0.5011872f }; // 10^(dB/20)
    for (int c = 0; c < 3; c++) {
        Limiter lim;
        Limiter_Init(&lim, ceilings[c], 0.1f);
        uint32_t seed = 42;
        float worst = 0.0f;
        for (int i = 0; i < SND_RATE * 2; i++) {
            // a loud chord with random spikes up to 12 dB over full scale
            float x = 1.5f * std::sin(2.0 * M_PI * 110.0 * i / SND_RATE);
            if (i % 997 == 0)
                x += 4.0f * Osc_Noise(&seed);
            float y = x * 0.9f + 0.3f * Osc_Noise(&seed);
            float l, r;
            Limiter_Next(&lim, x, y, &l, &r);
            worst = std::max(worst, std::max(std::fabs(l), std::fabs(r)));
        }
        EXPECT_LE(worst, limits[c]) << ceilings[c] << " dB";
        EXPECT_GT(worst, limits[c] * 0.97f) << "limited far below the ceiling at " << ceilings[c] << " dB";
    }
}

TEST(Limiter, QuietSignalPassesUnchangedAfterTheLookAhead)
{
    Limiter lim;
    Limiter_Init(&lim, -1.0f, 0.1f);
    const int lat = Limiter_Latency();
    EXPECT_EQ(lat, 63);
    std::vector<float> in(4000), outL(4000), outR(4000);
    for (int i = 0; i < 4000; i++) {
        in[i] = 0.5f * std::sin(2.0 * M_PI * 440.0 * i / SND_RATE);
        Limiter_Next(&lim, in[i], -in[i], &outL[i], &outR[i]);
    }
    for (int i = lat; i < 4000; i++) {
        ASSERT_FLOAT_EQ(outL[i], in[i - lat]) << i;
        ASSERT_FLOAT_EQ(outR[i], -in[i - lat]) << i;
    }
}

TEST(Limiter, RecoversAfterAPeak)
{
    Limiter lim;
    Limiter_Init(&lim, -6.0f, 0.05f);
    float l, r;
    Limiter_Next(&lim, 2.0f, 2.0f, &l, &r); // one spike, four times the ceiling
    for (int i = 0; i < SND_RATE; i++)
        Limiter_Next(&lim, 0.25f, 0.25f, &l, &r);
    EXPECT_NEAR(l, 0.25f, 1e-4f); // a second later the gain is back to one
}

TEST(Delay, EchoesCrossSidesAtTheDelayLength)
{
    Delay d;
    Delay_Init(&d, 1000, 0.5f, 1.0f); // no darkening, so the echoes are exact
    std::vector<float> L(3500), R(3500);
    for (int i = 0; i < 3500; i++)
        Delay_Next(&d, i == 0 ? 1.0f : 0.0f, 0.0f, &L[i], &R[i]);
    for (int i = 0; i < 3500; i++) {
        float wantL = i == 1000 ? 0.5f : i == 3000 ? 0.125f : 0.0f;
        float wantR = i == 2000 ? 0.25f : 0.0f;
        ASSERT_FLOAT_EQ(L[i], wantL) << i;
        ASSERT_FLOAT_EQ(R[i], wantR) << i;
    }
}

TEST(Reverb, ImpulseRingsOnAndDiesAway)
{
    static Reverb rv;
    Reverb_Init(&rv, 0.86f, 0.35f);
    double first = 0.0, later = 0.0;
    float silentUntil = -1;
    for (int i = 0; i < SND_RATE * 4; i++) {
        float l, r;
        Reverb_Next(&rv, i == 0 ? 1.0f : 0.0f, &l, &r);
        float e = l * l + r * r;
        if (silentUntil < 0 && e > 0.0f)
            silentUntil = (float)i;
        if (i < SND_RATE / 2)
            first += e;
        else if (i >= SND_RATE * 3)
            later += e;
    }
    EXPECT_GT(silentUntil, 600.0f); // the shortest comb is 1116 samples at 44.1 kHz: 809 here
    EXPECT_LT(silentUntil, 900.0f);
    EXPECT_GT(first, 0.0);
    EXPECT_LT(later, first * 1e-3); // more than 30 dB down after three seconds
}

TEST(Wav, HeaderFieldsDescribe16BitStereoAt32kHz)
{
    uint8_t h[WAV_HEADER_BYTES];
    Wav_Header(h, 32000, 32000, 2);
    const uint8_t want[WAV_HEADER_BYTES] = {
        'R', 'I', 'F', 'F', 0x24, 0xf4, 0x01, 0x00, 'W', 'A', 'V', 'E',
        'f', 'm', 't', ' ', 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00,
        0x00, 0x7d, 0x00, 0x00,   // 32000 Hz
        0x00, 0xf4, 0x01, 0x00,   // 128000 bytes per second
        0x04, 0x00, 0x10, 0x00,   // 4 bytes per frame, 16 bits
        'd', 'a', 't', 'a', 0x00, 0xf4, 0x01, 0x00, // 128000 bytes of samples
    };
    for (int i = 0; i < WAV_HEADER_BYTES; i++)
        EXPECT_EQ(h[i], want[i]) << "byte " << i;
}

TEST(Wav, SamplesRoundAndSaturate)
{
    EXPECT_EQ(Wav_Sample(0.0f), 0);
    EXPECT_EQ(Wav_Sample(1.0f), 32767);
    EXPECT_EQ(Wav_Sample(-1.0f), -32767);
    EXPECT_EQ(Wav_Sample(0.5f), 16384);
    EXPECT_EQ(Wav_Sample(-0.5f), -16383);
    EXPECT_EQ(Wav_Sample(1.7f), 32767);
    EXPECT_EQ(Wav_Sample(-1.7f), -32768);
}

TEST(Wav, FileHoldsHeaderThenLittleEndianSamples)
{
    char dir[] = "/tmp/wavtestXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/t.wav";
    const int16_t samples[6] = { 1, -2, 0x1234, -32768, 32767, 0 };
    ASSERT_EQ(Wav_Write(path.c_str(), samples, 3, SND_RATE, 2), 1);

    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    uint8_t bytes[100];
    size_t n = std::fread(bytes, 1, sizeof bytes, f);
    std::fclose(f);
    std::remove(path.c_str());
    rmdir(dir);

    ASSERT_EQ(n, 44u + 12u);
    EXPECT_EQ(bytes[40], 12); // data size
    const uint8_t want[12] = { 0x01, 0x00, 0xfe, 0xff, 0x34, 0x12, 0x00, 0x80, 0xff, 0x7f, 0x00, 0x00 };
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(bytes[44 + i], want[i]) << "sample byte " << i;
}
