// snd_song.cpp -- "Neon Fjord", the invitation's music: chords, order lists, patterns
#include "snd.h"

// D minor at 128 BPM, 64 bars of 4/4, two minutes. Bars, counted from 1:
//   1-8    intro      pad opening up, the arpeggio from bar 5
//   9-16   build-up   kick, off-beat bass, claps and hats, the bell teases the theme, snare roll and riser
//   17-32  theme      rolling bass, the lead twice, the second time with a harmony a third below
//   33-40  break      no drums, the bell sings the theme slowly over the pads, roll and riser again
//   41-56  return     the theme twice more with its harmony
//   57-64  outro      drums thin out, the bell recalls the theme, filters close back into bar 1
// The last bar breathes for a sixteenth so the loop point falls on a rest.

const Chord songChords[] = {
  // name root   pad voicing
  { 'd', 38, { 57, 62, 65, 69 } },   // D minor          A3 D4 F4 A4
  { 'b', 34, { 58, 62, 65, 69 } },   // B flat major 7   Bb3 D4 F4 A4
  { 'f', 41, { 57, 60, 65, 67 } },   // F add 9          A3 C4 F4 G4
  { 'c', 36, { 55, 60, 64, 67 } },   // C major          G3 C4 E4 G4
};
const int songChordCount = sizeof songChords / sizeof songChords[0];

const char* songChordLane =
  //  intro    build    theme    theme    break    return   return   outro
  "dbfcdbfc dbfcdbfc dbfcdbfc dbfcdbfc bfcdbfcc dbfcdbfc dbfcdbfc dbfcdbfc";

// clang-format off
const TrackOrder songOrders[] = {
  //                 intro    build    theme    theme    break    return   return   outro
  { TRACK_KICK,    "........ aaaaaaaa aaaaaaaa aaaaaaaa ........ aaaaaaaa aaaaaaaa aaaa...." },
  { TRACK_CLAP,    "........ ....aaaa aaaaaaaa aaaaaaaa ........ aaaaaaaa aaaaaaaa aaaa...." },
  { TRACK_SNARE,   "........ ......ab ........ ........ ......ab ........ ........ ........" },
  { TRACK_HAT,     "....aaaa aaaaaaaa bbbbbbbb bbbbbbbb ........ bbbbbbbb bbbbbbbb bbbbaaaa" },
  { TRACK_OPENHAT, "........ ....aaaa aaaaaaaa aaaaaaaa ........ aaaaaaaa aaaaaaaa aaaa...." },
  { TRACK_CRASH,   "........ a....... a.......a....... ........ a.......a....... a......." },
  { TRACK_RISER,   "........ ......b. ........ ........ ......b. ........ ........ ........" },
  { TRACK_BASS,    "........ aaaaaaaa bbbbbbbb bbbbbbbb ........ bbbbbbbb bbbbbbbb aaaa...." },
  { TRACK_PAD,     "aaaaaaaa aaaaaaaa aaaaaaaa aaaaaaaa aaaaaaaa aaaaaaaa aaaaaaaa aaaaaaab" },
  { TRACK_ARP,     "....aaaa aaaaaaaa aaaaaaaa aaaaaaaa bbbbbbbb aaaaaaaa aaaaaaaa aaaaaaac" },
  { TRACK_LEAD,    "........ ........ abcdefgh abcdefgh ........ abcdefgh abcdefgh ........" },
  { TRACK_HARMONY, "........ ........ ........ abcdefgh ........ abcdefgh abcdefgh ........" },
  { TRACK_BELL,    "........ ....abcd ........ ........ ijklmnop ........ ........ abcd...." },
};
// clang-format on
const int songOrderCount = sizeof songOrders / sizeof songOrders[0];

// Filter lanes, one digit per bar (0 dark .. 9 open).
const char* songAutoLanes[AUTO_COUNT] = {
  /* pad */ "12345678 88888888 99999999 99999999 45678999 99999999 99999999 98765432",
  /* arp */ "....2345 56677889 89898989 89898989 34455667 89898989 89898989 87654321",
};

