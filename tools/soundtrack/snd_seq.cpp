// snd_seq.cpp -- the pattern sequencer: order lists and patterns become timed note events
#include "snd.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

static const int noteLetters[7] = { 9, 11, 0, 2, 4, 5, 7 };   // semitones above C of A..G
static const int minorScale[7]  = { 2, 4, 5, 7, 9, 10, 0 };   // D natural minor, pitch classes from D

constexpr float AUTO_BASE_HZ       = 150.0f;   // cutoff of digit 0
constexpr float AUTO_OCTAVES_DIGIT = 0.65f;    // each digit opens the filter this far

int parseNoteName(const char* s, int* note)
{
  if (s[0] < 'A' || s[0] > 'G')
    return 0;
  int semis = noteLetters[s[0] - 'A'];
  int used  = 1;
  if (s[used] == '#') {
    semis++;
    used++;
  } else if (s[used] == 'b') {
    semis--;
    used++;
  }
  if (s[used] < '0' || s[used] > '9')
    return 0;
  *note = 12 * (s[used] - '0' + 1) + semis;
  return used + 1;
}

// One token "<pitch>:<steps>": pitch is "-" (rest), a note name, "+N" (above
// the chord root), "#N" (chord tone N, N >= 4 an octave up) or "*" (the chord).
static int parseToken(const char* s, int len, PatternNote* out)
{
  const char* colon = (const char*)std::memchr(s, ':', len);
  if (!colon || colon == s || colon + 1 >= s + len)
    return 0;
  char* end;
  long  steps = std::strtol(colon + 1, &end, 10);
  if (end != s + len || steps < 1)
    return 0;
  out->steps = (int)steps;
  int plen   = (int)(colon - s);
  if (s[0] == '-' && plen == 1) {
    out->kind  = PITCH_REST;
    out->value = 0;
  } else if (s[0] == '*' && plen == 1) {
    out->kind  = PITCH_CHORD;
    out->value = 0;
  } else if (s[0] == '+' || s[0] == '#') {
    long v = std::strtol(s + 1, &end, 10);
    if (end != colon || plen < 2)
      return 0;
    out->kind  = s[0] == '+' ? PITCH_ROOT : PITCH_CHORDTONE;
    out->value = (int)v;
  } else {
    int note;
    if (parseNoteName(s, &note) != plen)
      return 0;
    out->kind  = PITCH_ABSOLUTE;
    out->value = note;
  }
  return 1;
}

int parsePattern(const char* text, PatternNote* out, int max)
{
  int         count = 0;
  const char* p     = text;
  while (*p) {
    while (*p == ' ')
      p++;
    if (!*p)
      break;
    const char* start = p;
    while (*p && *p != ' ')
      p++;
    if (count >= max || !parseToken(start, (int)(p - start), &out[count]))
      return -1;
    count++;
  }
  return count;
}

int stepVelocity(char c, float* vel)
{
  if (c == 'x') {
    *vel = 1.0f;
    return 1;
  }
  if (c >= '1' && c <= '9') {
    *vel = (c - '0') * 0.1f;
    return 1;
  }
  return 0;
}

int diatonicShift(int note, int degrees)
{
  int pc     = ((note - 2) % 12 + 12) % 12;   // distance above the last D
  int degree = 0;
  for (int i = 0; i < 7; i++)
    if ((minorScale[i] - 2 + 12) % 12 <= pc)
      degree = i;
  int base    = note - pc + (minorScale[degree] - 2 + 12) % 12;   // snapped into the scale
  int target  = degree + degrees;
  int octaves = target >= 0 ? target / 7 : -((6 - target) / 7);
  int idx     = target - octaves * 7;
  int offset  = (minorScale[idx] - 2 + 12) % 12 - (minorScale[degree] - 2 + 12) % 12;
  return base + octaves * 12 + offset;
}

int laneBar(const char* lane, int bar)
{
  int seen = 0;
  for (const char* p = lane; *p; p++) {
    if (*p == ' ')
      continue;
    if (seen++ == bar)
      return *p;
  }
  return '.';
}

const Chord* chordAt(int bar)
{
  int c = laneBar(songChordLane, bar);
  for (int i = 0; i < songChordCount; i++)
    if (songChords[i].name == c)
      return &songChords[i];
  return &songChords[0];
}

