// shape.cpp -- signed distances of the few primitives the glyphs and pictures are built from
#include "images.h"

#include <cmath>

static double length(double x, double y)
{
  return std::sqrt(x * x + y * y);
}

double sdBox(Vec2 p, Vec2 lo, Vec2 hi)
{
  const double cx = (lo.x + hi.x) / 2, cy = (lo.y + hi.y) / 2;
  const double qx = std::fabs(p.x - cx) - (hi.x - lo.x) / 2;
  const double qy = std::fabs(p.y - cy) - (hi.y - lo.y) / 2;
  return length(std::fmax(qx, 0), std::fmax(qy, 0)) + std::fmin(std::fmax(qx, qy), 0);
}

double sdRoundBox(Vec2 p, Vec2 lo, Vec2 hi, const double radius[4])
{
  const double cx = (lo.x + hi.x) / 2, cy = (lo.y + hi.y) / 2;
  const double px = p.x - cx, py = p.y - cy;
  // y grows downward: the quadrant picks the corner
  const double r  = py < 0 ? (px < 0 ? radius[0] : radius[1]) : (px < 0 ? radius[3] : radius[2]);
  const double qx = std::fabs(px) - (hi.x - lo.x) / 2 + r;
  const double qy = std::fabs(py) - (hi.y - lo.y) / 2 + r;
  return std::fmin(std::fmax(qx, qy), 0) + length(std::fmax(qx, 0), std::fmax(qy, 0)) - r;
}

double sdSquareSegment(Vec2 p, Vec2 a, Vec2 b, double halfWidth)
{
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len = length(dx, dy);
  const double ux = len > 0 ? dx / len : 1, uy = len > 0 ? dy / len : 0;
  const double mx = p.x - (a.x + b.x) / 2, my = p.y - (a.y + b.y) / 2;
  const double along  = std::fabs(mx * ux + my * uy) - (len / 2 + halfWidth);
  const double across = std::fabs(-mx * uy + my * ux) - halfWidth;
  return length(std::fmax(along, 0), std::fmax(across, 0)) + std::fmin(std::fmax(along, across), 0);
}

double sdCircle(Vec2 p, Vec2 centre, double radius)
{
  return length(p.x - centre.x, p.y - centre.y) - radius;
}

// Exact distance to a closed polygon of either winding; the sign flips with each edge crossed.
double sdPolygon(Vec2 p, const Vec2* v, int count)
{
  double best = (p.x - v[0].x) * (p.x - v[0].x) + (p.y - v[0].y) * (p.y - v[0].y);
  double sign = 1;
  for (int i = 0, j = count - 1; i < count; j = i, i++) {
    const double ex = v[j].x - v[i].x, ey = v[j].y - v[i].y;
    const double wx = p.x - v[i].x, wy = p.y - v[i].y;
    const double t  = clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
    const double bx = wx - ex * t, by = wy - ey * t;

    best = std::fmin(best, bx * bx + by * by);
    // crossing an edge that spans p's height on the matching side flips the sign
    const bool c1 = p.y >= v[i].y, c2 = (p.y < v[j].y), c3 = (ex * wy > ey * wx);
    if ((c1 && c2 && c3) || (!c1 && !c2 && !c3))
      sign = -sign;
  }
  return sign * std::sqrt(best);
}
