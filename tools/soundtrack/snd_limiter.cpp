// snd_limiter.cpp -- the master limiter: look-ahead, so peaks are caught before they pass
#include "snd.h"

#include <cmath>

// The gain for a sample is the box average of the minimum needed gain over the
// look-ahead window; since every term of that average is at most the gain the
// delayed sample needs, the output can never pass the ceiling.
constexpr float LIMITER_SAFETY = 0.999f;   // room for rounding in the running sum

int limiterLatency()
{
  return LIMITER_LOOKAHEAD - 1;
}

void limiterInit(Limiter* l, float ceilingDb, float releaseSec)
{
  l->ceiling     = (float)std::pow(10.0, ceilingDb / 20.0) * LIMITER_SAFETY;
  l->releaseCoef = (float)std::exp(-1.0 / (releaseSec * SND_RATE));
  for (int i = 0; i < LIMITER_LOOKAHEAD; i++) {
    l->want[i]   = 1.0f;
    l->smooth[i] = 1.0f;
    l->delayL[i] = l->delayR[i] = 0.0f;
  }
  l->smoothSum = LIMITER_LOOKAHEAD;
  l->held      = 1.0f;
  l->pos       = 0;
}

void limiterNext(Limiter* l, float inL, float inR, float* outL, float* outR)
{
  float peak = std::fabs(inL) > std::fabs(inR) ? std::fabs(inL) : std::fabs(inR);
  float need = peak > l->ceiling ? l->ceiling / peak : 1.0f;

  int p        = l->pos;
  l->want[p]   = need;
  float lowest = 1.0f;
  for (int i = 0; i < LIMITER_LOOKAHEAD; i++)
    if (l->want[i] < lowest)
      lowest = l->want[i];

  // recover toward unity slowly, but never above what the window needs
  float held = 1.0f - (1.0f - l->held) * l->releaseCoef;
  if (held > lowest)
    held = lowest;
  l->held = held;

  l->smoothSum += held - l->smooth[p];
  l->smooth[p] = held;
  float gain   = (float)(l->smoothSum / LIMITER_LOOKAHEAD);

  // the oldest sample in the window leaves now
  int oldest   = (p + 1) % LIMITER_LOOKAHEAD;
  l->delayL[p] = inL;
  l->delayR[p] = inR;
  *outL        = l->delayL[oldest] * gain;
  *outR        = l->delayR[oldest] * gain;
  l->pos       = oldest;
}
