// snd_mix.cpp -- the renderer: voices for every note, the buses, sends and the master
#include "snd.h"

#include <cmath>

constexpr int   MAX_VOICES      = 96;   // sounding at once; the oldest is cut when full
constexpr int   MAX_UNISON      = 7;
constexpr int   CONTROL_RATE    = 16;      // samples between filter updates
constexpr float DUCK_DEPTH      = 0.55f;   // how far the kick pushes the pumped bus down
constexpr float DUCK_SEC        = 0.22f;   // until it is back up
constexpr int   DUCK_ATTACK     = 96;      // samples of the way down, so it does not click
constexpr float REVERB_ROOM     = 0.86f;
constexpr float REVERB_DAMP     = 0.35f;
constexpr float REVERB_INPUT    = 0.015f;   // the comb bank adds eight taps; keep its input low
constexpr float REVERB_RETURN   = 1.0f;
constexpr float DELAY_FEEDBACK  = 0.45f;
constexpr float DELAY_LOWPASS   = 0.35f;
constexpr float DELAY_RETURN    = 0.6f;
constexpr float VIBRATO_HZ      = 5.2f;
constexpr float VIBRATO_ONSET   = 0.25f;   // seconds before the vibrato is full
constexpr float BELL_RATIO      = 3.5f;    // modulator over carrier: a glassy, inharmonic bell
constexpr float BELL_INDEX      = 1.6f;
constexpr float BELL_INDEX_SEC  = 0.35f;
constexpr float MASTER_GAIN     = 0.85f;
constexpr float MASTER_CEILING  = -2.6f;      // dBFS: the encoder adds up to about 1 dB of overshoot
constexpr float MASTER_RELEASE  = 0.12f;      // seconds
constexpr int   LOOP_FADE_OUT   = SND_STEP;   // the last sixteenth fades to silence
constexpr int   LOOP_FADE_IN    = 192;
constexpr int   LIMITER_PREROLL = SND_RATE;   // the song's end runs through the limiter first

// How each track sounds; drums use only the mix columns (gain, pan, sends).
struct Instrument {
  Track track;
  Wave  wave;
  int   unison;                            // oscillators per voice
  float detune;                            // spread of the unison, semitones edge to edge
  float attack, decay, sustain, release;   // seconds, level
  float cutoff;                            // Hz, before the envelope and the lane
  float envOctaves;                        // filter opening from the envelope at its peak
  float resonance;
  int   lane;               // AutoLane that scales the cutoff, or -1
  float gate;               // part of the written length that is held
  float gain, pan, width;   // pan -1..1; width spreads the unison
  float reverb, delay;      // sends
  int   ducked;             // pumped by the kick
  int   transpose;          // semitones
  float vibrato;            // semitones
};

