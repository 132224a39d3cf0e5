// fastmath.cpp -- sine and cosine tables and the animation clock that indexes them
#include "fx/fx.h"

#include <cmath>

float fastsin[FASTMATH_SIZE];
static float fastcos[FASTMATH_SIZE];   // read only by the clock, for the logo's ellipse

int xmove;
int pulse;
int screenbounce;
int partybounce;
int partyshear1;
int partyshear2;
int partyshear3;
int yvect;

GLfloat pulsesin;
GLfloat xpos;
GLfloat ypos;
GLfloat zparty;

// Steps per frame and the last value each counter may hold before it drops to 0.
static const int XMOVE_STEP        = 20;
static const int PULSE_STEP        = 4;
static const int PULSE_LIMIT       = 359;     // half degrees: the pulse only sweeps 0 to 178 degrees
static const int PULSE_TABLE_SCALE = 10;      // pulse units to table units
static const int SCREENBOUNCE_STEP = 20;
static const int PARTYBOUNCE_STEP  = 100;
static const int PARTYSHEAR_STEP   = 233;
static const int YVECT_STEP        = 20;
static const int PHASE_LIMIT       = FULL_TURN - 1;
static const int PARTYSHEAR2_START = 2000;    // start phases of the middle and top banner edges,
static const int PARTYSHEAR3_START = 4000;    // so the three edges sway out of step

void init_fastmath()
{
  for (int t = 0; t < FASTMATH_SIZE; t++) {
    double angle = t * TABLE_PI / 360 / 10;
    fastsin[t] = (float)sin(angle);
    fastcos[t] = (float)cos(angle);
  }
}

void init_clock()
{
  partyshear1 = 0;
  partyshear2 = PARTYSHEAR2_START;
  partyshear3 = PARTYSHEAR3_START;
}

// Advances a counter and drops it to exactly 0 once past its limit; the
// overshoot is not carried, so counters whose step does not divide the turn
// fall into a cycle of their own.
static void advancePhase(int& counter, int step, int limit)
{
  counter += step;
  if (counter > limit)
    counter = 0;
}

void stepClock()
{
  // derived values first, from the counters the frame just shown was drawn with
  pulsesin = (GLfloat)(fastsin[pulse * PULSE_TABLE_SCALE] * 0.1);
  xpos     = (GLfloat)(fastcos[xmove] * 0.1 + 0.1);
  ypos     = (GLfloat)(fastsin[xmove] * 0.2 + 0.1);
  zparty   = fastsin[partybounce];

  advancePhase(xmove,        XMOVE_STEP,        PHASE_LIMIT);
  advancePhase(pulse,        PULSE_STEP,        PULSE_LIMIT);
  advancePhase(screenbounce, SCREENBOUNCE_STEP, PHASE_LIMIT);
  advancePhase(partybounce,  PARTYBOUNCE_STEP,  PHASE_LIMIT);
  advancePhase(partyshear1,  PARTYSHEAR_STEP,   PHASE_LIMIT);
  advancePhase(partyshear2,  PARTYSHEAR_STEP,   PHASE_LIMIT);
  advancePhase(partyshear3,  PARTYSHEAR_STEP,   PHASE_LIMIT);
  advancePhase(yvect,        YVECT_STEP,        PHASE_LIMIT);
}
