// probeclock.cpp -- clocks, CPU accounting and settings for the timing probe
#include "probeclock.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

int64_t monotonicNs()
{
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

static const char* setting(const char* name)
{
  const char* text = getenv(name);
  return text && *text ? text : nullptr;
}

[[noreturn]] static void badSetting(const char* name, const char* text)
{
  fprintf(stderr, "probe: %s=%s is not a number\n", name, text);
  _exit(3);
}

int64_t envInt64(const char* name, int64_t fallback)
{
  const char* text = setting(name);
  if (!text)
    return fallback;
  char* end = nullptr;
  errno = 0;
  long long value = strtoll(text, &end, 10);
  if (*end || errno)
    badSetting(name, text);
  return value;
}

double envDouble(const char* name, double fallback)
{
  const char* text = setting(name);
  if (!text)
    return fallback;
  char* end = nullptr;
  double value = strtod(text, &end);
  if (*end || value < 0)
    badSetting(name, text);
  return value;
}

ProcessCpu processCpu()
{
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return {(int64_t)usage.ru_utime.tv_sec * 1000000000 + (int64_t)usage.ru_utime.tv_usec * 1000,
          (int64_t)usage.ru_stime.tv_sec * 1000000000 + (int64_t)usage.ru_stime.tv_usec * 1000};
}

int64_t parseSchedstat(const std::string& text)
{
  std::istringstream in(text);
  long long ns;
  if (!(in >> ns) || ns < 0)
    return -1;
  return ns;
}

static std::string readFile(const std::string& path)
{
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ThreadTimes threadTimes()
{
  ThreadTimes times;
  DIR* dir = opendir("/proc/self/task");
  if (!dir)
    return times;
  while (dirent* entry = readdir(dir)) {
    char* end = nullptr;
    long tid = strtol(entry->d_name, &end, 10);
    if (*end || tid <= 0)
      continue;
    const std::string base = std::string("/proc/self/task/") + entry->d_name;
    int64_t ns = parseSchedstat(readFile(base + "/schedstat"));
    if (ns < 0)
      continue;
    std::string name = readFile(base + "/comm");
    while (!name.empty() && (name.back() == '\n' || name.back() == ' '))
      name.pop_back();
    times[tid] = {name, ns};
  }
  closedir(dir);
  return times;
}

std::vector<std::pair<std::string, int64_t>> threadCpuBetween(const ThreadTimes& before,
                                                              const ThreadTimes& after)
{
  const long mainTid = (long)getpid();
  std::vector<std::pair<std::string, int64_t>> used;
  for (const auto& [tid, now] : after) {
    auto then = before.find(tid);
    int64_t start = then == before.end() ? 0 : then->second.ns;
    used.emplace_back(tid == mainTid ? std::string("main") : now.name, now.ns - start);
  }
  return used;
}
