// fx_support.h -- puts the animation state where start-up leaves it, for the effect tests
#pragma once

#include "fx/fx.h"
#include "gfx/gfx.h"
#include "glrecord.h"

#include <cstring>

// Tables filled, counters and derived values at their start values, message in place,
// five distinct texture names, nothing recorded yet.
inline void resetAnimation()
{
  static bool tablesReady = false;
  if (!tablesReady) {
    init_fastmath();
    tablesReady = true;
  }
  xmove = pulse = screenbounce = partybounce = yvect = 0;
  init_clock();
  pulsesin = xpos = ypos = zparty = 0.0f;
  memset(scrolltext, 0, sizeof scrolltext);
  scrollchar = 0;
  init_scroller();
  for (int slot = 0; slot < TEXTURE_COUNT; slot++)
    texture[slot] = 11 + slot;
  glrecordEnable(true);
  glrecordReset();
}

// The vertices of the recorded calls, in order.
struct Vertex { double s, t, x, y, z; };

inline std::vector<Vertex> recordedVertices()
{
  std::vector<Vertex> out;
  double s = 0, t = 0;
  for (const GLCall& call : glCalls) {
    if (isNamed(call, "glTexCoord2f")) {
      s = call.args[0];
      t = call.args[1];
    } else if (isNamed(call, "glVertex3f")) {
      out.push_back({ s, t, call.args[0], call.args[1], call.args[2] });
    }
  }
  return out;
}
