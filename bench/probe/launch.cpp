// launch.cpp -- probe-launch PROGRAM [ARG...]: notes the monotonic clock, then becomes PROGRAM
//
// The reading goes to PROGRAM as PROBE_START_NS, so the probe inside it can count start-up
// from the exec itself: the dynamic loader and the libraries' own start-up are included.
#include "probeclock.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char* argv[])
{
  if (argc < 2) {
    fprintf(stderr, "usage: probe-launch PROGRAM [ARG...]\n");
    return 2;
  }
  const std::string now = std::to_string(monotonicNs());
  setenv("PROBE_START_NS", now.c_str(), 1);
  execvp(argv[1], argv + 1);
  fprintf(stderr, "probe-launch: cannot run %s: %s\n", argv[1], strerror(errno));
  return 127;
}
