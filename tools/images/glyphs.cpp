// glyphs.cpp -- the outline of every character we draw, as bars, rounded rings, discs and polygons
#include "images.h"

#include <cmath>

// Coordinates run over the stroke centre lines: u = 0 is the middle of a left
// stem and u = 1 of a right one, v = 0 of a top bar and v = 1 of a bottom bar.
// So the same table draws a squat glyph for the atlas and an upright one for
// the logo, with every stroke the same thickness on screen.
enum OpKind { OP_END, OP_LINE, OP_RING, OP_FILL, OP_DISC, OP_POLY, OP_CUT };

struct GlyphOp {
  OpKind kind;
  double x0, y0, x1, y1;   // corners or end points (a disc: centre and radius in box widths)
  double corner[4];        // rings and fills: corner radius per corner, as a share of the half side
  double thick;            // lines and rings: stroke as a share of the stem
};

constexpr int GLYPH_MAX_OPS = 8;

struct Glyph {
  char    c;
  GlyphOp ops[GLYPH_MAX_OPS];
};

constexpr double R = 0.9;   // how round the round letters are

// clang-format off
static constexpr GlyphOp line(double x0, double y0, double x1, double y1, double t = 1)
{ return { OP_LINE, x0, y0, x1, y1, { 0, 0, 0, 0 }, t }; }
static constexpr GlyphOp ring(double x0, double y0, double x1, double y1,
                              double tl, double tr, double br, double bl, double t = 1)
{ return { OP_RING, x0, y0, x1, y1, { tl, tr, br, bl }, t }; }
static constexpr GlyphOp fill(double x0, double y0, double x1, double y1, double round = 0.35)
{ return { OP_FILL, x0, y0, x1, y1, { round, round, round, round }, 1 }; }
static constexpr GlyphOp disc(double cx, double cy, double r)
{ return { OP_DISC, cx, cy, r, 0, { 0, 0, 0, 0 }, 1 }; }
static constexpr GlyphOp poly(int index)
{ return { OP_POLY, (double)index, 0, 0, 0, { 0, 0, 0, 0 }, 1 }; }
// removes a box from the primitive just before it, and from nothing else
static constexpr GlyphOp cut(double x0, double y0, double x1, double y1)
{ return { OP_CUT, x0, y0, x1, y1, { 0, 0, 0, 0 }, 1 }; }
// clang-format on

constexpr int POLY_MAX_POINTS = 10;
struct GlyphPolygon {
  int  count;
  Vec2 v[POLY_MAX_POINTS];
};

enum { POLY_STAR, POLY_HEART_TIP, POLY_COUNT };

// clang-format off
static const GlyphPolygon glyphPolygons[POLY_COUNT] = {
  // four-pointed star: the section separator
  { 8, { { 0.5, 0.1 }, { 0.7, 0.4 }, { 1.1, 0.5 }, { 0.7, 0.6 },
         { 0.5, 0.9 }, { 0.3, 0.6 }, { -0.1, 0.5 }, { 0.3, 0.4 } } },
  // lower point of the heart, under its two lobes
  { 3, { { -0.12, 0.4 }, { 1.12, 0.4 }, { 0.5, 0.7 } } },
};
// clang-format on

