// background.cpp -- the banner: aurora over a fjord at sunset, a neon grid on the water below
#include "images.h"

#include <cmath>

static const int    BG_SIDE     = 512;
static const int    SUPERSAMPLE = 3;
static const double HORIZON     = 0.5;   // the banner's middle edge: sky above, water below
static const double PI          = 3.14159265358979323846;
// The banner shows the image's width on about 955 screen pixels and each half
// of its height on about 350, so a round shape is drawn this much narrower.
static const double ROUND_X = 0.72;

static const unsigned int SEED_STARS    = 11;
static const unsigned int SEED_AURORA   = 23;
static const unsigned int SEED_MOUNTAIN = 37;
static const unsigned int SEED_WATER    = 41;

static const RampStop sky[] = {
  { 0.00, { 0.01, 0.00, 0.06 } },
  { 0.45, { 0.10, 0.02, 0.26 } },
  { 0.80, { 0.55, 0.08, 0.50 } },
  { 1.00, { 1.00, 0.42, 0.30 } },
};
static const RampStop sunRamp[] = {
  { 0.0, { 1.00, 0.95, 0.40 } },
  { 0.5, { 1.00, 0.55, 0.20 } },
  { 1.0, { 1.00, 0.10, 0.55 } },
};
static const Colour AURORA_LOW   = { 0.15, 1.00, 0.45 };
static const Colour AURORA_HIGH  = { 0.55, 0.15, 0.95 };
static const Colour RIDGE        = { 0.20, 0.90, 1.00 };
static const Colour ROCK         = { 0.03, 0.00, 0.07 };
static const Colour ROCK_GRAIN   = { 0.25, 0.05, 0.35 };
static const double GRID_ROWS    = 1.2;   // rows of the water grid per unit of 1 / distance below the horizon
static const double GRID_COLUMNS = 7;     // columns either side of the middle at the picture's bottom
static const Colour GRID         = { 1.00, 0.12, 0.80 };

static const double SUN_X = 0.5, SUN_Y = 0.36, SUN_R = 0.17;   // centre and radius in image heights

// height of the mountains above the horizon at u: steep walls either side of the fjord
static double mountainHeight(double u)
{
  const double walls = 0.26 * smoothstep(0.46, 0.06, u) + 0.22 * smoothstep(0.56, 0.95, u);
  return (0.015 + walls) * (0.55 + 0.6 * fbm(u * 9, 0.5, 5, SEED_MOUNTAIN));
}

static Colour aurora(double u, double v)
{
  Colour light = rgb(0, 0, 0);
  for (int band = 0; band < 2; band++) {
    const double edge = 0.2 + 0.07 * band + 0.05 * std::sin(u * 2 * PI * (1.1 + 0.5 * band) + 1.7 * band) +
                        0.05 * (fbm(u * 3, band * 7.0, 3, SEED_AURORA) - 0.5);
    // a sharp lower hem, rays fading upward
    const double below  = v - edge;
    const double rise   = below < 0 ? std::exp(below / 0.1) : std::exp(-(below / 0.012) * (below / 0.012));
    const double rays   = 0.25 + 0.75 * fbm(u * 38 + band * 13.0, v * 1.5, 3, SEED_AURORA + 5);
    const double height = clamp01(-below / 0.25);
    light = add(light, scale(mix(AURORA_LOW, AURORA_HIGH, height), rise * rays * (band ? 0.7 : 1.0)));
  }
  return light;
}

static Colour stars(double x, double y)
{
  const int cell = 12;   // pixels per star cell
  const int cx = (int)std::floor(x / cell), cy = (int)std::floor(y / cell);
  if (hashUnit(cx, cy, SEED_STARS) < 0.45)
    return rgb(0, 0, 0);
  const double sx = (cx + 0.2 + 0.6 * hashUnit(cx, cy, SEED_STARS + 1)) * cell;
  const double sy = (cy + 0.2 + 0.6 * hashUnit(cx, cy, SEED_STARS + 2)) * cell;
  const double r2 = (x - sx) * (x - sx) + (y - sy) * (y - sy);
  return scale(rgb(0.9, 0.95, 1.0), (0.4 + 0.6 * hashUnit(cx, cy, SEED_STARS + 3)) * std::exp(-r2 / 0.9));
}

