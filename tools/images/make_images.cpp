// make_images.cpp -- make-images FOLDER: writes the intro's five pictures into FOLDER
#include "images.h"

#include <cstdio>

static Canvas canvas;   // one picture at a time, the largest is 512x512

int main(int argc, char** argv)
{
  if (argc != 2) {
    fprintf(stderr, "usage: make-images FOLDER\n");
    return 2;
  }
  return writeAllImages(argv[1], &canvas) ? 0 : 1;
}