// clang-format off
static const Glyph glyphs[] = {
  { 'A', { line(0.3, 0, 0, 1), line(0.7, 0, 1, 1), line(0.3, 0, 0.7, 0), line(0.1, 0.62, 0.9, 0.62) } },
  { 'B', { ring(0, 0, 1, 0.47, 0, R, R, 0), ring(0, 0.47, 1, 1, 0, R, R, 0) } },
  { 'C', { ring(0, 0, 1, 1, R, R, R, R), cut(0.5, 0.26, 2, 0.74) } },
  { 'D', { ring(0, 0, 1, 1, 0, R, R, 0) } },
  { 'E', { line(0, 0, 0, 1), line(0, 0, 1, 0), line(0, 0.48, 0.8, 0.48), line(0, 1, 1, 1) } },
  { 'F', { line(0, 0, 0, 1), line(0, 0, 1, 0), line(0, 0.48, 0.8, 0.48) } },
  { 'G', { ring(0, 0, 1, 1, R, R, R, R), cut(0.5, 0.24, 2, 0.5), line(0.5, 0.53, 1, 0.53) } },
  { 'H', { line(0, 0, 0, 1), line(1, 0, 1, 1), line(0, 0.48, 1, 0.48) } },
  { 'I', { line(0.5, 0, 0.5, 1), line(0.05, 0, 0.95, 0), line(0.05, 1, 0.95, 1) } },
  { 'J', { ring(0, -1, 1, 1, 0, 0, R, R), cut(-1, -2, 0.5, 0.64), line(0.25, 0, 1, 0) } },
  { 'K', { line(0, 0, 0, 1), line(0, 0.56, 1, 0), line(0.4, 0.36, 1, 1) } },
  { 'L', { line(0, 0, 0, 1), line(0, 1, 1, 1) } },
  { 'M', { line(0, 0, 0, 1), line(1, 0, 1, 1), line(0, 0, 0.5, 0.56, 0.8), line(1, 0, 0.5, 0.56, 0.8) } },
  { 'N', { line(0, 0, 0, 1), line(1, 0, 1, 1), line(0, 0, 1, 1, 0.9) } },
  { 'O', { ring(0, 0, 1, 1, R, R, R, R) } },
  { 'P', { ring(0, 0, 1, 0.55, 0, R, R, 0), line(0, 0, 0, 1) } },
  { 'Q', { ring(0, 0, 1, 1, R, R, R, R), line(0.45, 0.7, 1.05, 1.08, 0.9) } },
  { 'R', { ring(0, 0, 1, 0.52, 0, R, R, 0), line(0, 0, 0, 1), line(0.4, 0.52, 1, 1) } },
  { 'S', { ring(0, 0, 1, 0.5, R, R, R, R), cut(0.5, 0.2, 2, 2),
           ring(0, 0.5, 1, 1, R, R, R, R), cut(-1, -1, 0.5, 0.8) } },
  { 'T', { line(0, 0, 1, 0), line(0.5, 0, 0.5, 1) } },
  { 'U', { ring(0, -1, 1, 1, 0, 0, R, R) } },
  { 'V', { line(0, 0, 0.36, 1), line(1, 0, 0.64, 1), line(0.36, 1, 0.64, 1) } },
  { 'W', { line(0, 0, 0, 1), line(1, 0, 1, 1), line(0, 1, 0.5, 0.44, 0.8), line(1, 1, 0.5, 0.44, 0.8) } },
  { 'X', { line(0, 0, 1, 1, 0.9), line(1, 0, 0, 1, 0.9) } },
  { 'Y', { line(0, 0, 0.5, 0.5), line(1, 0, 0.5, 0.5), line(0.5, 0.5, 0.5, 1) } },
  { 'Z', { line(0, 0, 1, 0), line(1, 0, 0, 1, 0.9), line(0, 1, 1, 1) } },
  { '0', { ring(0, 0, 1, 1, R, R, R, R), line(0.2, 0.72, 0.8, 0.28, 0.6) } },
  { '1', { line(0.6, 0, 0.6, 1), line(0.6, 0, 0.05, 0.22), line(0.05, 1, 1, 1) } },
  { '2', { ring(0, 0, 1, 0.5, R, R, 0, 0), cut(-1, 0.2, 0.5, 0.42), line(0, 0.5, 0, 1), line(0, 1, 1, 1) } },
  { '3', { ring(0, 0, 1, 1, R, R, R, R), cut(-1, 0.2, 0.5, 0.8), line(0.3, 0.48, 1, 0.48) } },
  { '4', { line(0, 0, 0, 0.62), line(0, 0.62, 1, 0.62), line(0.78, 0.1, 0.78, 1) } },
  { '5', { line(0, 0, 1, 0), line(0, 0, 0, 0.48), ring(0, 0.48, 1, 1, 0, R, R, R), cut(-1, 0.56, 0.5, 0.8) } },
  { '6', { ring(0, 0, 1, 1, R, R, R, R), cut(0.5, 0.2, 2, 0.46), line(0, 0.48, 1, 0.48) } },
  { '7', { line(0, 0, 1, 0), line(1, 0, 0.3, 1) } },
  { '8', { ring(0, 0, 1, 0.48, R, R, R, R), ring(0, 0.48, 1, 1, R, R, R, R) } },
  { '9', { ring(0, 0, 1, 1, R, R, R, R), cut(-1, 0.54, 0.5, 0.8), line(0, 0.52, 1, 0.52) } },
  { ',', { fill(0.35, 0.8, 0.65, 0.9), line(0.62, 0.9, 0.3, 1.02, 0.7) } },
  { '.', { fill(0.35, 0.9, 0.65, 1) } },
  { '!', { fill(0.35, 0, 0.65, 0.68, 0.2), fill(0.35, 0.9, 0.65, 1) } },
  { '?', { ring(0, 0, 1, 0.46, R, R, R, 0), cut(-1, 0.2, 0.45, 2),
           line(0.5, 0.46, 0.5, 0.7), fill(0.35, 0.9, 0.65, 1) } },
  // the spare lower-case cells: a heart for 'a', a star for the separator 's'
  { 'a', { disc(0.26, 0.36, 0.3), disc(0.74, 0.36, 0.3), poly(POLY_HEART_TIP) } },
  { '@', { ring(0, 0, 1, 1, R, R, R, R, 0.55), cut(0.55, 0.7, 2, 0.86),
           ring(0.36, 0.3, 0.74, 0.7, R, R, R, R, 0.55), line(0.74, 0.3, 0.74, 0.76, 0.55),
           line(0.74, 0.76, 1, 0.76, 0.55) } },
  { ':', { fill(0.35, 0.28, 0.65, 0.38), fill(0.35, 0.9, 0.65, 1) } },
  { ';', { fill(0.35, 0.28, 0.65, 0.38), fill(0.35, 0.8, 0.65, 0.9), line(0.62, 0.9, 0.3, 1.02, 0.7) } },
  { '-', { line(0.1, 0.52, 0.9, 0.52) } },
  { '(', { ring(0.3, 0, 1.8, 1, R, 0, 0, R), cut(0.8, -1, 3, 2) } },
  { ')', { ring(-0.8, 0, 0.7, 1, 0, R, R, 0), cut(-2, -1, 0.2, 2) } },
  { 's', { poly(POLY_STAR) } },
};
// clang-format on

