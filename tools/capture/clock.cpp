// clock.cpp -- the virtual clock behind the capture's SDL_GetTicks and SDL_Delay
#include "clock.h"

void clockReset(VirtualClock& clock, uint32_t preStart)
{
  clock.preStart = preStart;
  clock.started  = false;
  clock.now      = 0;
}

void clockStart(VirtualClock& clock)
{
  if (clock.started)
    return;
  clock.started = true;
  clock.now     = 0;
}

uint32_t clockTicks(const VirtualClock& clock)
{
  return clock.started ? clock.now : clock.preStart;
}

void clockSleep(VirtualClock& clock, uint32_t ms)
{
  // SDL's counter wraps at 2^32 ms; so does this one
  clock.now += ms;
}
