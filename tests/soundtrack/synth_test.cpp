// synth_test.cpp -- oscillators, envelopes, the filter and the drum kit
#include "snd.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Upward zero crossings in one second of a wave: its frequency in Hz.
int RisingCrossingsPerSecond(Wave wave, double hz)
{
    Osc o;
    Osc_Init(&o, hz, 0.3f);
    uint32_t seed = 1;
    float prev = Osc_Next(&o, wave, &seed);
    int count = 0;
    for (int i = 1; i < SND_RATE; i++) {
        float v = Osc_Next(&o, wave, &seed);
        if (prev < 0.0f && v >= 0.0f)
            count++;
        prev = v;
    }
    return count;
}

float PeakThroughLowpass(double hz, float cutoff, float resonance)
{
    Svf f;
    Svf_Reset(&f);
    Svf_Set(&f, cutoff, resonance);
    float peak = 0.0f;
    for (int i = 0; i < SND_RATE / 2; i++) {
        float out = Svf_Next(&f, std::sin(2.0 * M_PI * hz * i / SND_RATE));
        if (i > SND_RATE / 4 && std::fabs(out) > peak) // after the filter has settled
            peak = std::fabs(out);
    }
    return peak;
}

} // namespace

TEST(Osc, EveryWaveRunsAtItsFrequency)
{
    struct Case { Wave wave; double hz; };
    const Case cases[] = {
        { WAVE_SAW, 440.0 }, { WAVE_SAW, 55.0 }, { WAVE_SAW, 1000.0 },
        { WAVE_SQUARE, 440.0 }, { WAVE_SQUARE, 73.0 },
        { WAVE_PULSE, 440.0 }, { WAVE_PULSE, 1760.0 },
        { WAVE_SINE, 440.0 }, { WAVE_SINE, 100.0 },
    };
    for (const Case &c : cases) {
        int crossings = RisingCrossingsPerSecond(c.wave, c.hz);
        EXPECT_NEAR(crossings, c.hz, 1.0) << "wave " << c.wave << " at " << c.hz << " Hz";
    }
}

TEST(Osc, NoteNumbersFollowEqualTemperament)
{
    EXPECT_NEAR(Osc_NoteHz(69), 440.0, 1e-9);
    EXPECT_NEAR(Osc_NoteHz(81), 880.0, 1e-9);
    EXPECT_NEAR(Osc_NoteHz(57), 220.0, 1e-9);
    EXPECT_NEAR(Osc_NoteHz(60), 261.6256, 1e-3);
    EXPECT_NEAR(Osc_NoteHz(38), 73.4162, 1e-3); // the bass's D2
}

TEST(Osc, SineTableMatchesTheSineAtQuarterTurns)
{
    EXPECT_NEAR(Osc_Sine(0.0), 0.0f, 1e-6);
    EXPECT_NEAR(Osc_Sine(0.25), 1.0f, 1e-6);
    EXPECT_NEAR(Osc_Sine(0.5), 0.0f, 1e-6);
    EXPECT_NEAR(Osc_Sine(0.75), -1.0f, 1e-6);
    EXPECT_NEAR(Osc_Sine(1.125), 0.70710678f, 1e-5); // wraps past a whole turn
    EXPECT_NEAR(Osc_Sine(-0.25), -1.0f, 1e-6);
}

TEST(Osc, NoiseRepeatsFromTheSameSeedAndIsCentred)
{
    uint32_t a = 1234, b = 1234, c = 4321;
    double sum = 0.0;
    int differ = 0;
    for (int i = 0; i < 100000; i++) {
        float x = Osc_Noise(&a);
        ASSERT_EQ(x, Osc_Noise(&b));
        ASSERT_GE(x, -1.0f);
        ASSERT_LT(x, 1.0f);
        differ += x != Osc_Noise(&c);
        sum += x;
    }
    EXPECT_NEAR(sum / 100000, 0.0, 0.01);
    EXPECT_GT(differ, 99000);
}

