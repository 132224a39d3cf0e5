// interpose.h -- what the parts of libinterpose.so share, the LD_PRELOAD library that drives the intro
//
// It drives the unmodified intro from outside: its clock, its frames, its Escape. Never linked into the
// intro. Every feature is off until its setting is in the environment:
//   INTERPOSE_VIRTUAL=n      virtual clock: SDL_GetTicks reads n until SDL_Init (the intro seeds rand with
//                            it), then counts from 0 and moves only when the main thread sleeps, so frames
//                            come exactly one pacing interval apart however slow the machine
//   INTERPOSE_TICKS=n        SDL_GetTicks reads n when the library loads, then runs on in real time and
//                            wraps at 2^32 as SDL's own counter does; with INTERPOSE_VIRTUAL, the virtual
//                            clock counts from n instead of 0
//   INTERPOSE_FRAMES_FD=n    every presented frame to file descriptor n: raw RGB, top row first, sent by a
//                            thread of ours while the intro draws the next one
//   INTERPOSE_SIZE=wxh       a window resize to w x h handed to the intro before its first frame
//   INTERPOSE_REPORT=path    the report below, written as the run goes
//   INTERPOSE_EXEC_TIME=s    CLOCK_REALTIME in seconds at the exec (bash's $EPOCHREALTIME), so that start-up
//                            counts the dynamic loader too; without it, times count from this library's load
//   INTERPOSE_QUIT_FRAMES=n  hand the intro an Escape key press after n frames ...
//   INTERPOSE_QUIT_SECONDS=s ... or s seconds after its first presented frame
//
// Report lines; times in ns since the start, ticks as the intro read them:
//   mark <step> <ns>                        start-up steps, each the first time it happens
//   music <ticks> <dir>                     playback started; dir is the intro's working directory
//   audio <rate> <channels>                 the mixer's device then, as the audio driver is handed it
//   renderer <text>, gl_version <text>, size <w>x<h>     at the first frame
//   frame <ticks> <begin> <swap_in> <swap_out> [<render> <wait> <read>]   every presented frame: the tick
//                                           reading that started it and when it was taken, entry into the swap,
//                                           return from it; when frames are sent, also how long (ns) the
//                                           renderer took to finish them, the wait for a free frame buffer
//                                           (the encoder falling behind) and the read-back itself
//   cpu <first|last> <ns> <user_ns> <system_ns>  process CPU at the first frame and at the Escape (or exit)
//   thread <first|last> <tid> <name> <ns>   each thread's CPU at the same moments; the intro's own is "main"
//   maxrss_kib <n>                          peak resident memory; the last line, written at exit
//
// Each part owns one job and hooks the entry points that job is about, calling the other parts through
// this header where an entry point serves two (SDL_Init marks a step and starts the virtual clock). Only
// those entry points leave the library: everything declared here stays hidden (CMake's visibility preset).
#pragma once

#include <SDL/SDL.h>

#include <cstdint>
#include <ctime>

//
// the core (core.cpp): settings, clocks, the real functions; interpose.cpp starts it, then the parts
//
extern int64_t loadNs;   // CLOCK_MONOTONIC at our load

// The next definition of a symbol after ours; a missing one ends the process with status 3.
void* realSymbol(const char* name);
template <typename Fn>
Fn realFunction(const char* name)
{
  return reinterpret_cast<Fn>(realSymbol(name));
}

// A setting from the environment; unset or empty gives the fallback. Anything that is not
// wholly a number ends the process with status 3, since a wrong setting spoils the run.
bool given(const char* name);
double setting(const char* name, double fallback);

int64_t clockNs(clockid_t id);
int64_t sinceStart();    // ns since the exec, or since our load
bool onMainThread();     // the thread that loaded us: the intro's own

// Reads the settings the core needs and notes the main thread; returns how long after the start we loaded.
int64_t startCore();

//
// the virtual clock (clock.cpp)
//
extern Uint32  lastTicks;     // the intro's latest reading on its main thread
extern int64_t lastTicksNs;   // ... and when it was taken

void loadClock();
void startVirtualClock();     // at SDL_Init
Uint32 readTicks();           // what SDL_GetTicks answers now

//
// start-up steps (steps.cpp)
//
// A "mark" line for the step the first time the main thread takes it, at ns or now.
void markOnce(const char* step, int64_t ns);
void markOnce(const char* step);

//
// the report (report.cpp)
//
void openReport();
__attribute__((format(printf, 1, 2))) void note(const char* format, ...);
void flushReport();
void noteCpu(const char* when);   // "cpu" and "thread" lines
void closeCpuWindow();            // the "last" ones, once

//
// frame timestamps (frames.cpp)
//
extern long    framesShown;               // presented frames before the Escape
extern int64_t firstFrameNs;              // return from the first swap
extern int     frameWidth, frameHeight;   // the first frame's size, in pixels

//
// the hooks that drive the intro (drive.cpp): a resize before the first frame, the Escape
//
void loadDrive();
void presentResizedWindow();   // after a video mode, so the first frame after our resize fills the window
bool pastEscape();             // counts the swaps after the Escape; ends an intro that ignores it

//
// frames read back to a pipe (readback.cpp)
//
void loadReadBack();
bool sendingFrames();   // INTERPOSE_FRAMES_FD given
void readBackFrame();   // the finished back buffer, queued for the sender
void noteReadBack();    // its three parts, appended to the frame line