// clang-format off
const PatternDef songPatterns[] = {
  // drums: one character per sixteenth, 'x' full, '1'..'9' softer, '.' rest
  { TRACK_KICK,    'a', "x...x...x...x..." },
  { TRACK_CLAP,    'a', "....x.......x..." },
  { TRACK_SNARE,   'a', "4.4.5.5.6.6.7.7." },
  { TRACK_SNARE,   'b', "6677788899xxxxxx" },
  { TRACK_HAT,     'a', "..6...6...6...6." },
  { TRACK_HAT,     'b', "47.547.547.547.5" },
  { TRACK_OPENHAT, 'a', "..6...6...6...6." },
  { TRACK_CRASH,   'a', "x..............." },

  // melodic: "<pitch>:<sixteenths>"; +N above the root, #N chord tone, * whole chord
  { TRACK_RISER,   'a', "C4:16" },
  { TRACK_RISER,   'b', "C4:32" },
  { TRACK_BASS,    'a', "-:2 +0:2 -:2 +0:2 -:2 +0:2 -:2 +12:2" },
  { TRACK_BASS,    'b', "-:1 +0:1 +12:1 +0:1 -:1 +0:1 +12:1 +0:1 -:1 +0:1 +12:1 +0:1 -:1 +0:1 +12:1 +12:1" },
  { TRACK_PAD,     'a', "*:16" },
  { TRACK_PAD,     'b', "*:12 -:4" },
  { TRACK_ARP,     'a', "#0:1 #1:1 #2:1 #3:1 #5:1 #3:1 #2:1 #1:1 #0:1 #2:1 #3:1 #5:1 #6:1 #5:1 #3:1 #2:1" },
  { TRACK_ARP,     'b', "#0:2 #2:2 #3:2 #5:2 #6:2 #5:2 #3:2 #2:2" },
  { TRACK_ARP,     'c', "#0:1 #1:1 #2:1 #3:1 #5:1 #3:1 #2:1 #1:1 #0:1 #2:1 #3:1 #5:1 -:4" },

  // the theme, eight bars over Dm Bb F C Dm Bb F C
  { TRACK_LEAD,    'a', "A4:3 D5:3 E5:2 F5:3 E5:2 D5:3" },
  { TRACK_LEAD,    'b', "D5:6 F5:2 D5:4 A4:4" },
  { TRACK_LEAD,    'c', "C5:3 F5:3 G5:2 A5:3 G5:2 F5:3" },
  { TRACK_LEAD,    'd', "E5:6 G5:2 E5:4 C5:4" },
  { TRACK_LEAD,    'e', "A4:3 D5:3 E5:2 F5:3 E5:2 D5:3" },
  { TRACK_LEAD,    'f', "D5:6 F5:2 Bb5:4 A5:4" },
  { TRACK_LEAD,    'g', "A5:3 G5:3 F5:2 G5:3 A5:2 C6:3" },
  { TRACK_LEAD,    'h', "G5:6 A5:2 G5:4 E5:4" },

  // the bell: the theme's first half, then the slow theme of the break (Bb F C Dm Bb F C C)
  { TRACK_BELL,    'a', "A4:3 D5:3 E5:2 F5:3 E5:2 D5:3" },
  { TRACK_BELL,    'b', "D5:6 F5:2 D5:4 A4:4" },
  { TRACK_BELL,    'c', "C5:3 F5:3 G5:2 A5:3 G5:2 F5:3" },
  { TRACK_BELL,    'd', "E5:6 G5:2 E5:4 C5:4" },
  { TRACK_BELL,    'i', "D5:8 F5:4 D5:4" },
  { TRACK_BELL,    'j', "C5:12 A4:4" },
  { TRACK_BELL,    'k', "E5:8 G5:4 E5:4" },
  { TRACK_BELL,    'l', "D5:16" },
  { TRACK_BELL,    'm', "D5:8 F5:4 A5:4" },
  { TRACK_BELL,    'n', "A5:8 G5:4 F5:4" },
  { TRACK_BELL,    'o', "G5:8 E5:8" },
  { TRACK_BELL,    'p', "-:16" },
};
// clang-format on
const int songPatternCount = sizeof songPatterns / sizeof songPatterns[0];
