// snd.h -- the soundtrack generator's shared pieces: oscillators, envelopes,
// filter, drums, effects, limiter, WAV writer, sequencer and the song renderer
#pragma once

#include <cstdint>

//
// format of the rendered music
//
constexpr int SND_RATE          = 32000;                     // samples per second per channel
constexpr int SND_CHANNELS      = 2;                         // interleaved left, right
constexpr int SND_BPM           = 128;                       // beats per minute
constexpr int SND_STEP          = SND_RATE * 15 / SND_BPM;   // samples per sixteenth note (3750)
constexpr int SND_STEPS_PER_BAR = 16;
constexpr int SND_BAR           = SND_STEP * SND_STEPS_PER_BAR;   // samples per bar (60000)
constexpr int SND_SONG_BARS     = 64;
constexpr int SND_SONG_FRAMES   = SND_BAR * SND_SONG_BARS;   // 3 840 000 frames, 120 s
constexpr int SND_TAIL_FRAMES   = SND_RATE * 4;   // echoes past the end, folded back onto the start
constexpr int SND_RENDER_FRAMES = SND_SONG_FRAMES + SND_TAIL_FRAMES;

//
// oscillators (phase in turns, 0 <= phase < 1)
//
enum Wave { WAVE_SAW, WAVE_SQUARE, WAVE_PULSE, WAVE_SINE, WAVE_NOISE };

struct Osc {
  double phase;   // turns
  double inc;     // turns per sample
  float  width;   // high part of a pulse, in turns
};

void   oscInit(Osc* o, double hz, float width);
float  oscNext(Osc* o, Wave wave, uint32_t* seed);
float  sineOfTurns(double phase);    // table sine of a phase in turns
float  whiteNoise(uint32_t* seed);   // white noise in [-1, 1), xorshift32
double noteHz(int note);             // equal temperament, note 69 = 440 Hz

//
// ADSR envelope: linear attack, quadratic fall to the sustain level and to zero
//
enum EnvStage { ENV_ATTACK, ENV_DECAY, ENV_SUSTAIN, ENV_RELEASE, ENV_OFF };

struct Env {
  int      attack, decay, release;   // samples
  float    sustain;                  // level 0..1
  EnvStage stage;
  int      t;             // samples into the current stage
  float    level;         // last value returned
  float    releaseFrom;   // level when the release began
};

void  envStart(Env* e, float attackSec, float decaySec, float sustain, float releaseSec);
void  envRelease(Env* e);
float envNext(Env* e);

//
// resonant state-variable filter (trapezoidal, stable under fast modulation)
//
struct Svf {
  float g, k, a1, a2, a3;   // coefficients from cutoff and resonance
  float ic1, ic2;           // integrator states
  float low, band, high;    // outputs of the last sample
};

void  svfReset(Svf* f);
void  svfSet(Svf* f, float cutoffHz, float resonance);   // resonance 0 (none) .. 1 (self-oscillating)
float svfNext(Svf* f, float in);                         // returns the low-pass output

//
// drum kit: each hit is a small voice of its own
//
enum Drum { DRUM_KICK, DRUM_SNARE, DRUM_CLAP, DRUM_HAT, DRUM_OPENHAT, DRUM_CRASH };

struct DrumVoice {
  Drum     kind;
  int      t;       // samples since the hit
  float    vel;     // 0..1
  double   phase;   // body oscillator, turns
  uint32_t seed;    // noise generator
  Svf      f1, f2;
};

void  drumStart(DrumVoice* d, Drum kind, float vel, uint32_t seed);
float drumNext(DrumVoice* d);   // mono sample
int   drumLength(Drum kind);    // samples until the hit is silent

//
// effects
//
constexpr int REVERB_COMBS     = 8;
constexpr int REVERB_ALLPASSES = 4;
// the longest comb is 1617 samples at 44.1 kHz, scaled to 32 kHz, plus the stereo spread
constexpr int REVERB_COMB_MAX = 1200;
constexpr int REVERB_AP_MAX   = 420;
constexpr int DELAY_MAX       = SND_STEP * 3;   // a dotted eighth

struct Comb {
  float buf[REVERB_COMB_MAX];
  int   len, pos;
  float store;
};
struct Allpass {
  float buf[REVERB_AP_MAX];
  int   len, pos;
};

struct Reverb {
  Comb    comb[2][REVERB_COMBS];
  Allpass ap[2][REVERB_ALLPASSES];
  float   feedback, damp;
};

struct Delay {
  float buf[2][DELAY_MAX];
  int   len, pos;
  float feedback, lpState[2], lpCoef;
};

