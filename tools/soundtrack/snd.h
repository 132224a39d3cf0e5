// snd.h -- the soundtrack generator's shared pieces: oscillators, envelopes,
// filter, drums, effects, limiter, WAV writer, sequencer and the song renderer
#pragma once

#include <cstdint>

//
// format of the rendered music
//
constexpr int SND_RATE          = 32000;                  // samples per second per channel
constexpr int SND_CHANNELS      = 2;                      // interleaved left, right
constexpr int SND_BPM           = 128;                    // beats per minute
constexpr int SND_STEP          = SND_RATE * 15 / SND_BPM; // samples per sixteenth note (3750)
constexpr int SND_STEPS_PER_BAR = 16;
constexpr int SND_BAR           = SND_STEP * SND_STEPS_PER_BAR; // samples per bar (60000)
constexpr int SND_SONG_BARS     = 64;
constexpr int SND_SONG_FRAMES   = SND_BAR * SND_SONG_BARS; // 3 840 000 frames, 120 s
constexpr int SND_TAIL_FRAMES   = SND_RATE * 4;           // echoes past the end, folded back onto the start
constexpr int SND_RENDER_FRAMES = SND_SONG_FRAMES + SND_TAIL_FRAMES;

//
// oscillators (phase in turns, 0 <= phase < 1)
//
enum Wave { WAVE_SAW, WAVE_SQUARE, WAVE_PULSE, WAVE_SINE, WAVE_NOISE };

struct Osc {
    double phase; // turns
    double inc;   // turns per sample
    float  width; // high part of a pulse, in turns
};

void     Osc_Init(Osc *o, double hz, float width);
float    Osc_Next(Osc *o, Wave wave, uint32_t *seed);
float    Osc_Sine(double phase); // table sine of a phase in turns
float    Osc_Noise(uint32_t *seed); // white noise in [-1, 1), xorshift32
double   Osc_NoteHz(int note); // equal temperament, note 69 = 440 Hz

//
// ADSR envelope: linear attack, quadratic fall to the sustain level and to zero
//
enum EnvStage { ENV_ATTACK, ENV_DECAY, ENV_SUSTAIN, ENV_RELEASE, ENV_OFF };

struct Env {
    int      attack, decay, release; // samples
    float    sustain;                // level 0..1
    EnvStage stage;
    int      t;                      // samples into the current stage
    float    level;                  // last value returned
    float    releaseFrom;            // level when the release began
};

void  Env_Start(Env *e, float attackSec, float decaySec, float sustain, float releaseSec);
void  Env_Release(Env *e);
float Env_Next(Env *e);

//
// resonant state-variable filter (trapezoidal, stable under fast modulation)
//
struct Svf {
    float g, k, a1, a2, a3; // coefficients from cutoff and resonance
    float ic1, ic2;         // integrator states
    float low, band, high;  // outputs of the last sample
};

void  Svf_Reset(Svf *f);
void  Svf_Set(Svf *f, float cutoffHz, float resonance); // resonance 0 (none) .. 1 (self-oscillating)
float Svf_Next(Svf *f, float in); // returns the low-pass output

//
// drum kit: each hit is a small voice of its own
//
enum Drum { DRUM_KICK, DRUM_SNARE, DRUM_CLAP, DRUM_HAT, DRUM_OPENHAT, DRUM_CRASH };

struct DrumVoice {
    Drum     kind;
    int      t;     // samples since the hit
    float    vel;   // 0..1
    double   phase; // body oscillator, turns
    uint32_t seed;  // noise generator
    Svf      f1, f2;
};

void  Drum_Start(DrumVoice *d, Drum kind, float vel, uint32_t seed);
float Drum_Next(DrumVoice *d); // mono sample
int   Drum_Length(Drum kind);  // samples until the hit is silent

//
// effects
//
constexpr int REVERB_COMBS     = 8;
constexpr int REVERB_ALLPASSES = 4;
constexpr int REVERB_COMB_MAX  = 1200; // longest comb (1617 at 44.1 kHz, scaled to 32 kHz) plus stereo spread
constexpr int REVERB_AP_MAX    = 420;
constexpr int DELAY_MAX        = SND_STEP * 3; // a dotted eighth

struct Comb { float buf[REVERB_COMB_MAX]; int len, pos; float store; };
struct Allpass { float buf[REVERB_AP_MAX]; int len, pos; };

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

void Reverb_Init(Reverb *r, float roomSize, float damp);
void Reverb_Next(Reverb *r, float in, float *outL, float *outR); // mono in, stereo out
void Delay_Init(Delay *d, int lenSamples, float feedback, float lowpass);
void Delay_Next(Delay *d, float inL, float inR, float *outL, float *outR); // ping-pong

