// pictures.cpp -- the list of pictures and the loop that writes them all into one folder
#include "images.h"
#include "gfx/gfx.h"

#include <cstdio>
#include <cstring>

struct ImageJob {
  TextureSlot slot;   // whose file, by the intro's own list of paths
  void (*make)(Canvas* c);
};

// clang-format off
static const ImageJob imageJobs[] = {
  { TEX_LOGO,   makeLogo       },
  { TEX_BOUNCE, makeBounce     },
  { TEX_SPARK,  makeSpark      },
  { TEX_FONT,   makeFont       },
  { TEX_BG,     makeBackground },
};
// clang-format on

// the file name of a slot's picture, without the intro's data folder
static const char* fileOf(TextureSlot slot)
{
  const char* slash = strrchr(texturePath[slot], '/');
  return slash ? slash + 1 : texturePath[slot];
}

int writeAllImages(const char* folder, Canvas* scratch)
{
  for (const ImageJob& job : imageJobs) {
    char path[4096];
    if (snprintf(path, sizeof path, "%s/%s", folder, fileOf(job.slot)) >= (int)sizeof path)
      return 0;
    job.make(scratch);
    if (!bmpWrite(scratch, path)) {
      fprintf(stderr, "make-images: cannot write %s\n", path);
      return 0;
    }
  }
  return 1;
}
