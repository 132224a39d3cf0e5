// snd_osc.cpp -- oscillators: band-limited saw and pulse, table sine, white noise
#include "snd.h"

#include <cmath>

constexpr int SINE_TABLE = 4096;   // entries per turn, one extra for interpolation

static float sineTable[SINE_TABLE + 1];   // sin(2 pi i / SINE_TABLE)
static int   sineReady;                   // table built

static void buildSineTable()
{
  for (int i = 0; i <= SINE_TABLE; i++)
    sineTable[i] = (float)std::sin(2.0 * M_PI * i / SINE_TABLE);
  sineReady = 1;
}

float sineOfTurns(double phase)
{
  if (!sineReady)
    buildSineTable();
  phase -= std::floor(phase);
  double pos = phase * SINE_TABLE;
  int    i   = (int)pos;
  if (i >= SINE_TABLE)
    i = SINE_TABLE - 1;
  float frac = (float)(pos - i);
  return sineTable[i] + (sineTable[i + 1] - sineTable[i]) * frac;
}

float whiteNoise(uint32_t* seed)
{
  uint32_t x = *seed ? *seed : 0x9e3779b9u;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  *seed = x;
  return (float)((int32_t)x) * (1.0f / 2147483648.0f);
}

double noteHz(int note)
{
  return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

void oscInit(Osc* o, double hz, float width)
{
  o->phase = 0.0;
  o->inc   = hz / SND_RATE;
  o->width = width;
}

// Smooths the jump of a waveform that steps at phase 0 (polynomial band-limited step).
static float polyBlep(double t, double dt)
{
  if (t < dt) {
    t /= dt;
    return (float)(t + t - t * t - 1.0);
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return (float)(t * t + t + t + 1.0);
  }
  return 0.0f;
}

float oscNext(Osc* o, Wave wave, uint32_t* seed)
{
  double t = o->phase, dt = o->inc;
  float  v;
  switch (wave) {
  case WAVE_SAW:
    v = (float)(2.0 * t - 1.0) - polyBlep(t, dt);
    break;
  case WAVE_SQUARE:
  case WAVE_PULSE: {
    double w  = wave == WAVE_SQUARE ? 0.5 : o->width;
    double t2 = t + 1.0 - w;
    t2 -= std::floor(t2);
    v = (t < w ? 1.0f : -1.0f) + polyBlep(t, dt) - polyBlep(t2, dt);
    break;
  }
  case WAVE_SINE:
    v = sineOfTurns(t);
    break;
  default:
    v = whiteNoise(seed);
    break;
  }
  t += dt;
  if (t >= 1.0)
    t -= 1.0;
  o->phase = t;
  return v;
}
