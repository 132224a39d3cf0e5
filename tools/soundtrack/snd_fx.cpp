// snd_fx.cpp -- the send effects: a plate-like reverb and a ping-pong echo
#include "snd.h"

// Comb and all-pass lengths of the classic Schroeder-Moorer room, tuned at
// 44.1 kHz and scaled to our rate; the right channel is a little longer.
static const int combTuning[REVERB_COMBS]   = { 1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617 };
static const int apTuning[REVERB_ALLPASSES] = { 556, 441, 341, 225 };
constexpr int    STEREO_SPREAD              = 23;
constexpr float  ALLPASS_GAIN               = 0.5f;

static int scaleFrom44k(int len44k)
{
  return len44k * SND_RATE / 44100;
}

void reverbInit(Reverb* r, float roomSize, float damp)
{
  for (int c = 0; c < 2; c++) {
    for (int i = 0; i < REVERB_COMBS; i++) {
      Comb* cb  = &r->comb[c][i];
      cb->len   = scaleFrom44k(combTuning[i] + c * STEREO_SPREAD);
      cb->pos   = 0;
      cb->store = 0.0f;
      for (int j = 0; j < REVERB_COMB_MAX; j++)
        cb->buf[j] = 0.0f;
    }
    for (int i = 0; i < REVERB_ALLPASSES; i++) {
      Allpass* ap = &r->ap[c][i];
      ap->len     = scaleFrom44k(apTuning[i] + c * STEREO_SPREAD);
      ap->pos     = 0;
      for (int j = 0; j < REVERB_AP_MAX; j++)
        ap->buf[j] = 0.0f;
    }
  }
  r->feedback = roomSize;
  r->damp     = damp;
}

static float reverbChannel(Reverb* r, int c, float in)
{
  float out = 0.0f;
  for (int i = 0; i < REVERB_COMBS; i++) {
    Comb* cb         = &r->comb[c][i];
    float y          = cb->buf[cb->pos];
    cb->store        = y * (1.0f - r->damp) + cb->store * r->damp;
    cb->buf[cb->pos] = in + cb->store * r->feedback;
    if (++cb->pos >= cb->len)
      cb->pos = 0;
    out += y;
  }
  for (int i = 0; i < REVERB_ALLPASSES; i++) {
    Allpass* ap      = &r->ap[c][i];
    float    b       = ap->buf[ap->pos];
    ap->buf[ap->pos] = out + b * ALLPASS_GAIN;
    out              = b - out;
    if (++ap->pos >= ap->len)
      ap->pos = 0;
  }
  return out;
}

void reverbNext(Reverb* r, float in, float* outL, float* outR)
{
  *outL = reverbChannel(r, 0, in);
  *outR = reverbChannel(r, 1, in);
}

void delayInit(Delay* d, int lenSamples, float feedback, float lowpass)
{
  d->len      = lenSamples < 1 ? 1 : lenSamples > DELAY_MAX ? DELAY_MAX : lenSamples;
  d->pos      = 0;
  d->feedback = feedback;
  d->lpCoef   = lowpass;
  for (int c = 0; c < 2; c++) {
    d->lpState[c] = 0.0f;
    for (int i = 0; i < DELAY_MAX; i++)
      d->buf[c][i] = 0.0f;
  }
}

// Each echo crosses to the other side and comes back a little darker.
void delayNext(Delay* d, float inL, float inR, float* outL, float* outR)
{
  float yl = d->buf[0][d->pos], yr = d->buf[1][d->pos];
  d->lpState[0] += (yl - d->lpState[0]) * d->lpCoef;
  d->lpState[1] += (yr - d->lpState[1]) * d->lpCoef;
  d->buf[0][d->pos] = 0.5f * (inL + inR) + d->lpState[1] * d->feedback;
  d->buf[1][d->pos] = d->lpState[0] * d->feedback;
  if (++d->pos >= d->len)
    d->pos = 0;
  *outL = yl;
  *outR = yr;
}