static const double FAR_AWAY = 1e9;   // distance reported for characters without a glyph

static const Glyph* findGlyph(char c)
{
  for (const Glyph& g : glyphs)
    if (g.c == c)
      return &g;
  return nullptr;
}

// centre-line coordinates to design units
static Vec2 toBox(double u, double v, const GlyphBox* box)
{
  return { box->stem / 2 + u * (box->width - box->stem), box->stem / 2 + v * (box->height - box->stem) };
}

static double roundBoxRing(const GlyphOp& op, Vec2 p, const GlyphBox* box, bool filled)
{
  Vec2 lo = toBox(op.x0, op.y0, box), hi = toBox(op.x1, op.y1, box);
  if (filled) {   // a fill covers its centre-line box and half a stem beyond, like a ring does
    lo = { lo.x - box->stem / 2, lo.y - box->stem / 2 };
    hi = { hi.x + box->stem / 2, hi.y + box->stem / 2 };
  }
  const double half      = std::fmin(hi.x - lo.x, hi.y - lo.y) / 2;
  const double radius[4] = { op.corner[0] * half, op.corner[1] * half, op.corner[2] * half,
                             op.corner[3] * half };
  const double d         = sdRoundBox(p, lo, hi, radius);
  return filled ? d : std::fabs(d) - op.thick * box->stem / 2;
}

static double opDistance(const GlyphOp& op, Vec2 p, const GlyphBox* box)
{
  switch (op.kind) {
  case OP_LINE:
    return sdSquareSegment(p, toBox(op.x0, op.y0, box), toBox(op.x1, op.y1, box), op.thick * box->stem / 2);
  case OP_RING:
    return roundBoxRing(op, p, box, false);
  case OP_FILL:
    return roundBoxRing(op, p, box, true);
  case OP_DISC:
    return sdCircle(p, toBox(op.x0, op.y0, box), op.x1 * box->width);
  case OP_POLY: {
    const GlyphPolygon& shape = glyphPolygons[(int)op.x0];
    Vec2                v[POLY_MAX_POINTS];
    for (int i = 0; i < shape.count; i++)
      v[i] = toBox(shape.v[i].x, shape.v[i].y, box);
    return sdPolygon(p, v, shape.count);
  }
  default:
    return FAR_AWAY;
  }
}

double glyphDistance(char c, Vec2 p, const GlyphBox* box)
{
  const Glyph* g = findGlyph(c);
  if (!g)
    return FAR_AWAY;
  double total = FAR_AWAY, current = FAR_AWAY;
  for (int i = 0; i < GLYPH_MAX_OPS && g->ops[i].kind != OP_END; i++) {
    const GlyphOp& op = g->ops[i];
    if (op.kind == OP_CUT) {
      current = std::fmax(current, -sdBox(p, toBox(op.x0, op.y0, box), toBox(op.x1, op.y1, box)));
      continue;
    }
    total   = std::fmin(total, current);
    current = opDistance(op, p, box);
  }
  total = std::fmin(total, current);
  // whatever pokes out of the box (the square ends of slanted bars) is cut flush with it
  return std::fmax(total, sdBox(p, { 0, 0 }, { box->width, box->height }));
}
