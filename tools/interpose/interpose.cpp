// interpose.cpp -- LD_PRELOAD library that drives the unmodified intro from outside: its clock, its frames, its Escape
//
// Never linked into the intro. Every feature is off until its setting is in the environment:
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
#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <GL/gl.h>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

static const int BYTES_PER_PIXEL = 3;    // GL_RGB, GL_UNSIGNED_BYTE
static const int RUNAWAY_FRAMES  = 100;  // frames after the Escape before we end an intro that ignores it
static const int MAX_MARKS       = 16;   // start-up steps: nine are reported
static const int FRAME_SLOTS     = 3;    // frames read back and not yet sent: the intro draws on meanwhile
static const int PIPE_BYTES      = 1 << 20;  // Linux's default ceiling for a pipe's buffer

static pthread_t          mainThread;       // the thread that loaded us: the intro's own
static FILE*              report;           // null for no report
static int64_t            startNs;          // CLOCK_MONOTONIC at the exec, or at our load
static int64_t            loadNs;           // CLOCK_MONOTONIC at our load

static bool               virtualClock;     // INTERPOSE_VIRTUAL given
static Uint32             virtualSeed;      // what the virtual clock reads before SDL_Init
static std::atomic<bool>  virtualStarted;   // SDL_Init has been called
static std::atomic<Uint32> virtualNow;      // virtual ms since SDL_Init
static bool               shiftedClock;     // INTERPOSE_TICKS given
static Uint32             shiftedStart;     // its reading at our load

static int                frameFd = -1;     // where raw frames go, -1 for nowhere
static int                resizeWidth, resizeHeight;  // INTERPOSE_SIZE, 0 when not given
static bool               resizeSent;
static long               quitFrames;       // 0: never
static int64_t            quitNs;           // after the first frame; 0: never

static const char*        marked[MAX_MARKS];  // start-up steps already in the report
static int                markCount;
static Uint32             lastTicks;        // the intro's latest reading on its main thread
static int64_t            lastTicksNs;      // ... and when it was taken
static long               framesShown;      // presented frames before the Escape
static long               framesAfterEscape; // swaps the intro made after it
static int64_t            firstFrameNs;     // return from the first swap
static bool               escapeSent;
static bool               cpuClosed;        // the "last" CPU lines are written
static int                frameWidth, frameHeight;   // the first frame's size, in pixels
static int64_t            renderNs, waitNs, readNs;  // the latest sent frame's read-back, in parts

// Frames on their way out: the main thread reads each into the next free slot, the sender
// thread writes the slots out in the same order. The buffers are never freed, so the sender
// may still use them while the process runs its exit handlers.
struct FrameSlot {
  unsigned char* pixels;   // one frame as GL reads it, bottom row first
  bool           full;     // read back, not yet sent
};
static FrameSlot               slots[FRAME_SLOTS];
static int                     fillSlot, sendSlot;   // the next slot to read into, and to send
static bool                    sendingClosed;        // no more frames will come
static std::mutex              slotLock;
static std::condition_variable slotMoved;
static std::thread             sender;

template <typename Fn>
static Fn realFunction(const char* name)
{
  void* fn = dlsym(RTLD_NEXT, name);
  if (!fn) {
    fprintf(stderr, "interpose: cannot find the real %s\n", name);
    _exit(3);
  }
  return reinterpret_cast<Fn>(fn);
}

// A setting from the environment; unset or empty gives the fallback. Anything that is not
// wholly a number ends the process with status 3, since a wrong setting spoils the run.
static bool given(const char* name)
{
  const char* text = getenv(name);
  return text && *text;
}

static double setting(const char* name, double fallback)
{
  if (!given(name))
    return fallback;
  const char* text = getenv(name);
  char* end = nullptr;
  double value = strtod(text, &end);
  if (*end || value < 0) {
    fprintf(stderr, "interpose: %s=%s is not a number\n", name, text);
    _exit(3);
  }
  return value;
}

// INTERPOSE_SIZE as two positive numbers; anything else ends the process like a wrong number does.
static void readSize()
{
  const char* text = getenv("INTERPOSE_SIZE");
  if (!text || !*text)
    return;
  char end;
  if (sscanf(text, "%dx%d%c", &resizeWidth, &resizeHeight, &end) != 2 || resizeWidth <= 0 || resizeHeight <= 0) {
    fprintf(stderr, "interpose: INTERPOSE_SIZE=%s is not a size like 1920x1080\n", text);
    _exit(3);
  }
}

