// probe.cpp -- LD_PRELOAD timing probe for the unmodified intro running in real time
//
// It wraps the library calls that mark the steps of start-up and timestamps every buffer
// swap with CLOCK_MONOTONIC. Nothing is slowed down: each wrapper takes one clock reading
// around the real call. The report is written when the process exits.
//
// Settings, from the environment:
//   PROBE_REPORT=p      where the report goes (required; without it the probe only passes calls on)
//   PROBE_SECONDS=s     once s seconds have passed since the first presented frame, hand the
//                       intro an Escape key press (0 or unset: never)
//   PROBE_START_NS=n    CLOCK_MONOTONIC in ns at the exec of the intro, as the launcher read it;
//                       without it, times count from the probe's own constructor
//
// Report lines (times in ns since process start):
//   start <ns>                     the launcher's reading, or the constructor's
//   mark <name> <ns>               start-up steps, in the order they happened
//   renderer <text> / gl_version <text> / size <w>x<h>
//   frame <begin> <swap_in> <swap_out>   one per presented frame: the tick reading that started
//                                  it, entry into the swap, return from the swap
//   window <ns> cpu <ns> user <ns> system <ns>   wall and process CPU from the return of the
//                                  first swap to the Escape (or to exit)
//   thread <name> <ns>             CPU of each thread over that same window
//   maxrss_kib <n>                 peak resident memory at exit
#include "interpose.h"
#include "probeclock.h"

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <GL/gl.h>

#include <dlfcn.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct Mark { const char* name; int64_t ns; };
struct FrameTimes { int64_t begin, swapIn, swapOut; };

static pthread_t               mainThread;
static const char*             reportPath;
static int64_t                 startNs;          // process start, monotonic
static int64_t                 escapeAfterNs;    // 0 for never
static int64_t                 loadedNs;         // the constructor ran: every library is loaded
static std::vector<Mark>       marks;
static std::vector<FrameTimes> frames;
static int64_t                 lastTicksNs;      // the latest main-thread SDL_GetTicks
static bool                    escapeSent;
static std::string             renderer, glVersion;
static int                     frameWidth, frameHeight;

// CPU over the measured window: the whole process and each thread
static ThreadTimes windowStart, windowEnd;
static ProcessCpu  cpuStart, cpuEnd;
static int64_t     windowStartNs, windowEndNs;

template <typename Fn>
static Fn realFunction(const char* name)
{
  return realFunction<Fn>("probe", name);
}

static bool onMainThread()
{
  return pthread_equal(pthread_self(), mainThread);
}

static int64_t sinceStart()
{
  return monotonicNs() - startNs;
}

static void mark(const char* name)
{
  if (onMainThread())
    marks.push_back({name, sinceStart()});
}

// The first time only: start-up calls some of these again (SDL_Init twice, the
// video mode on every resize), and the report wants the start-up instance.
static void markOnce(const char* name)
{
  for (const Mark& m : marks)
    if (strcmp(m.name, name) == 0)
      return;
  mark(name);
}

__attribute__((constructor)) static void probeInit()
{
  mainThread = pthread_self();
  int64_t now = monotonicNs();
  startNs = envInt64("PROBE_START_NS", now);
  if (startNs > now)
    startNs = now;
  escapeAfterNs = (int64_t)(envDouble("PROBE_SECONDS", 0) * 1e9);
  reportPath = getenv("PROBE_REPORT");
  // a plain number, since the containers of this file may be set up after this runs
  loadedNs = sinceStart();
}

// The CPU window closes once: at the Escape, or at exit when the intro ended some other way.
static void closeWindow()
{
  if (windowEndNs || frames.empty())
    return;
  windowEndNs = sinceStart();
  cpuEnd      = processCpu();
  windowEnd   = threadTimes();
}

__attribute__((destructor)) static void probeReport()
{
  if (!reportPath || !*reportPath)
    return;
  closeWindow();
  FILE* out = fopen(reportPath, "w");
  if (!out)
    return;
  fprintf(out, "start %lld\n", (long long)startNs);
  fprintf(out, "mark libraries_loaded %lld\n", (long long)loadedNs);
  for (const Mark& m : marks)
    fprintf(out, "mark %s %lld\n", m.name, (long long)m.ns);
  fprintf(out, "renderer %s\n", renderer.c_str());
  fprintf(out, "gl_version %s\n", glVersion.c_str());
  fprintf(out, "size %dx%d\n", frameWidth, frameHeight);
  for (const FrameTimes& f : frames)
    fprintf(out, "frame %lld %lld %lld\n", (long long)f.begin, (long long)f.swapIn, (long long)f.swapOut);
  if (windowEndNs > windowStartNs) {
    fprintf(out, "window %lld cpu %lld user %lld system %lld\n", (long long)(windowEndNs - windowStartNs),
            (long long)(cpuEnd.userNs + cpuEnd.systemNs - cpuStart.userNs - cpuStart.systemNs),
            (long long)(cpuEnd.userNs - cpuStart.userNs), (long long)(cpuEnd.systemNs - cpuStart.systemNs));
    for (const auto& [name, ns] : threadCpuBetween(windowStart, windowEnd))
      fprintf(out, "thread %s %lld\n", name.c_str(), (long long)ns);
  }
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  fprintf(out, "maxrss_kib %ld\n", usage.ru_maxrss);
  fclose(out);
}

