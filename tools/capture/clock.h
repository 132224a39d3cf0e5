// clock.h -- the capture's virtual clock: time that moves only when the intro's main thread sleeps
#pragma once

#include <cstdint>

// The clock reads a fixed start value until SDL is started (the intro seeds its
// random generator from that reading), then counts milliseconds from zero.
// Only sleeps on the thread that owns the clock move it; any other thread
// (SDL's audio thread) sleeps for real and leaves virtual time alone.
struct VirtualClock {
  uint32_t preStart;   // what the clock reads before SDL is started, in ms
  bool     started;    // SDL_Init has been called at least once
  uint32_t now;        // virtual ms since SDL was started
};

void     clockReset(VirtualClock& clock, uint32_t preStart);

// The first start sets the clock to zero; later starts (one per SDL subsystem) change nothing.
void     clockStart(VirtualClock& clock);

uint32_t clockTicks(const VirtualClock& clock);

// A sleep of the owning thread: advances virtual time instead of waiting.
void     clockSleep(VirtualClock& clock, uint32_t ms);
