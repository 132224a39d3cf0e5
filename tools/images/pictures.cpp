// pictures.cpp -- the list of pictures and the loop that writes them all into one folder
#include "images.h"

#include <cstdio>

struct ImageJob {
  const char* file;
  void (*make)(Canvas* c);
};

// clang-format off
static const ImageJob imageJobs[] = {
  { "logo.bmp",   makeLogo       },
  { "bounce.bmp", makeBounce     },
  { "spark.bmp",  makeSpark      },
  { "font.bmp",   makeFont       },
  { "bg.bmp",     makeBackground },
};
// clang-format on

int writeAllImages(const char* folder, Canvas* scratch)
{
  for (const ImageJob& job : imageJobs) {
    char path[4096];
    if (snprintf(path, sizeof path, "%s/%s", folder, job.file) >= (int)sizeof path)
      return 0;
    job.make(scratch);
    if (!bmpWrite(scratch, path)) {
      fprintf(stderr, "make-images: cannot write %s\n", path);
      return 0;
    }
  }
  return 1;
}