static int64_t clockNs(clockid_t id)
{
  timespec now;
  clock_gettime(id, &now);
  return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

static int64_t sinceStart()
{
  return clockNs(CLOCK_MONOTONIC) - startNs;
}

static bool onMainThread()
{
  return pthread_equal(pthread_self(), mainThread);
}

__attribute__((format(printf, 1, 2))) static void note(const char* format, ...)
{
  if (!report)
    return;
  va_list args;
  va_start(args, format);
  vfprintf(report, format, args);
  va_end(args);
}

static void markOnce(const char* step, int64_t ns)
{
  if (!onMainThread() || markCount == MAX_MARKS)
    return;
  for (int i = 0; i < markCount; i++)
    if (strcmp(marked[i], step) == 0)
      return;
  marked[markCount++] = step;
  note("mark %s %lld\n", step, (long long)ns);
}

static void markOnce(const char* step)
{
  markOnce(step, sinceStart());
}

__attribute__((constructor)) static void interposeLoad()
{
  mainThread = pthread_self();
  loadNs     = clockNs(CLOCK_MONOTONIC);
  startNs    = loadNs;
  const double execTime = setting("INTERPOSE_EXEC_TIME", 0);
  const int64_t sinceExec = clockNs(CLOCK_REALTIME) - (int64_t)(execTime * 1e9);
  if (execTime > 0 && sinceExec > 0)
    startNs -= sinceExec;
  virtualClock = given("INTERPOSE_VIRTUAL");
  virtualSeed  = (Uint32)(unsigned long long)setting("INTERPOSE_VIRTUAL", 0);
  shiftedClock = given("INTERPOSE_TICKS");
  shiftedStart = (Uint32)(unsigned long long)setting("INTERPOSE_TICKS", 0);
  frameFd      = (int)setting("INTERPOSE_FRAMES_FD", -1);
  quitFrames   = (long)setting("INTERPOSE_QUIT_FRAMES", 0);
  quitNs       = (int64_t)(setting("INTERPOSE_QUIT_SECONDS", 0) * 1e9);
  readSize();
  // a reader that went away shows up as a failed write, not as a silent death; a pipe
  // that holds a whole small frame lets the sender hand it over in one go
  if (frameFd >= 0) {
    signal(SIGPIPE, SIG_IGN);
    fcntl(frameFd, F_SETPIPE_SZ, PIPE_BYTES);
  }
  const char* path = getenv("INTERPOSE_REPORT");
  if (path && *path && !(report = fopen(path, "w"))) {
    fprintf(stderr, "interpose: cannot write %s: %s\n", path, strerror(errno));
    _exit(3);
  }
  markOnce("libraries_loaded", loadNs - startNs);
}

// Process CPU, then every thread's from /proc, as "cpu" and "thread" lines.
static void noteCpu(const char* when)
{
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  auto ns = [](const timeval& t) { return (long long)t.tv_sec * 1000000000 + (long long)t.tv_usec * 1000; };
  note("cpu %s %lld %lld %lld\n", when, (long long)sinceStart(), ns(usage.ru_utime), ns(usage.ru_stime));
  DIR* tasks = opendir("/proc/self/task");
  while (dirent* task = tasks ? readdir(tasks) : nullptr) {
    if (task->d_name[0] == '.')
      continue;
    char path[PATH_MAX], name[32] = "?";
    long long cpuNs = -1;
    snprintf(path, sizeof path, "/proc/self/task/%s/schedstat", task->d_name);
    if (FILE* in = fopen(path, "r")) {
      if (fscanf(in, "%lld", &cpuNs) != 1)
        cpuNs = -1;
      fclose(in);
    }
    snprintf(path, sizeof path, "/proc/self/task/%s/comm", task->d_name);
    if (FILE* in = fopen(path, "r")) {
      if (fscanf(in, "%31s", name) != 1)
        strcpy(name, "?");
      fclose(in);
    }
    if (atol(task->d_name) == (long)getpid())
      strcpy(name, "main");
    if (cpuNs >= 0)
      note("thread %s %s %s %lld\n", when, task->d_name, name, cpuNs);
  }
  if (tasks)
    closedir(tasks);
}

static void closeCpuWindow()
{
  if (cpuClosed || framesShown == 0)
    return;
  cpuClosed = true;
  noteCpu("last");
}

__attribute__((destructor)) static void interposeExit()
{
  if (!report)
    return;
  closeCpuWindow();
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  note("maxrss_kib %ld\n", usage.ru_maxrss);
  fclose(report);
  report = nullptr;
}

static Uint32 readTicks()
{
  static auto realTicks = realFunction<Uint32 (*)(void)>("SDL_GetTicks");
  if (virtualClock)
    return virtualStarted ? (Uint32)virtualNow : virtualSeed;
  // unsigned arithmetic: the reading wraps at 2^32 ms like SDL's own after 49.7 days
  if (shiftedClock)
    return shiftedStart + (Uint32)((clockNs(CLOCK_MONOTONIC) - loadNs) / 1000000);
  return realTicks();
}

// Writes one frame's rows last to first, so the video gets them top row first without a copy.
static void writeFrame(const unsigned char* frame)
{
  const size_t row = (size_t)frameWidth * BYTES_PER_PIXEL;
  iovec rows[IOV_MAX];
  int next = frameHeight - 1;   // the next GL row to queue: GL's rows run bottom-up
  while (next >= 0) {
    int count = 0;
    for (; count < IOV_MAX && next >= 0; count++, next--)
      rows[count] = { const_cast<unsigned char*>(frame + row * next), row };
    iovec* pending = rows;
    while (count > 0) {
      ssize_t n = writev(frameFd, pending, count);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        fprintf(stderr, "interpose: writing a frame failed: %s\n", strerror(errno));
        _exit(3);
      }
      // a short write leaves the rest of the batch, perhaps from the middle of a row
      for (size_t done = (size_t)n; done > 0;) {
        const size_t step = std::min(done, pending->iov_len);
        pending->iov_base = (char*)pending->iov_base + step;
        pending->iov_len -= step;
        done -= step;
        if (pending->iov_len == 0) {
          pending++;
          count--;
        }
      }
    }
  }
}

