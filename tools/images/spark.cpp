// spark.cpp -- the spark: a white-hot head at the top-left corner trailing a cyan streak along the top edge
#include "images.h"

#include <cmath>

static const int SPARK_WIDTH  = 64;
static const int SPARK_HEIGHT = 16;

// Only the half where s + t <= 1 is ever shown; the light fades out before the
// diagonal so the triangle's long edge never shows.
static Colour sparkLight(double s, double t)
{
  const double fade   = smoothstep(0.95, 0.55, s + t);
  const double head   = std::exp(-((s / 0.07) * (s / 0.07) + (t / 0.35) * (t / 0.35)));
  const double streak = std::exp(-(t / 0.28) * (t / 0.28)) * std::pow(1 - clamp01(s), 1.3);
  const Colour trail  = mix(rgb(1, 1, 1), rgb(0.2, 0.7, 1.0), clamp01(s * 1.6));
  return scale(add(scale(rgb(1, 1, 1), head), scale(trail, 1.3 * streak)), fade);
}

void makeSpark(Canvas* c)
{
  canvasClear(c, SPARK_WIDTH, SPARK_HEIGHT);
  for (int y = 0; y < SPARK_HEIGHT; y++)
    for (int x = 0; x < SPARK_WIDTH; x++)
      *canvasAt(c, x, y) = sparkLight((x + 0.5) / SPARK_WIDTH, (y + 0.5) / SPARK_HEIGHT);
}
