// web.h -- what the browser layer under the intro takes from the program above it
#pragma once

#include <SDL/SDL.h>

// Whether a frame falls due at this tick reading, by the program's own pace; the program sets it
// before its loop (null until then). A sleep that would wake after a due frame only yields instead.
extern bool (*frameFallsDue)(Uint32 ticks);