// The sender thread: writes the full slots out in order until the intro is done.
static void sendFrames()
{
  std::unique_lock<std::mutex> lock(slotLock);
  for (;;) {
    slotMoved.wait(lock, [] { return slots[sendSlot].full || sendingClosed; });
    if (!slots[sendSlot].full)
      return;
    lock.unlock();
    writeFrame(slots[sendSlot].pixels);
    lock.lock();
    slots[sendSlot].full = false;
    sendSlot = (sendSlot + 1) % FRAME_SLOTS;
    slotMoved.notify_all();
  }
}

// Sends whatever is still queued before the process ends; run once, from exit.
static void finishSending()
{
  {
    std::lock_guard<std::mutex> lock(slotLock);
    sendingClosed = true;
  }
  slotMoved.notify_all();
  sender.join();
}

static void startSending()
{
  const size_t bytes = (size_t)frameWidth * frameHeight * BYTES_PER_PIXEL;
  for (FrameSlot& slot : slots)
    if (!(slot.pixels = (unsigned char*)malloc(bytes))) {
      fprintf(stderr, "interpose: no memory for %d frames of %dx%d\n", FRAME_SLOTS, frameWidth, frameHeight);
      _exit(3);
    }
  sender = std::thread(sendFrames);
  // registered after every static object of ours, so it runs before they are destroyed
  atexit(finishSending);
}

// Reads the finished back buffer into the next free slot for the sender. The renderer is
// waited for first, so the read-back's own cost shows apart from the drawing's.
static void sendFrame()
{
  if (!sender.joinable())
    startSending();
  const int64_t begin = sinceStart();
  glFinish();
  const int64_t rendered = sinceStart();
  FrameSlot& slot = slots[fillSlot];
  {
    std::unique_lock<std::mutex> lock(slotLock);
    slotMoved.wait(lock, [&] { return !slot.full; });
  }
  const int64_t slotFree = sinceStart();
  GLint packAlignment, readBuffer;
  glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, slot.pixels);
  glReadBuffer(readBuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
  renderNs = rendered - begin;
  waitNs   = slotFree - rendered;
  readNs   = sinceStart() - slotFree;
  {
    std::lock_guard<std::mutex> lock(slotLock);
    slot.full = true;
  }
  slotMoved.notify_all();
  fillSlot = (fillSlot + 1) % FRAME_SLOTS;
}

// The picture's size is taken from the first frame; a frame of another size cannot join the video.
static void checkSize(const SDL_Surface* screen)
{
  if (framesShown == 0) {
    frameWidth  = screen->w;
    frameHeight = screen->h;
  } else if (screen->w != frameWidth || screen->h != frameHeight) {
    fprintf(stderr, "interpose: the picture changed size from %dx%d to %dx%d\n",
            frameWidth, frameHeight, screen->w, screen->h);
    _exit(3);
  }
}