TEST(Osc, SawHasNoOffsetAndStaysNearFullScale)
{
    Osc o;
    Osc_Init(&o, 440.0, 0.5f);
    uint32_t seed = 1;
    double sum = 0.0;
    float lo = 0.0f, hi = 0.0f;
    for (int i = 0; i < SND_RATE; i++) {
        float v = Osc_Next(&o, WAVE_SAW, &seed);
        sum += v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_NEAR(sum / SND_RATE, 0.0, 0.01);
    EXPECT_GT(hi, 0.85f);
    EXPECT_LT(lo, -0.85f);
    EXPECT_LE(hi, 1.05f);
    EXPECT_GE(lo, -1.05f);
}

TEST(Env, EachStageReachesItsLevelOnTime)
{
    // 10 ms attack (320 samples), 20 ms decay (640) to 0.5, 10 ms release (320)
    Env e;
    Env_Start(&e, 0.010f, 0.020f, 0.5f, 0.010f);
    float v[2000];
    for (int i = 0; i < 2000; i++)
        v[i] = Env_Next(&e);
    EXPECT_FLOAT_EQ(v[0], 0.0f);
    EXPECT_FLOAT_EQ(v[160], 0.5f);     // half way up
    EXPECT_FLOAT_EQ(v[320], 1.0f);     // top, first sample of the decay
    EXPECT_FLOAT_EQ(v[640], 0.625f);   // half way down: 0.5 + 0.5 * 0.5^2
    EXPECT_FLOAT_EQ(v[960], 0.5f);     // sustain
    EXPECT_FLOAT_EQ(v[1999], 0.5f);
    EXPECT_EQ(e.stage, ENV_SUSTAIN);

    Env_Release(&e);
    float r[400];
    for (int i = 0; i < 400; i++)
        r[i] = Env_Next(&e);
    EXPECT_FLOAT_EQ(r[0], 0.5f);
    EXPECT_FLOAT_EQ(r[160], 0.125f);   // half way: 0.5 * 0.5^2
    EXPECT_FLOAT_EQ(r[320], 0.0f);
    EXPECT_EQ(e.stage, ENV_OFF);
}

TEST(Env, ReleaseDuringAttackFallsFromWhereItWas)
{
    Env e;
    Env_Start(&e, 0.010f, 0.020f, 0.8f, 0.010f);
    for (int i = 0; i <= 80; i++)
        Env_Next(&e); // a quarter of the way up
    Env_Release(&e);
    EXPECT_FLOAT_EQ(Env_Next(&e), 0.25f);
    for (int i = 0; i < 400; i++)
        Env_Next(&e);
    EXPECT_EQ(e.stage, ENV_OFF);
    EXPECT_FLOAT_EQ(e.level, 0.0f);
}

TEST(Svf, LowpassPassesBassAndCutsTreble)
{
    EXPECT_NEAR(PeakThroughLowpass(100.0, 1000.0f, 0.0f), 1.0f, 0.05f);
    EXPECT_LT(PeakThroughLowpass(8000.0, 1000.0f, 0.0f), 0.03f); // three octaves up, 12 dB each
    EXPECT_NEAR(PeakThroughLowpass(1000.0, 1000.0f, 0.0f), 0.5f, 0.05f); // -6 dB at the cutoff without resonance
}

TEST(Svf, ResonanceLiftsTheCutoffFrequency)
{
    float flat = PeakThroughLowpass(1000.0, 1000.0f, 0.0f);
    float ringing = PeakThroughLowpass(1000.0, 1000.0f, 0.9f); // Q = 5
    EXPECT_NEAR(ringing, 5.0f, 0.3f);
    EXPECT_GT(ringing, 8.0f * flat);
}

TEST(Drum, KickFallsToItsBodyPitch)
{
    DrumVoice d;
    Drum_Start(&d, DRUM_KICK, 1.0f, 7);
    float prev = 0.0f;
    int crossings = 0;
    const int from = SND_RATE / 10, to = SND_RATE * 4 / 10; // 0.1 s .. 0.4 s
    for (int i = 0; i < to; i++) {
        float v = Drum_Next(&d);
        if (i > from && prev < 0.0f && v >= 0.0f)
            crossings++;
        prev = v;
    }
    EXPECT_NEAR(crossings, 47.0 * 0.3, 2.0); // 47 Hz body
}

TEST(Drum, EveryHitStartsLoudAndEndsInSilence)
{
    const Drum kinds[] = { DRUM_KICK, DRUM_SNARE, DRUM_CLAP, DRUM_HAT, DRUM_OPENHAT, DRUM_CRASH };
    for (Drum kind : kinds) {
        DrumVoice d;
        Drum_Start(&d, kind, 1.0f, 99);
        int len = Drum_Length(kind);
        float early = 0.0f, last = 0.0f;
        for (int i = 0; i < len; i++) {
            float v = Drum_Next(&d);
            ASSERT_TRUE(std::isfinite(v));
            ASSERT_LT(std::fabs(v), 2.0f) << "drum " << kind;
            if (i < SND_RATE / 50)
                early = std::max(early, std::fabs(v));
            last = std::fabs(v);
        }
        EXPECT_GT(early, 0.1f) << "drum " << kind;
        EXPECT_LT(last, 1e-3f) << "drum " << kind;
    }
}

TEST(Drum, HatIsBrighterThanKick)
{
    // share of sample-to-sample change in the signal: high for treble, low for bass
    auto brightness = [](Drum kind) {
        DrumVoice d;
        Drum_Start(&d, kind, 1.0f, 5);
        double diff = 0.0, level = 0.0;
        float prev = 0.0f;
        for (int i = 0; i < SND_RATE / 20; i++) {
            float v = Drum_Next(&d);
            diff += std::fabs(v - prev);
            level += std::fabs(v);
            prev = v;
        }
        return diff / level;
    };
    EXPECT_GT(brightness(DRUM_HAT), 1.0);
    EXPECT_LT(brightness(DRUM_KICK), 0.1);
}
