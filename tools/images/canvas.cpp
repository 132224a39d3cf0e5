// canvas.cpp -- the float canvas every generator paints on, colour arithmetic and ramps
#include "images.h"

#include <cmath>

void canvasClear(Canvas* c, int width, int height)
{
  c->width  = width;
  c->height = height;
  for (int i = 0; i < width * height; i++)
    c->pixel[i] = rgb(0, 0, 0);
}

Colour* canvasAt(Canvas* c, int x, int y)
{
  return &c->pixel[y * c->width + x];
}

void canvasSupersample(Canvas* c, int n, Colour (*sample)(double px, double py), double (*weight)(int x, int y))
{
  const double inv = 1.0 / n;
  for (int y = 0; y < c->height; y++)
    for (int x = 0; x < c->width; x++) {
      Colour sum = rgb(0, 0, 0);
      for (int sy = 0; sy < n; sy++)
        for (int sx = 0; sx < n; sx++)
          sum = add(sum, sample(x + (sx + 0.5) * inv, y + (sy + 0.5) * inv));
      *canvasAt(c, x, y) = scale(sum, inv * inv * (weight ? weight(x, y) : 1.0));
    }
}

unsigned char channelByte(double v)
{
  // floor(v * 255 + 0.5) is exact for every value we produce; no rounding mode enters
  double scaled = std::floor(clamp01(v) * 255.0 + 0.5);
  return (unsigned char)scaled;
}

Colour rgb(double r, double g, double b)
{
  return { r, g, b };
}
Colour add(Colour a, Colour b)
{
  return { a.r + b.r, a.g + b.g, a.b + b.b };
}
Colour scale(Colour a, double k)
{
  return { a.r * k, a.g * k, a.b * k };
}
Colour mix(Colour a, Colour b, double t)
{
  return add(scale(a, 1 - t), scale(b, t));
}

Colour ramp(const RampStop* stops, int count, double t)
{
  if (t <= stops[0].at)
    return stops[0].colour;
  for (int i = 1; i < count; i++)
    if (t < stops[i].at)
      return mix(stops[i - 1].colour, stops[i].colour,
                 (t - stops[i - 1].at) / (stops[i].at - stops[i - 1].at));
  return stops[count - 1].colour;
}

double clamp01(double v)
{
  return v < 0 ? 0 : v > 1 ? 1 : v;
}

double smoothstep(double edge0, double edge1, double v)
{
  double t = clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3 - 2 * t);
}