static void noteFirstFrame(int64_t swapOut)
{
  const char* renderer = (const char*)glGetString(GL_RENDERER);
  const char* version  = (const char*)glGetString(GL_VERSION);
  note("renderer %s\ngl_version %s\nsize %dx%d\n", renderer ? renderer : "unknown",
       version ? version : "unknown", frameWidth, frameHeight);
  markOnce("first_frame", swapOut);
  firstFrameNs = swapOut;
  noteCpu("first");
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

int SDL_Init(Uint32 flags)
{
  static auto realInit = realFunction<int (*)(Uint32)>("SDL_Init");
  markOnce(flags & SDL_INIT_VIDEO ? "video_init_begin" : "audio_init_begin");
  // the first start sets the virtual clock going; later ones (one per subsystem) change nothing
  if (virtualClock && !virtualStarted) {
    virtualNow     = shiftedClock ? shiftedStart : 0;
    virtualStarted = true;
  }
  return realInit(flags);
}

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
  static auto realMode = realFunction<SDL_Surface* (*)(int, int, int, Uint32)>("SDL_SetVideoMode");
  markOnce("video_mode_begin");
  SDL_Surface* surface = realMode(width, height, bpp, flags);
  markOnce("video_mode_end");
  // Mesa's software GL learns a window's new size at its next buffer swap: present the
  // undrawn buffer once, so the intro's first frame after our resize fills the window
  if (surface && resizeSent && onMainThread() && framesShown == 0)
    realFunction<void (*)(void)>("SDL_GL_SwapBuffers")();
  return surface;
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
  int result = realToggle(surface);
  markOnce("fullscreen_end");
  return result;
}

// the capture lays the soundtrack under the video from the virtual moment playback began
int Mix_PlayMusic(Mix_Music* music, int loops)
{
  static auto realPlay = realFunction<int (*)(Mix_Music*, int)>("Mix_PlayMusic");
  static bool played = false;
  int result = realPlay(music, loops);
  if (result == 0 && !played && onMainThread()) {
    played = true;
    char dir[PATH_MAX];
    note("music %u %s\n", readTicks(), getcwd(dir, sizeof dir) ? dir : "?");
    int rate, channels;
    Uint16 format;
    if (Mix_QuerySpec(&rate, &format, &channels))
      note("audio %d %d\n", rate, channels);
    if (report)
      fflush(report);   // a test reads the device's format while the intro runs on
  }
  return result;
}

void SDL_GL_SwapBuffers(void)
{
  static auto realSwap = realFunction<void (*)(void)>("SDL_GL_SwapBuffers");
  SDL_Surface* screen = SDL_GetVideoSurface();
  if (!onMainThread() || !screen) {
    realSwap();
    return;
  }
  if (escapeSent) {
    if (++framesAfterEscape > RUNAWAY_FRAMES) {
      fprintf(stderr, "interpose: the intro went on drawing after Escape\n");
      exit(3);
    }
    realSwap();
    return;
  }
  checkSize(screen);
  if (frameFd >= 0)
    sendFrame();
  const int64_t swapIn = sinceStart();
  realSwap();
  const int64_t swapOut = sinceStart();
  note("frame %u %lld %lld %lld", lastTicks, (long long)lastTicksNs, (long long)swapIn, (long long)swapOut);
  if (frameFd >= 0)
    note(" %lld %lld %lld", (long long)renderNs, (long long)waitNs, (long long)readNs);
  note("\n");
  // a capture counts the report's frame lines while it runs, to show its progress
  if (frameFd >= 0 && report)
    fflush(report);
  if (++framesShown == 1)
    noteFirstFrame(swapOut);
}

int SDL_PollEvent(SDL_Event* event)
{
  static auto realPoll = realFunction<int (*)(SDL_Event*)>("SDL_PollEvent");
  // the intro polls before its first frame: it resizes through its own path, as for a window manager
  if (resizeWidth > 0 && !resizeSent && onMainThread() && event) {
    resizeSent = true;
    memset(event, 0, sizeof *event);
    event->type     = SDL_VIDEORESIZE;
    event->resize.w = resizeWidth;
    event->resize.h = resizeHeight;
    return 1;
  }
  const bool due = framesShown > 0 && ((quitFrames > 0 && framesShown >= quitFrames) ||
                                       (quitNs > 0 && sinceStart() - firstFrameNs >= quitNs));
  if (!due || escapeSent || !onMainThread())
    return realPoll(event);
  escapeSent = true;
  closeCpuWindow();
  if (event) {
    memset(event, 0, sizeof *event);
    event->type           = SDL_KEYDOWN;
    event->key.state      = SDL_PRESSED;
    event->key.keysym.sym = SDLK_ESCAPE;
  }
  return 1;
}

} // extern "C"