// Digits per bar; the value glides from this bar's digit to the next bar's,
// and the last bar glides into the first, as the song loops.
float automationHz(int lane, int sample)
{
  int   bar  = sample / SND_BAR;
  float frac = (float)(sample % SND_BAR) / SND_BAR;
  int   c0   = laneBar(songAutoLanes[lane], bar % SND_SONG_BARS);
  int   c1   = laneBar(songAutoLanes[lane], (bar + 1) % SND_SONG_BARS);
  float d0   = c0 >= '0' && c0 <= '9' ? (float)(c0 - '0') : 0.0f;
  float d1   = c1 >= '0' && c1 <= '9' ? (float)(c1 - '0') : 0.0f;
  float v    = d0 + (d1 - d0) * frac;
  return AUTO_BASE_HZ * std::exp2(v * AUTO_OCTAVES_DIGIT);
}

static const PatternDef* findPattern(Track track, int name)
{
  if (track == TRACK_HARMONY)
    track = TRACK_LEAD;   // the harmony sings the lead's bars a third lower
  for (int i = 0; i < songPatternCount; i++)
    if (songPatterns[i].track == track && songPatterns[i].name == name)
      return &songPatterns[i];
  return nullptr;
}

static int isDrum(Track track)
{
  return track <= TRACK_CRASH;
}

static int addEvent(NoteEvent* events, int count, int max, int start, int length, Track track, int note,
                    float vel)
{
  if (count >= max || note < 0 || note > 127)
    return count;
  events[count].start  = start;
  events[count].length = length;
  events[count].track  = (uint8_t)track;
  events[count].note   = (uint8_t)note;
  events[count].vel    = vel;
  return count + 1;
}

static int addBarNotes(NoteEvent* events, int count, int max, Track track, int bar, const char* text)
{
  PatternNote  notes[SEQ_MAX_TOKENS];
  int          n     = parsePattern(text, notes, SEQ_MAX_TOKENS);
  const Chord* chord = chordAt(bar);
  int          at    = bar * SND_BAR;
  for (int i = 0; i < n; i++) {
    const PatternNote* pn   = &notes[i];
    int                len  = pn->steps * SND_STEP;
    int                note = -1;
    switch (pn->kind) {
    case PITCH_ABSOLUTE:
      note = pn->value;
      break;
    case PITCH_ROOT:
      note = chord->root + pn->value;
      break;
    case PITCH_CHORDTONE:
      note = chord->notes[pn->value % SEQ_CHORD_NOTES] + 12 * (pn->value / SEQ_CHORD_NOTES);
      break;
    case PITCH_CHORD:
      for (int k = 0; k < SEQ_CHORD_NOTES; k++)
        count = addEvent(events, count, max, at, len, track, chord->notes[k], 1.0f);
      break;
    default:
      break;
    }
    if (note >= 0) {
      if (track == TRACK_HARMONY)
        note = diatonicShift(note, -2);
      count = addEvent(events, count, max, at, len, track, note, 1.0f);
    }
    at += len;
  }
  return count;
}

static int addBarSteps(NoteEvent* events, int count, int max, Track track, int bar, const char* steps)
{
  for (int s = 0; s < SND_STEPS_PER_BAR && steps[s]; s++) {
    float vel;
    if (stepVelocity(steps[s], &vel))
      count = addEvent(events, count, max, bar * SND_BAR + s * SND_STEP, SND_STEP, track, 0, vel);
  }
  return count;
}

static bool startsEarlier(const NoteEvent& a, const NoteEvent& b)
{
  if (a.start != b.start)
    return a.start < b.start;
  if (a.track != b.track)
    return a.track < b.track;
  return a.note < b.note;
}

int sequenceSong(NoteEvent* events, int max)
{
  int count = 0;
  for (int o = 0; o < songOrderCount; o++) {
    Track track = songOrders[o].track;
    for (int bar = 0; bar < SND_SONG_BARS; bar++) {
      int               name = laneBar(songOrders[o].order, bar);
      const PatternDef* pat  = name == '.' ? nullptr : findPattern(track, name);
      if (!pat)
        continue;
      if (isDrum(track))
        count = addBarSteps(events, count, max, track, bar, pat->text);
      else
        count = addBarNotes(events, count, max, track, bar, pat->text);
    }
  }
  std::sort(events, events + count, startsEarlier);
  return count;
}
