// clock.cpp -- the intro's clock: virtual (moved by its own sleeps), shifted (to wrap where we say) or real
#include "interpose.h"

#include <atomic>
#include <ctime>

Uint32  lastTicks;     // the intro's latest reading on its main thread
int64_t lastTicksNs;   // ... and when it was taken

static bool                virtualClock;     // INTERPOSE_VIRTUAL given
static Uint32              virtualSeed;      // what the virtual clock reads before SDL_Init
static std::atomic<bool>   virtualStarted;   // SDL_Init has been called
static std::atomic<Uint32> virtualNow;       // virtual ms since SDL_Init
static bool                shiftedClock;     // INTERPOSE_TICKS given
static Uint32              shiftedStart;     // its reading at our load

void loadClock()
{
  virtualClock = given("INTERPOSE_VIRTUAL");
  virtualSeed  = (Uint32)(unsigned long long)setting("INTERPOSE_VIRTUAL", 0);
  shiftedClock = given("INTERPOSE_TICKS");
  shiftedStart = (Uint32)(unsigned long long)setting("INTERPOSE_TICKS", 0);
}

// the first start sets the virtual clock going; later ones (one per subsystem) change nothing
void startVirtualClock()
{
  if (virtualClock && !virtualStarted) {
    virtualNow     = shiftedClock ? shiftedStart : 0;
    virtualStarted = true;
  }
}

Uint32 readTicks()
{
  static auto realTicks = realFunction<Uint32 (*)(void)>("SDL_GetTicks");
  if (virtualClock)
    return virtualStarted ? (Uint32)virtualNow : virtualSeed;
  // unsigned arithmetic: the reading wraps at 2^32 ms like SDL's own after 49.7 days
  if (shiftedClock)
    return shiftedStart + (Uint32)((clockNs(CLOCK_MONOTONIC) - loadNs) / 1000000);
  return realTicks();
}

extern "C" {

Uint32 SDL_GetTicks(void)
{
  static bool seedRead = false;
  const Uint32 ticks = readTicks();
  if (onMainThread()) {
    // the first reading is the seed, taken once the sine tables are filled
    if (!seedRead) {
      seedRead = true;
      markOnce("tables_done");
    }
    lastTicks   = ticks;
    lastTicksNs = sinceStart();
  }
  return ticks;
}

void SDL_Delay(Uint32 ms)
{
  static auto realDelay = realFunction<void (*)(Uint32)>("SDL_Delay");
  // only the intro's own sleeps move virtual time; SDL's audio thread sleeps for real
  if (virtualClock && onMainThread())
    virtualNow += ms;
  else
    realDelay(ms);
}

} // extern "C"