// clang-format off
static const Instrument instruments[] = {
  // track           wave         uni detune  att    dec   sus   rel    cutoff  envOct res  lane      gate  gain   pan    width rev   dly   duck tr  vib
  { TRACK_KICK,      WAVE_SINE,   1, 0.00f, 0.000f,0.00f,0.00f,0.00f,    0.0f, 0.0f, 0.0f, -1,       1.0f, 0.55f, 0.00f, 0.0f, 0.00f,0.00f,0,  0, 0.0f },
  { TRACK_CLAP,      WAVE_NOISE,  1, 0.00f, 0.000f,0.00f,0.00f,0.00f,    0.0f, 0.0f, 0.0f, -1,       1.0f, 0.40f, 0.00f, 0.0f, 0.30f,0.00f,0,  0, 0.0f },
  { TRACK_SNARE,     WAVE_NOISE,  1, 0.00f, 0.000f,0.00f,0.00f,0.00f,    0.0f, 0.0f, 0.0f, -1,       1.0f, 0.38f, 0.00f, 0.0f, 0.25f,0.00f,0,  0, 0.0f },
  { TRACK_HAT,       WAVE_NOISE,  1, 0.00f, 0.000f,0.00f,0.00f,0.00f,    0.0f, 0.0f, 0.0f, -1,       1.0f, 0.36f, 0.30f, 0.0f, 0.05f,0.00f,0,  0, 0.0f },
  { TRACK_OPENHAT,   WAVE_NOISE,  1, 0.00f, 0.000f,0.00f,0.00f,0.00f,    0.0f, 0.0f, 0.0f, -1,       1.0f, 0.28f,-0.25f, 0.0f, 0.10f,0.00f,0,  0, 0.0f },
  { TRACK_CRASH,     WAVE_NOISE,  1, 0.00f, 0.000f,0.00f,0.00f,0.00f,    0.0f, 0.0f, 0.0f, -1,       1.0f, 0.22f, 0.00f, 0.0f, 0.30f,0.00f,0,  0, 0.0f },
  { TRACK_RISER,     WAVE_NOISE,  2, 0.00f, 0.000f,0.00f,1.00f,0.05f,  300.0f, 4.8f, 0.5f, -1,       1.0f, 0.22f, 0.00f, 1.0f, 0.40f,0.00f,0,  0, 0.0f },
  { TRACK_BASS,      WAVE_SAW,    2, 0.10f, 0.002f,0.14f,0.45f,0.04f,  160.0f, 3.2f, 0.35f,-1,       0.8f, 0.34f, 0.00f, 0.0f, 0.00f,0.00f,1,  0, 0.0f },
  { TRACK_PAD,       WAVE_SAW,    7, 0.32f, 0.250f,0.60f,0.80f,0.55f,    0.9f, 0.4f, 0.15f,AUTO_PAD, 1.0f, 0.068f,0.00f, 0.9f, 0.35f,0.00f,1,  0, 0.0f },
  { TRACK_ARP,       WAVE_PULSE,  1, 0.00f, 0.002f,0.13f,0.00f,0.05f,    0.6f, 1.6f, 0.40f,AUTO_ARP, 0.6f, 0.17f, 0.00f, 0.0f, 0.20f,0.40f,1, 12, 0.0f },
  { TRACK_LEAD,      WAVE_SAW,    5, 0.18f, 0.010f,0.30f,0.70f,0.25f, 2400.0f, 1.2f, 0.20f,-1,       0.92f,0.15f, 0.00f, 0.5f, 0.35f,0.25f,0,  0, 0.12f },
  { TRACK_HARMONY,   WAVE_SAW,    5, 0.22f, 0.010f,0.30f,0.60f,0.25f, 1700.0f, 1.0f, 0.15f,-1,       0.92f,0.085f,0.00f, 0.9f, 0.40f,0.20f,0,  0, 0.12f },
  { TRACK_BELL,      WAVE_SINE,   1, 0.00f, 0.002f,1.40f,0.00f,0.90f,    0.0f, 0.0f, 0.0f, -1,       1.0f, 0.22f, 0.10f, 0.0f, 0.50f,0.35f,0,  0, 0.0f },
};
// clang-format on

struct Voice {
  int               active;
  const Instrument* ins;
  int               age;      // samples since the note began
  int               hold;     // samples until the note is let go
  int               length;   // written length, samples
  float             vel;
  double            hz;   // pitch of the note
  Osc               osc[MAX_UNISON];
  float             oscL[MAX_UNISON], oscR[MAX_UNISON];   // pan gains of each oscillator
  Env               env;
  Svf               filterL, filterR;
  uint32_t          seed;
  double            modPhase;   // bell modulator, turns
  DrumVoice         drum;
};

static Voice     voices[MAX_VOICES];       // the pool
static NoteEvent events[SEQ_MAX_EVENTS];   // the whole song, in order
static Reverb    reverb;
static Delay     delay;
static uint32_t  voiceSeed;   // hands every voice its own noise and phases

static Voice* freeVoice()
{
  Voice* oldest = &voices[0];
  for (int i = 0; i < MAX_VOICES; i++) {
    if (!voices[i].active)
      return &voices[i];
    if (voices[i].age > oldest->age)
      oldest = &voices[i];
  }
  return oldest;
}

