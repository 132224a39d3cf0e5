// snd_drums.cpp -- the drum kit: kick, snare, clap, closed and open hat, crash
#include "snd.h"

#include <cmath>

struct DrumShape {
  float length;    // seconds until silent
  float bodyHz;    // resting pitch of the tonal part, 0 for none
  float sweepHz;   // extra pitch at the hit, falling away
  float sweepSec;
  float bodySec;    // decay of the tonal part
  float noiseSec;   // decay of the noise part
  float noiseHz;    // filter frequency of the noise
  float bodyGain, noiseGain;
};

// clang-format off
static const DrumShape drumShapes[] = {
  //            length bodyHz sweepHz sweepSec bodySec noiseSec noiseHz  body  noise
  /* kick    */ { 0.50f,  47.0f, 140.0f, 0.030f,  0.140f, 0.004f, 3000.0f, 1.00f, 0.30f },
  /* snare   */ { 0.40f, 180.0f,  60.0f, 0.020f,  0.060f, 0.140f, 1800.0f, 0.55f, 0.70f },
  /* clap    */ { 0.45f,   0.0f,   0.0f, 0.000f,  0.000f, 0.150f, 1250.0f, 0.00f, 1.00f },
  /* hat     */ { 0.15f,   0.0f,   0.0f, 0.000f,  0.000f, 0.028f, 7500.0f, 0.00f, 0.80f },
  /* openhat */ { 0.60f,   0.0f,   0.0f, 0.000f,  0.000f, 0.180f, 6500.0f, 0.00f, 0.65f },
  /* crash   */ { 3.00f,   0.0f,   0.0f, 0.000f,  0.000f, 0.900f, 4500.0f, 0.00f, 0.60f },
};
// clang-format on

constexpr float CLAP_GAP_SEC   = 0.011f;   // between the hand claps of one hit
constexpr int   CLAP_BURSTS    = 3;
constexpr float CLAP_BURST_SEC = 0.004f;

int drumLength(Drum kind)
{
  return (int)(drumShapes[kind].length * SND_RATE);
}

void drumStart(DrumVoice* d, Drum kind, float vel, uint32_t seed)
{
  const DrumShape* s = &drumShapes[kind];

  d->kind  = kind;
  d->t     = 0;
  d->vel   = vel;
  d->phase = 0.0;
  d->seed  = seed;
  svfReset(&d->f1);
  svfReset(&d->f2);
  float res = kind == DRUM_CLAP ? 0.45f : 0.2f;
  svfSet(&d->f1, s->noiseHz, res);
  svfSet(&d->f2, s->noiseHz * 1.6f, 0.0f);
}

static float softClip(float x)
{
  if (x > 3.0f)
    return 1.0f;
  if (x < -3.0f)
    return -1.0f;
  return x * (27.0f + x * x) / (27.0f + 9.0f * x * x);
}

// Loudness of the noise part of a clap: three quick claps, then the room.
static float clapEnvelope(float sec)
{
  float env = 0.0f;
  for (int i = 0; i < CLAP_BURSTS; i++) {
    float u = sec - i * CLAP_GAP_SEC;
    if (u >= 0.0f && u < CLAP_GAP_SEC)
      env = std::exp(-u / CLAP_BURST_SEC);
  }
  float tail = sec - CLAP_BURSTS * CLAP_GAP_SEC;
  if (tail >= 0.0f)
    env = std::exp(-tail / drumShapes[DRUM_CLAP].noiseSec);
  return env;
}

float drumNext(DrumVoice* d)
{
  const DrumShape* s    = &drumShapes[d->kind];
  float            sec  = (float)d->t / SND_RATE;
  float            body = 0.0f, noise = whiteNoise(&d->seed);

  if (s->bodyHz > 0.0f) {
    float hz = s->bodyHz + s->sweepHz * std::exp(-sec / s->sweepSec);
    d->phase += hz / SND_RATE;
    d->phase -= std::floor(d->phase);
    body = sineOfTurns(d->phase) * std::exp(-sec / s->bodySec);
  }

  float shaped;
  switch (d->kind) {
  case DRUM_KICK:
    svfNext(&d->f1, noise);
    shaped = d->f1.band * std::exp(-sec / s->noiseSec);
    body   = softClip(body * 1.8f);
    break;
  case DRUM_SNARE:
    svfNext(&d->f1, noise);
    shaped = d->f1.high * std::exp(-sec / s->noiseSec);
    break;
  case DRUM_CLAP:
    svfNext(&d->f1, noise);
    shaped = d->f1.band * 2.0f * clapEnvelope(sec);
    break;
  default:   // hats and crash: two high-pass stages of noise
    svfNext(&d->f1, noise);
    svfNext(&d->f2, d->f1.high);
    shaped = (d->f2.high + 0.5f * d->f1.band) * std::exp(-sec / s->noiseSec);
    break;
  }

  // a short fade at the end so the voice stops without a step
  int   left = drumLength(d->kind) - d->t;
  float fade = left < 256 ? left / 256.0f : 1.0f;
  d->t++;
  return (s->bodyGain * body + s->noiseGain * shaped) * d->vel * fade;
}
