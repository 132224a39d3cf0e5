// interpose.cpp -- the library's load: the shared core first, then each part that needs starting
#include "interpose.h"

__attribute__((constructor)) static void interposeLoad()
{
  const int64_t loaded = startCore();
  loadClock();
  loadReadBack();
  loadDrive();
  openReport();
  markOnce("libraries_loaded", loaded);
}
