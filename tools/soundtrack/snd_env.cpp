// snd_env.cpp -- ADSR envelopes: linear attack, quadratic fall to sustain and to silence
#include "snd.h"

static int secondsToSamples(float sec)
{
  int n = (int)(sec * SND_RATE + 0.5f);
  return n < 1 ? 1 : n;
}

void envStart(Env* e, float attackSec, float decaySec, float sustain, float releaseSec)
{
  e->attack      = secondsToSamples(attackSec);
  e->decay       = secondsToSamples(decaySec);
  e->release     = secondsToSamples(releaseSec);
  e->sustain     = sustain;
  e->stage       = ENV_ATTACK;
  e->t           = 0;
  e->level       = 0.0f;
  e->releaseFrom = 0.0f;
}

void envRelease(Env* e)
{
  if (e->stage == ENV_RELEASE || e->stage == ENV_OFF)
    return;
  e->releaseFrom = e->level;
  e->stage       = ENV_RELEASE;
  e->t           = 0;
}

// Returns the level for this sample, then moves on by one sample.
float envNext(Env* e)
{
  float u;
  switch (e->stage) {
  case ENV_ATTACK:
    e->level = (float)e->t / e->attack;
    if (++e->t >= e->attack) {
      e->stage = ENV_DECAY;
      e->t     = 0;
    }
    break;
  case ENV_DECAY:
    u        = 1.0f - (float)e->t / e->decay;
    e->level = e->sustain + (1.0f - e->sustain) * u * u;
    if (++e->t >= e->decay) {
      e->stage = ENV_SUSTAIN;
      e->t     = 0;
    }
    break;
  case ENV_SUSTAIN:
    e->level = e->sustain;
    break;
  case ENV_RELEASE:
    u        = 1.0f - (float)e->t / e->release;
    e->level = e->releaseFrom * u * u;
    if (++e->t >= e->release)
      e->stage = ENV_OFF;
    break;
  default:
    e->level = 0.0f;
    break;
  }
  return e->level;
}