static void noteFirstFrame()
{
  const char* r = (const char*)glGetString(GL_RENDERER);
  const char* v = (const char*)glGetString(GL_VERSION);
  renderer  = r ? r : "unknown";
  glVersion = v ? v : "unknown";
  if (SDL_Surface* screen = SDL_GetVideoSurface()) {
    frameWidth  = screen->w;
    frameHeight = screen->h;
  }
}

static bool escapeDue()
{
  return escapeAfterNs > 0 && !frames.empty() && !escapeSent &&
         sinceStart() - frames.front().swapOut >= escapeAfterNs;
}

extern "C" {

Uint32 SDL_GetTicks(void)
{
  static auto realTicks = realFunction<Uint32 (*)(void)>("SDL_GetTicks");
  static bool seedRead = false;
  if (onMainThread()) {
    lastTicksNs = sinceStart();
    // the first reading is the seed, taken once the tables are filled; the loop reads
    // the ticks every millisecond after that, so this is not searched for each time
    if (!seedRead) {
      seedRead = true;
      mark("tables_done");
    }
  }
  return realTicks();
}

int SDL_Init(Uint32 flags)
{
  static auto realInit = realFunction<int (*)(Uint32)>("SDL_Init");
  const bool video = flags & SDL_INIT_VIDEO;
  markOnce(video ? "video_init_begin" : "audio_init_begin");
  int result = realInit(flags);
  markOnce(video ? "video_init_end" : "audio_init_end");
  return result;
}

int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunksize)
{
  static auto realOpen = realFunction<int (*)(int, Uint16, int, int)>("Mix_OpenAudio");
  markOnce("audio_open_begin");
  int result = realOpen(frequency, format, channels, chunksize);
  markOnce("audio_open_end");
  return result;
}

Mix_Music* Mix_LoadMUS(const char* file)
{
  static auto realLoad = realFunction<Mix_Music* (*)(const char*)>("Mix_LoadMUS");
  markOnce("music_load_begin");
  Mix_Music* music = realLoad(file);
  markOnce("music_load_end");
  return music;
}

int Mix_PlayMusic(Mix_Music* music, int loops)
{
  static auto realPlay = realFunction<int (*)(Mix_Music*, int)>("Mix_PlayMusic");
  markOnce("music_play_begin");
  int result = realPlay(music, loops);
  markOnce("music_play_end");
  return result;
}

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
  static auto realMode = realFunction<SDL_Surface* (*)(int, int, int, Uint32)>("SDL_SetVideoMode");
  markOnce("video_mode_begin");
  SDL_Surface* result = realMode(width, height, bpp, flags);
  markOnce("video_mode_end");
  return result;
}

// the GL state and the five textures lie between the video mode and this call
int SDL_ShowCursor(int toggle)
{
  static auto realShow = realFunction<int (*)(int)>("SDL_ShowCursor");
  markOnce("gl_ready");
  return realShow(toggle);
}

int SDL_WM_ToggleFullScreen(SDL_Surface* surface)
{
  static auto realToggle = realFunction<int (*)(SDL_Surface*)>("SDL_WM_ToggleFullScreen");
  markOnce("fullscreen_begin");
  int result = realToggle(surface);
  markOnce("fullscreen_end");
  return result;
}

void SDL_GL_SwapBuffers(void)
{
  static auto realSwap = realFunction<void (*)(void)>("SDL_GL_SwapBuffers");
  if (!onMainThread() || escapeSent) {
    realSwap();
    return;
  }
  if (frames.empty())
    noteFirstFrame();
  FrameTimes f;
  f.begin  = lastTicksNs;
  f.swapIn = sinceStart();
  realSwap();
  f.swapOut = sinceStart();
  frames.push_back(f);

  if (frames.size() == 1) {
    markOnce("first_frame");
    windowStartNs = f.swapOut;
    cpuStart      = processCpu();
    windowStart   = threadTimes();
  }
}

int SDL_PollEvent(SDL_Event* event)
{
  static auto realPoll = realFunction<int (*)(SDL_Event*)>("SDL_PollEvent");
  if (onMainThread() && escapeDue()) {
    escapeSent = true;
    closeWindow();
    return escapeKeyPress(event);
  }
  return realPoll(event);
}

} // extern "C"
