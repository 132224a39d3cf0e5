// fx.h -- the picture: lookup tables, animation clock, frame routine and its five passes
#pragma once

#include <GL/gl.h>

//
// lookup tables
//
constexpr int    FASTMATH_SIZE = 10000;       // the wave runs on past the full turn at 7200
constexpr int    FULL_TURN     = 7200;        // table units in 360 degrees (twentieths of a degree)
constexpr double TABLE_PI      = 3.14159265;  // the angle constant as the tables use it

extern float fastsin[FASTMATH_SIZE];

void init_fastmath();

//
// animation clock: phase counters in table units, stepped once per rendered frame
//
extern int xmove;           // logo ellipse
extern int pulse;           // echo pulse, in half degrees (table index pulse * 10)
extern int screenbounce;    // camera roll
extern int partybounce;     // banner depth
extern int partyshear1;     // banner bottom edge sway
extern int partyshear2;     // banner middle edge sway
extern int partyshear3;     // banner top edge sway
extern int yvect;           // sprite wave phase

// derived each step from the counters as they stood, so one frame behind them
extern GLfloat pulsesin;    // 0 .. 0.1, taken off every echo's alpha
extern GLfloat xpos;        // 0 .. 0.2, logo centre x
extern GLfloat ypos;        // -0.1 .. 0.3, logo centre y
extern GLfloat zparty;      // -1 .. 1, banner depth offset

void init_clock();          // the start phases of the three banner counters
void stepClock();

//
// frame routine and its passes, in drawing order
//
int drawGLScene();
void drawBanner();
void drawScroller();
void drawSprites();
void drawLogo();
void drawSparks();

//
// bitmap font
//
void GLfontchar(const char* textin, float xin, float yin1, float yin2, float zin1, float zin2);

// Atlas cell of a byte: left edge s and top edge t in texture coordinates.
struct FontCell { float s, t; };
FontCell fontCell(unsigned char c);

//
// scroller
//
constexpr int   SCROLLTEXT_SIZE  = 4096;

extern char  scrolltext[SCROLLTEXT_SIZE];
extern int   scrollchar;    // index of the character at the leftmost glyph position
extern float scrollx;       // leftward shift of every glyph, in units

constexpr int SCROLL_MESSAGE_LENGTH = 635;
extern const char scrollMessage[SCROLL_MESSAGE_LENGTH + 1];   // the invitation and its zero byte

void init_scroller();       // copies the message and places it at its start
void advanceScroll();

//
// spark field
//
constexpr int SPARK_COUNT = 60;

extern GLfloat sparkx[SPARK_COUNT];
extern GLfloat sparky[SPARK_COUNT];
extern GLfloat sparkz[SPARK_COUNT];

void init_starfield();
