// core.cpp -- what every part shares: the settings read from the environment, the clocks, the real
// functions behind ours, and which thread is the intro's own
#include "interpose.h"

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int64_t loadNs;   // CLOCK_MONOTONIC at our load

static pthread_t mainThread;   // the thread that loaded us: the intro's own
static int64_t   startNs;      // CLOCK_MONOTONIC at the exec, or at our load

void* realSymbol(const char* name)
{
  void* fn = dlsym(RTLD_NEXT, name);
  if (!fn) {
    fprintf(stderr, "interpose: cannot find the real %s\n", name);
    _exit(3);
  }
  return fn;
}

bool given(const char* name)
{
  const char* text = getenv(name);
  return text && *text;
}

double setting(const char* name, double fallback)
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

int64_t clockNs(clockid_t id)
{
  timespec now;
  clock_gettime(id, &now);
  return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

int64_t sinceStart()
{
  return clockNs(CLOCK_MONOTONIC) - startNs;
}

bool onMainThread()
{
  return pthread_equal(pthread_self(), mainThread);
}

int64_t startCore()
{
  mainThread = pthread_self();
  loadNs     = clockNs(CLOCK_MONOTONIC);
  startNs    = loadNs;
  const double execTime = setting("INTERPOSE_EXEC_TIME", 0);
  const int64_t sinceExec = clockNs(CLOCK_REALTIME) - (int64_t)(execTime * 1e9);
  if (execTime > 0 && sinceExec > 0)
    startNs -= sinceExec;
  return loadNs - startNs;
}
