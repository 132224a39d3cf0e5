// probeclock.h -- clocks, CPU accounting and settings for the timing probe
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

int64_t monotonicNs();

// A setting from the environment; unset or empty gives the fallback, anything that is not
// wholly a number ends the process with status 3, since a wrong setting spoils the run.
int64_t envInt64(const char* name, int64_t fallback);
double  envDouble(const char* name, double fallback);

struct ProcessCpu { int64_t userNs, systemNs; };
ProcessCpu processCpu();

// CPU of every thread of this process, by thread id, with its name.
struct ThreadCpu { std::string name; int64_t ns; };
using ThreadTimes = std::map<long, ThreadCpu>;
ThreadTimes threadTimes();

// CPU each thread used between two snapshots, named "main" for the process's first
// thread and by its own name otherwise. Threads born inside the window count from zero.
std::vector<std::pair<std::string, int64_t>> threadCpuBetween(const ThreadTimes& before,
                                                              const ThreadTimes& after);

// The first field of /proc/.../schedstat: time spent on a CPU, in ns. -1 when unreadable.
int64_t parseSchedstat(const std::string& text);