static void startVoice(const NoteEvent* ev)
{
  Voice*            v   = freeVoice();
  const Instrument* ins = &instruments[ev->track];

  v->active   = 1;
  v->ins      = ins;
  v->age      = 0;
  v->length   = ev->length;
  v->hold     = (int)(ev->length * ins->gate);
  v->vel      = ev->vel;
  voiceSeed   = voiceSeed * 1664525u + 1013904223u;
  v->seed     = voiceSeed;
  v->modPhase = 0.0;
  if (ev->track <= TRACK_CRASH) {
    drumStart(&v->drum, (Drum)ev->track, ev->vel, v->seed | 1u);
    return;
  }
  v->hz = noteHz(ev->note + ins->transpose);
  for (int i = 0; i < ins->unison; i++) {
    float spread = ins->unison > 1 ? (float)i / (ins->unison - 1) - 0.5f : 0.0f;   // -0.5 .. 0.5
    oscInit(&v->osc[i], v->hz * std::exp2(spread * ins->detune / 12.0f), 0.3f);
    uint32_t s      = v->seed + 977u * i;
    v->osc[i].phase = ins->unison > 1 ? (whiteNoise(&s) * 0.5 + 0.5) : 0.0;
    float pan       = ins->pan + spread * 2.0f * ins->width;   // -1 .. 1
    pan             = pan < -1.0f ? -1.0f : pan > 1.0f ? 1.0f : pan;
    v->oscL[i]      = std::sqrt(0.5f * (1.0f - pan));
    v->oscR[i]      = std::sqrt(0.5f * (1.0f + pan));
  }
  envStart(&v->env, ins->attack, ins->decay, ins->sustain, ins->release);
  svfReset(&v->filterL);
  svfReset(&v->filterR);
}

// Cutoff of a voice at this moment: base, lane, envelope; the riser sweeps over its whole length.
static float voiceCutoff(const Voice* v, int pos, float envLevel)
{
  const Instrument* ins = v->ins;
  float             hz  = ins->cutoff;
  if (ins->lane >= 0)
    hz *= automationHz(ins->lane, pos);
  if (ins->track == TRACK_RISER) {
    float p = (float)v->age / v->length;
    return hz * std::exp2(ins->envOctaves * p);
  }
  return hz * std::exp2(ins->envOctaves * envLevel);
}

static void renderSynth(Voice* v, int pos, float* l, float* r)
{
  const Instrument* ins = v->ins;
  if (v->age == v->hold)
    envRelease(&v->env);
  float level = envNext(&v->env);
  if (v->env.stage == ENV_OFF) {
    v->active = 0;
    return;
  }
  if (v->age % CONTROL_RATE == 0 && ins->track != TRACK_BELL) {
    float cut = voiceCutoff(v, pos, level);
    svfSet(&v->filterL, cut, ins->resonance);
    svfSet(&v->filterR, cut, ins->resonance);
  }
  float sec = (float)v->age / SND_RATE;
  float sl = 0.0f, sr = 0.0f;
  if (ins->track == TRACK_BELL) {
    double inc = v->hz / SND_RATE;
    v->modPhase += inc * BELL_RATIO;
    float index = BELL_INDEX * std::exp(-sec / BELL_INDEX_SEC);
    float s     = sineOfTurns(v->osc[0].phase + index * sineOfTurns(v->modPhase));
    v->osc[0].phase += inc;
    v->osc[0].phase -= std::floor(v->osc[0].phase);
    sl = s * v->oscL[0];
    sr = s * v->oscR[0];
  } else {
    float vib = 1.0f;
    if (ins->vibrato > 0.0f) {
      float depth = sec < VIBRATO_ONSET ? sec / VIBRATO_ONSET : 1.0f;
      vib = 1.0f + depth * ins->vibrato * 0.05776f * sineOfTurns(sec * VIBRATO_HZ);   // ln2/12 per semitone
    }
    for (int i = 0; i < ins->unison; i++) {
      double inc    = v->osc[i].inc;
      v->osc[i].inc = inc * vib;
      float s       = oscNext(&v->osc[i], ins->wave, &v->seed);
      v->osc[i].inc = inc;
      sl += s * v->oscL[i];
      sr += s * v->oscR[i];
    }
    sl = svfNext(&v->filterL, sl);
    sr = svfNext(&v->filterR, sr);
  }
  if (ins->track == TRACK_RISER) {
    float p = (float)v->age / v->length;
    level *= p * p;
  }
  float g = level * v->vel * ins->gain;
  *l      = sl * g;
  *r      = sr * g;
}

static void renderDrum(Voice* v, float* l, float* r)
{
  if (v->drum.t >= drumLength(v->drum.kind)) {
    v->active = 0;
    return;
  }
  float s   = drumNext(&v->drum) * v->ins->gain;
  float pan = v->ins->pan;
  *l        = s * std::sqrt(0.5f * (1.0f - pan)) * 1.41421356f;
  *r        = s * std::sqrt(0.5f * (1.0f + pan)) * 1.41421356f;
}