//
// master limiter: look-ahead gain that never lets a sample past the ceiling
//
constexpr int LIMITER_LOOKAHEAD = 64; // samples, 2 ms

struct Limiter {
    float  ceiling;                       // linear
    float  releaseCoef;                   // per sample, toward unity gain
    float  want[LIMITER_LOOKAHEAD];       // gain each sample in the window needs
    float  smooth[LIMITER_LOOKAHEAD];     // held gain, box-averaged
    float  delayL[LIMITER_LOOKAHEAD], delayR[LIMITER_LOOKAHEAD];
    double smoothSum;                     // running sum of smooth[]
    float  held;                          // gain after the release follower
    int    pos;
};

void Limiter_Init(Limiter *l, float ceilingDb, float releaseSec);
void Limiter_Next(Limiter *l, float inL, float inR, float *outL, float *outR); // delayed by LIMITER_LOOKAHEAD - 1
int  Limiter_Latency();

//
// WAV file
//
constexpr int WAV_HEADER_BYTES = 44;

void Wav_Header(uint8_t out[WAV_HEADER_BYTES], int frames, int rate, int channels);
int  Wav_Write(const char *path, const int16_t *samples, int frames, int rate, int channels);
int16_t Wav_Sample(float x); // rounds and saturates to 16 bits

//
// sequencer: the song's order lists and patterns turned into note events
//
constexpr int SEQ_MAX_EVENTS   = 16384;
constexpr int SEQ_MAX_TOKENS   = 64;
constexpr int SEQ_CHORD_NOTES  = 4;

enum Track {
    TRACK_KICK, TRACK_CLAP, TRACK_SNARE, TRACK_HAT, TRACK_OPENHAT, TRACK_CRASH, TRACK_RISER,
    TRACK_BASS, TRACK_PAD, TRACK_ARP, TRACK_LEAD, TRACK_HARMONY, TRACK_BELL,
    TRACK_COUNT
};

struct NoteEvent {
    int     start;  // sample
    int     length; // samples the note is held
    uint8_t track;  // Track
    uint8_t note;   // MIDI note number
    float   vel;    // 0..1
};

// One note of a melodic pattern: how it picks its pitch, and for how many steps.
enum PitchKind { PITCH_REST, PITCH_ABSOLUTE, PITCH_ROOT, PITCH_CHORDTONE, PITCH_CHORD };

struct PatternNote {
    PitchKind kind;
    int       value; // MIDI note, semitones above the root, or chord-tone index
    int       steps;
};

struct Chord {
    char    name;                   // letter used in the chord lane
    uint8_t root;                   // bass root, MIDI
    uint8_t notes[SEQ_CHORD_NOTES]; // pad voicing, MIDI
};

int  Seq_ParseNoteName(const char *s, int *note); // "C#5" -> 73; returns characters used, 0 if none
int  Seq_ParsePattern(const char *text, PatternNote *out, int max); // returns count, -1 on a bad token
int  Seq_StepVelocity(char c, float *vel); // drum step character -> 1 and velocity, or 0 for a rest
int  Seq_DiatonicShift(int note, int degrees); // moves along D natural minor
int  Seq_LaneBar(const char *lane, int bar); // the bar's character in an order list (spaces ignored)
const Chord *Seq_ChordAt(int bar);
float Seq_Automation(int lane, int sample); // cutoff in Hz of an automation lane at a song position
int  Seq_Build(NoteEvent *events, int max); // the whole song, sorted by start; returns the count

//
// the song (snd_song.cpp): data the sequencer reads
//
enum AutoLane { AUTO_PAD, AUTO_ARP, AUTO_COUNT };

struct TrackOrder {
    Track       track;
    const char *order; // one character per bar, spaces between groups ignored
};

struct PatternDef {
    Track       track;
    char        name;
    const char *text; // note tokens, or sixteen step characters for a drum
};

extern const Chord      song_chords[];
extern const int        song_chordCount;
extern const char      *song_chordLane;
extern const TrackOrder song_orders[];
extern const int        song_orderCount;
extern const PatternDef song_patterns[];
extern const int        song_patternCount;
extern const char      *song_autoLanes[AUTO_COUNT];

//
// renderer: voices, buses, effects and master
//

void Render_Song(float *out, int frames);        // interleaved stereo, before the master
void Render_Master(float *mix, int16_t *out);    // loop fold, limiter, 16 bits: SND_RENDER_FRAMES in, SND_SONG_FRAMES out

//
// encoder
//
int Encode_Mp3(const char *wavPath, const char *mp3Path); // runs lame; 1 on success
