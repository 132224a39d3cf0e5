// bounce.cpp -- the bouncing sprite: a chequered ball, lit from the top left, with a cool rim light
#include "images.h"

#include <cmath>

static const int    BALL_SIDE    = 128;
static const double BALL_RADIUS  = 60;   // pixels; a black margin all round
static const int    SUPERSAMPLE  = 4;
static const int    CHECKS_ROUND = 16;     // checks around the equator
static const int    CHECKS_DOWN  = 8;      // checks from pole to pole
static const double TILT         = 0.35;   // radians the spin axis leans
static const double SPIN         = 0.3;    // radians the chequer is turned about the axis
static const double PI           = 3.14159265358979323846;

static const Colour CHECK_RED   = { 0.95, 0.06, 0.16 };
static const Colour CHECK_WHITE = { 0.86, 0.84, 0.92 };
static const Colour RIM_COLOUR  = { 0.15, 0.75, 1.00 };
static const double LIGHT[3]    = { -0.48, -0.58, 0.66 };   // toward the light: left, up, front

static Colour ballSample(double x, double y)
{
  const double nx = (x - BALL_SIDE / 2.0) / BALL_RADIUS, ny = (y - BALL_SIDE / 2.0) / BALL_RADIUS;
  const double rr = nx * nx + ny * ny;
  if (rr >= 1)
    return rgb(0, 0, 0);
  const double nz = std::sqrt(1 - rr);

  // the chequer lives on the sphere turned about its leaning axis
  const double ax     = nx * std::cos(TILT) + ny * std::sin(TILT);
  const double ay     = -nx * std::sin(TILT) + ny * std::cos(TILT);
  const double lon    = std::atan2(ax, nz) + SPIN;
  const double lat    = std::asin(ay);
  const int    across = (int)std::floor(lon / (2 * PI) * CHECKS_ROUND + CHECKS_ROUND);
  const int    down   = (int)std::floor((lat / PI + 0.5) * CHECKS_DOWN);
  const Colour base   = (across + down) % 2 ? CHECK_RED : CHECK_WHITE;

  const double diffuse = std::fmax(0, nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2]);
  // mirror the light about the normal; the viewer looks along +z
  const double reflect  = 2 * (nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2]) * nz - LIGHT[2];
  const double specular = std::pow(std::fmax(0, reflect), 40);
  const double rim      = std::pow(1 - nz, 3) * smoothstep(-0.2, 0.8, nx + ny);

  const Colour lit = add(scale(base, 0.08 + 0.92 * diffuse), scale(rgb(1, 1, 1), 0.9 * specular));
  return add(lit, scale(RIM_COLOUR, 0.8 * rim));
}

void makeBounce(Canvas* c)
{
  canvasClear(c, BALL_SIDE, BALL_SIDE);
  canvasSupersample(c, SUPERSAMPLE, ballSample);
}
