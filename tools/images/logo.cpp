// logo.cpp -- "NEON FJORD" in glowing tubes, "2027" small beneath, on black
#include "images.h"

#include <cmath>

static const int    LOGO_WIDTH  = 512;
static const int    LOGO_HEIGHT = 128;   // the quad is 2 by 0.5 units: 4 to 1
static const int    SUPERSAMPLE = 3;
static const double TUBE_INSET  = 2.6;   // the tube runs this far inside each letter's edge
static const double TUBE_RADIUS = 2.2;
static const double GLOW_REACH  = 5.5;   // the outer glow falls to 1/e over this many pixels
// Fifteen echoes add about twice the logo's light around it again, so the
// body and glow stay dim and the tubes carry the letters.
static const double BODY       = 0.08;   // a letter's inside, as a share of its neon colour
static const double GLOW       = 0.3;    // the glow at the letter's edge
static const double EDGE_BLACK = 2;      // pixels left black along every edge
static const double EDGE_FADE  = 7;      // then the light fades in over this many

struct LogoWord {
  const char* text;
  double      left, top;   // pixels
  GlyphBox    box;         // letter size and stroke, pixels
  double      gap;         // between letters, pixels
  Colour      neon;
};

// clang-format off
static const LogoWord words[] = {
  { "NEON",  40,  10, { 40, 72, 10.5 }, 7, { 1.00, 0.06, 0.55 } },
  { "FJORD", 247, 10, { 40, 72, 10.5 }, 7, { 0.10, 0.82, 1.00 } },
  { "2027",  213, 89, { 18, 29, 5.5 },  5, { 1.00, 0.78, 0.18 } },
};
// clang-format on

// the thin rules either side of "2027"
static const double RULE_Y = 103.5, RULE_HALF = 1.5;
static const double RULES[2][2] = { { 132, 200 }, { 312, 380 } };
static const Colour RULE_COLOUR = { 1.00, 0.50, 0.85 };

static Colour neonLight(double d, Colour neon, double glow)
{
  Colour c = rgb(0, 0, 0);
  if (d < 0) {
    // a dim body of the neon's colour, the tube's white-hot core a little inside the edge
    c = scale(neon, BODY);

    const double across = std::fabs(-d - TUBE_INSET) / TUBE_RADIUS;
    if (across < 1) {
      const double core = 1 - across * across;

      c = add(c, add(scale(neon, core), scale(rgb(1, 1, 1), 0.75 * core * core * core)));
    }
  }
  if (d > 0 || glow > 0)
    c = add(c, scale(neon, glow * std::exp(-std::fmax(d, 0) / GLOW_REACH)));
  return c;
}

// the light of every letter and rule at one point: letters do not overlap, their glows add
static Colour logoSample(double x, double y)
{
  Colour sum = rgb(0, 0, 0);
  for (const LogoWord& w : words) {
    double left = w.left;
    for (const char* ch = w.text; *ch; ch++) {
      sum = add(sum, neonLight(glyphDistance(*ch, { x - left, y - w.top }, &w.box), w.neon, GLOW));
      left += w.box.width + w.gap;
    }
  }
  for (const auto& r : RULES) {
    const double d = sdBox({ x, y }, { r[0], RULE_Y - RULE_HALF }, { r[1], RULE_Y + RULE_HALF });
    if (d < 0)
      sum = add(sum, add(RULE_COLOUR, scale(rgb(1, 1, 1), 0.3)));
    else
      sum = add(sum, scale(RULE_COLOUR, 0.5 * std::exp(-d / 3)));
  }
  return sum;
}

static double fadeIn(int fromEdge)
{
  return smoothstep(EDGE_BLACK - 1, EDGE_BLACK + EDGE_FADE, fromEdge);
}

// black all round, so the quad's edges never show
static double edgeFade(int x, int y)
{
  return fadeIn(x) * fadeIn(LOGO_WIDTH - 1 - x) * fadeIn(y) * fadeIn(LOGO_HEIGHT - 1 - y);
}

void makeLogo(Canvas* c)
{
  canvasClear(c, LOGO_WIDTH, LOGO_HEIGHT);
  canvasSupersample(c, SUPERSAMPLE, logoSample, edgeFade);
}
