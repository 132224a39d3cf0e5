// report.cpp -- the report file: its lines as the run goes, each thread's CPU, the peak memory at exit
#include "interpose.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static FILE* report;      // null for no report
static bool  cpuClosed;   // the "last" CPU lines are written

void openReport()
{
  const char* path = getenv("INTERPOSE_REPORT");
  if (path && *path && !(report = fopen(path, "w"))) {
    fprintf(stderr, "interpose: cannot write %s: %s\n", path, strerror(errno));
    _exit(3);
  }
}

void note(const char* format, ...)
{
  if (!report)
    return;
  va_list args;
  va_start(args, format);
  vfprintf(report, format, args);
  va_end(args);
}

void flushReport()
{
  if (report)
    fflush(report);
}

// Process CPU, then every thread's from /proc, as "cpu" and "thread" lines.
void noteCpu(const char* when)
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

void closeCpuWindow()
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
