// images.h -- the image generators: canvas, BMP writer, shape distances, glyph outlines, the five pictures
#pragma once

#include "fx/atlas.h"

#include <cstddef>

//
// canvas: linear colour in 0..1 per channel, row 0 at the top of the picture
//
constexpr int CANVAS_MAX_SIDE = 512;   // the largest picture we make (font atlas, banner)

struct Colour {
  double r, g, b;
};

struct Canvas {
  int    width;
  int    height;
  Colour pixel[CANVAS_MAX_SIDE * CANVAS_MAX_SIDE];
};

void          canvasClear(Canvas* c, int width, int height);   // black, given size
Colour*       canvasAt(Canvas* c, int x, int y);
// Paints every pixel of the canvas with the mean of n x n samples spread evenly over it (a sample
// at a point in pixels), times weight at the pixel when one is given.
void canvasSupersample(Canvas* c, int n, Colour (*sample)(double px, double py),
                       double (*weight)(int x, int y) = nullptr);
unsigned char channelByte(double v);   // clamped, rounded to the nearest of 0..255

Colour rgb(double r, double g, double b);
Colour add(Colour a, Colour b);
Colour scale(Colour a, double k);
Colour mix(Colour a, Colour b, double t);   // a at t = 0, b at t = 1

// A colour ramp: stops in ascending order of position, clamped at both ends.
struct RampStop {
  double at;
  Colour colour;
};
Colour ramp(const RampStop* stops, int count, double t);

double clamp01(double v);
double smoothstep(double edge0, double edge1, double v);

//
// BMP: uncompressed 24 bits per pixel, 40-byte info header, bottom-up rows padded to 4 bytes
//
int bmpWrite(const Canvas* c, const char* path);   // 1 on success, 0 on failure

//
// signed distances in design units: negative inside, positive outside
//
struct Vec2 {
  double x, y;
};

double sdBox(Vec2 p, Vec2 lo, Vec2 hi);
// radius[] per corner: top-left, top-right, bottom-right, bottom-left
double sdRoundBox(Vec2 p, Vec2 lo, Vec2 hi, const double radius[4]);
// a bar with square ends, reaching halfWidth past a and b
double sdSquareSegment(Vec2 p, Vec2 a, Vec2 b, double halfWidth);
double sdCircle(Vec2 p, Vec2 centre, double radius);
double sdPolygon(Vec2 p, const Vec2* v, int count);

//
// glyph outlines, drawn into a box of any proportion
//
struct GlyphBox {
  double width;    // design units across
  double height;   // design units down
  double stem;     // stroke thickness in design units
};

double glyphDistance(char c, Vec2 p, const GlyphBox* box);   // p from the box's top-left corner

//
// deterministic noise
//
double       hashUnit(int x, int y, unsigned int seed);           // 0 .. 1, a fixed value per lattice point
double       valueNoise(double x, double y, unsigned int seed);   // smooth, 0 .. 1
double       fbm(double x, double y, int octaves, unsigned int seed);

//
// the pictures: each fills a canvas of its own size
//
constexpr int ATLAS_SIDE    = 512;   // the font: the intro's glyph atlas (fx/atlas.h), drawn this size
constexpr int ATLAS_CELL_PX = ATLAS_SIDE / ATLAS_CELLS;

void makeFont(Canvas* c);
void makeLogo(Canvas* c);
void makeBounce(Canvas* c);
void makeSpark(Canvas* c);
void makeBackground(Canvas* c);

int writeAllImages(const char* folder, Canvas* scratch);   // 1 when all five were written
