// snd_filter.cpp -- the resonant state-variable filter every voice and drum goes through
#include "snd.h"

#include <cmath>

constexpr float FILTER_MIN_HZ = 20.0f;
constexpr float FILTER_MAX_HZ = SND_RATE * 0.45f;   // keep tan() away from Nyquist

void svfReset(Svf* f)
{
  f->ic1 = f->ic2 = 0.0f;
  f->low = f->band = f->high = 0.0f;
  svfSet(f, 1000.0f, 0.0f);
}

void svfSet(Svf* f, float cutoffHz, float resonance)
{
  if (cutoffHz < FILTER_MIN_HZ)
    cutoffHz = FILTER_MIN_HZ;
  if (cutoffHz > FILTER_MAX_HZ)
    cutoffHz = FILTER_MAX_HZ;
  if (resonance < 0.0f)
    resonance = 0.0f;
  if (resonance > 0.98f)
    resonance = 0.98f;
  f->g  = (float)std::tan(M_PI * cutoffHz / SND_RATE);
  f->k  = 2.0f - 2.0f * resonance;   // 1/Q: 2 is flat, toward 0 rings
  f->a1 = 1.0f / (1.0f + f->g * (f->g + f->k));
  f->a2 = f->g * f->a1;
  f->a3 = f->g * f->a2;
}

float svfNext(Svf* f, float in)
{
  float v3 = in - f->ic2;
  float v1 = f->a1 * f->ic1 + f->a2 * v3;
  float v2 = f->ic2 + f->a2 * f->ic1 + f->a3 * v3;
  f->ic1   = 2.0f * v1 - f->ic1;
  f->ic2   = 2.0f * v2 - f->ic2;
  f->low   = v2;
  f->band  = v1;
  f->high  = in - f->k * v1 - v2;
  return v2;
}
