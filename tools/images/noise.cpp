// noise.cpp -- integer hashing and value noise: the only source of randomness in the pictures
#include "images.h"

#include <cmath>

static unsigned int hash32(unsigned int x)
{
  // a well-mixing 32-bit finaliser; unsigned arithmetic wraps the same everywhere
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

double hashUnit(int x, int y, unsigned int seed)
{
  unsigned int h = hash32((unsigned int)x * 0x9e3779b1U ^ hash32((unsigned int)y + seed * 0x85ebca6bU));
  return (h >> 8) / 16777216.0;   // the top 24 bits, exact in a double
}

double valueNoise(double x, double y, unsigned int seed)
{
  const double fx = std::floor(x), fy = std::floor(y);
  const int    ix = (int)fx, iy = (int)fy;
  const double tx = smoothstep(0, 1, x - fx), ty = smoothstep(0, 1, y - fy);
  const double top    = hashUnit(ix, iy, seed) * (1 - tx) + hashUnit(ix + 1, iy, seed) * tx;
  const double bottom = hashUnit(ix, iy + 1, seed) * (1 - tx) + hashUnit(ix + 1, iy + 1, seed) * tx;
  return top * (1 - ty) + bottom * ty;
}

double fbm(double x, double y, int octaves, unsigned int seed)
{
  double sum = 0, weight = 0.5, total = 0;
  for (int i = 0; i < octaves; i++) {
    sum += valueNoise(x, y, seed + (unsigned int)i) * weight;
    total += weight;
    x *= 2.03;
    y *= 2.03;
    weight *= 0.5;
  }
  return sum / total;
}