void reverbInit(Reverb* r, float roomSize, float damp);
void reverbNext(Reverb* r, float in, float* outL, float* outR);   // mono in, stereo out
void delayInit(Delay* d, int lenSamples, float feedback, float lowpass);
void delayNext(Delay* d, float inL, float inR, float* outL, float* outR);   // ping-pong

//
// master limiter: look-ahead gain that never lets a sample past the ceiling
//
constexpr int LIMITER_LOOKAHEAD = 64;   // samples, 2 ms

struct Limiter {
  float  ceiling;                     // linear
  float  releaseCoef;                 // per sample, toward unity gain
  float  want[LIMITER_LOOKAHEAD];     // gain each sample in the window needs
  float  smooth[LIMITER_LOOKAHEAD];   // held gain, box-averaged
  float  delayL[LIMITER_LOOKAHEAD], delayR[LIMITER_LOOKAHEAD];
  double smoothSum;   // running sum of smooth[]
  float  held;        // gain after the release follower
  int    pos;
};

void limiterInit(Limiter* l, float ceilingDb, float releaseSec);
// the output is delayed by limiterLatency() samples, LIMITER_LOOKAHEAD - 1
void limiterNext(Limiter* l, float inL, float inR, float* outL, float* outR);
int  limiterLatency();

//
// WAV file
//
int     wavWrite(const char* path, const int16_t* samples, int frames, int rate, int channels);
int16_t wavSample(float x);   // rounds and saturates to 16 bits

//
// sequencer: the song's order lists and patterns turned into note events
//
constexpr int SEQ_MAX_EVENTS  = 16384;
constexpr int SEQ_MAX_TOKENS  = 64;
constexpr int SEQ_CHORD_NOTES = 4;

enum Track {
  TRACK_KICK,
  TRACK_CLAP,
  TRACK_SNARE,
  TRACK_HAT,
  TRACK_OPENHAT,
  TRACK_CRASH,
  TRACK_RISER,
  TRACK_BASS,
  TRACK_PAD,
  TRACK_ARP,
  TRACK_LEAD,
  TRACK_HARMONY,
  TRACK_BELL,
  TRACK_COUNT
};

struct NoteEvent {
  int     start;    // sample
  int     length;   // samples the note is held
  uint8_t track;    // Track
  uint8_t note;     // MIDI note number
  float   vel;      // 0..1
};

// One note of a melodic pattern: how it picks its pitch, and for how many steps.
enum PitchKind { PITCH_REST, PITCH_ABSOLUTE, PITCH_ROOT, PITCH_CHORDTONE, PITCH_CHORD };

struct PatternNote {
  PitchKind kind;
  int       value;   // MIDI note, semitones above the root, or chord-tone index
  int       steps;
};

struct Chord {
  char    name;                     // letter used in the chord lane
  uint8_t root;                     // bass root, MIDI
  uint8_t notes[SEQ_CHORD_NOTES];   // pad voicing, MIDI
};

// the notes written in a pattern's text; returns the count, -1 on a bad token
int parsePattern(const char* text, PatternNote* out, int max);

int          parseNoteName(const char* s, int* note);    // "C#5" -> 73; characters used, 0 if none
int          stepVelocity(char c, float* vel);           // 1 and the hit's velocity, 0 for a rest
int          diatonicShift(int note, int degrees);       // moves along D natural minor
int          laneBar(const char* lane, int bar);         // a bar's character; spaces don't count
const Chord* chordAt(int bar);                           // the chord under a bar
float        automationHz(int lane, int sample);         // a lane's cutoff at a song position
int          sequenceSong(NoteEvent* events, int max);   // the whole song by start; the count

//
// the song (snd_song.cpp): data the sequencer reads
//
enum AutoLane { AUTO_PAD, AUTO_ARP, AUTO_COUNT };

struct TrackOrder {
  Track       track;
  const char* order;   // one character per bar, spaces between groups ignored
};

struct PatternDef {
  Track       track;
  char        name;
  const char* text;   // note tokens, or sixteen step characters for a drum
};

extern const Chord      songChords[];
extern const int        songChordCount;
extern const char*      songChordLane;
extern const TrackOrder songOrders[];
extern const int        songOrderCount;
extern const PatternDef songPatterns[];
extern const int        songPatternCount;
extern const char*      songAutoLanes[AUTO_COUNT];

//
// renderer: voices, buses, effects and master
//

void renderSong(float* out, int frames);   // interleaved stereo, before the master
// loop fold, limiter, 16 bits: SND_RENDER_FRAMES frames in, SND_SONG_FRAMES out
void renderMaster(float* mix, int16_t* out);

//
// encoder
//
int encodeMp3(const char* wavPath, const char* mp3Path);   // runs lame; 1 on success