static Colour sun(double u, double v)
{
  const double dx = (u - SUN_X) / ROUND_X, dy = v - SUN_Y;
  const double r    = std::sqrt(dx * dx + dy * dy);
  Colour       halo = scale(rgb(1.0, 0.35, 0.45), 0.5 * std::exp(-std::fmax(r - SUN_R, 0) / 0.05));
  if (r > SUN_R)
    return halo;
  // the lower half is cut by bands that widen toward the horizon
  const double low = (v - SUN_Y) / SUN_R;
  if (low > 0) {
    const double band = std::fmod(low * 7, 1.0);
    if (band > 0.88 - 0.55 * low)
      return halo;
  }
  return ramp(sunRamp, 3, (v - (SUN_Y - SUN_R)) / (2 * SUN_R));
}

static Colour skyAt(double u, double v, double x, double y)
{
  Colour c = ramp(sky, 4, v / HORIZON);
  // the stars fade out toward the horizon; the aurora and the sun add their light
  c = add(c, scale(stars(x, y), smoothstep(0.42, 0.2, v)));
  c = add(c, aurora(u, v));
  c = add(c, sun(u, v));

  const double ridge = HORIZON - mountainHeight(u);
  if (v > ridge) {
    // dark rock with a lit rim along the ridge
    const double below     = (v - ridge) * BG_SIDE;
    const double downSlope = (v - ridge) / (HORIZON - ridge + 1e-9);   // 0 at the ridge, 1 at the waterline
    const double grain = 0.5 * fbm(u * 40, v * 60, 3, SEED_MOUNTAIN + 9) * smoothstep(0.0, 0.3, downSlope);

    c = add(ROCK, scale(RIDGE, std::exp(-below / 1.2)));
    c = add(c, scale(ROCK_GRAIN, grain));
  } else {
    c = add(c, scale(RIDGE, 0.35 * std::exp(-(ridge - v) * BG_SIDE / 4)));
  }
  return c;
}

// how much of a line at every whole value of index covers this point, for a line this wide in index units
static double coverLine(double index, double width)
{
  const double off = std::fabs(index - std::floor(index + 0.5));
  return smoothstep(width, width * 0.4, off);
}

// the water: a rippled, darkened mirror of the sky under a grid running to the horizon
static Colour waterAt(double u, double v, double x, double y)
{
  const double w       = v - HORIZON;   // 0 at the horizon, 0.5 at the bottom
  const double ripple  = 0.012 * (valueNoise(u * 6, w * 220, SEED_WATER) - 0.5) * (0.3 + w * 4);
  const double mirrorV = HORIZON - w * 0.9;
  Colour       c       = scale(skyAt(u + ripple, mirrorV, x, 2 * HORIZON * BG_SIDE - y), 0.55);

  // glints of the sun on the water, a broken column below it
  const double column = std::exp(-((u - SUN_X) / 0.08) * ((u - SUN_X) / 0.08));
  const double glint  = smoothstep(0.55, 0.8, valueNoise(u * 30, w * 400, SEED_WATER + 1));

  c = add(c, scale(rgb(1.0, 0.6, 0.4), column * glint * (1 - w * 1.6)));

  // ground plane seen from just above: rows crowd toward the horizon, columns run to the sun
  const double row     = GRID_ROWS / (w + 1e-6);
  const double col     = (u - SUN_X) / (w + 1e-6) * GRID_COLUMNS + 100.5;
  const double rowStep = GRID_ROWS / (w * w + 1e-9) / BG_SIDE;   // row index change per pixel
  const double colStep = GRID_COLUMNS / (w + 1e-6) / BG_SIDE;    // column index change per pixel
  const double rowLine = coverLine(row, std::fmax(0.05, 1.4 * rowStep));
  const double colLine = coverLine(col, std::fmax(0.04, 1.4 * colStep));
  const double line    = std::fmax(rowLine, colLine) * smoothstep(0.0, 0.07, w);
  return add(c, scale(GRID, line));
}

static Colour backgroundSample(double px, double py)
{
  const double u = px / BG_SIDE, v = py / BG_SIDE;
  return v < HORIZON ? skyAt(u, v, px, py) : waterAt(u, v, px, py);
}

void makeBackground(Canvas* c)
{
  canvasClear(c, BG_SIDE, BG_SIDE);
  canvasSupersample(c, SUPERSAMPLE, backgroundSample);
}