static float duckGain(int sinceKick)
{
  float sec = (float)sinceKick / SND_RATE;
  if (sec >= DUCK_SEC)
    return 1.0f;
  float down = sinceKick < DUCK_ATTACK ? (float)sinceKick / DUCK_ATTACK : 1.0f;
  float u    = 1.0f - sec / DUCK_SEC;
  return 1.0f - DUCK_DEPTH * down * u * u;
}

void renderSong(float* out, int frames)
{
  for (int i = 0; i < MAX_VOICES; i++)
    voices[i].active = 0;
  voiceSeed = 0x4e454f4eu;   // "NEON"
  reverbInit(&reverb, REVERB_ROOM, REVERB_DAMP);
  delayInit(&delay, SND_STEP * 3, DELAY_FEEDBACK, DELAY_LOWPASS);
  int count     = sequenceSong(events, SEQ_MAX_EVENTS);
  int next      = 0;
  int sinceKick = SND_RATE;   // no kick yet

  for (int n = 0; n < frames; n++) {
    while (next < count && events[next].start <= n) {
      if (events[next].track == TRACK_KICK)
        sinceKick = 0;
      startVoice(&events[next++]);
    }
    float dryL = 0, dryR = 0, pumpL = 0, pumpR = 0, rev = 0, dlyL = 0, dlyR = 0;
    for (int i = 0; i < MAX_VOICES; i++) {
      Voice* v = &voices[i];
      if (!v->active)
        continue;
      float l = 0.0f, r = 0.0f;
      if (v->ins->track <= TRACK_CRASH)
        renderDrum(v, &l, &r);
      else
        renderSynth(v, n, &l, &r);
      v->age++;
      if (v->ins->ducked) {
        pumpL += l;
        pumpR += r;
      } else {
        dryL += l;
        dryR += r;
      }
      rev += (l + r) * v->ins->reverb;
      dlyL += l * v->ins->delay;
      dlyR += r * v->ins->delay;
    }
    float duck = duckGain(sinceKick++);
    float rl, rr, el, er;
    reverbNext(&reverb, rev * REVERB_INPUT, &rl, &rr);
    delayNext(&delay, dlyL, dlyR, &el, &er);
    out[2 * n]     = dryL + pumpL * duck + rl * REVERB_RETURN + el * DELAY_RETURN;
    out[2 * n + 1] = dryR + pumpR * duck + rr * REVERB_RETURN + er * DELAY_RETURN;
  }
}

// Folds the echoes past the end onto the start (the song loops), fades the
// last sixteenth and the first moments so the loop point has no step, limits
// and rounds to 16 bits. mix holds SND_RENDER_FRAMES frames; out gets SND_SONG_FRAMES.
void renderMaster(float* mix, int16_t* out)
{
  const int n = SND_SONG_FRAMES;
  for (int i = 0; i < SND_TAIL_FRAMES * 2; i++)
    mix[i] += mix[n * 2 + i];
  for (int i = 0; i < LOOP_FADE_OUT; i++) {
    float g = 0.5f + 0.5f * sineOfTurns(0.25 + 0.5 * (double)i / LOOP_FADE_OUT);   // cosine from 1 to 0
    mix[2 * (n - LOOP_FADE_OUT + i)] *= g;
    mix[2 * (n - LOOP_FADE_OUT + i) + 1] *= g;
  }
  for (int i = 0; i < LOOP_FADE_IN; i++) {
    float g = (float)i / LOOP_FADE_IN;
    mix[2 * i] *= g;
    mix[2 * i + 1] *= g;
  }

  Limiter lim;
  limiterInit(&lim, MASTER_CEILING, MASTER_RELEASE);
  const int lat = limiterLatency();
  for (int i = -LIMITER_PREROLL; i < n + lat; i++) {
    int   src = (i + n) % n;
    float l, r;
    limiterNext(&lim, mix[2 * src] * MASTER_GAIN, mix[2 * src + 1] * MASTER_GAIN, &l, &r);
    int dst = i - lat;
    if (dst >= 0 && dst < n) {
      out[2 * dst]     = wavSample(l);
      out[2 * dst + 1] = wavSample(r);
    }
  }
}
