// scroller.cpp -- the invitation text moving right to left on a line that leans back
#include "fx/fx.h"
#include "gfx/gfx.h"

#include <cstring>

char  scrolltext[SCROLLTEXT_SIZE];
int   scrollchar;
float scrollx;

static const int    SCROLL_GLYPHS = 21;     // glyph positions on screen
static const float  SCROLLX_START = 3.0f;   // the glyphs' shift as the text starts
static const double GLYPH_PITCH   = 0.4;    // glyph centres lie one glyph width apart
static const double SCROLL_STEP   = 0.05;   // leftward movement per frame
static const double SCROLLX_WRAP  = 3.6;    // one glyph past the start: move the window on

// the line: bottom edge near the viewer, top edge leaning two units back
static const float LINE_BOTTOM_Y = -2.3f;
static const float LINE_TOP_Y    = -1.5f;
static const float LINE_BOTTOM_Z = -3.0f;
static const float LINE_TOP_Z    = -5.0f;

void init_scroller()
{
  memcpy(scrolltext, scrollMessage, sizeof scrollMessage);
  scrollx = SCROLLX_START;
}

void drawScroller()
{
  glBindTexture(GL_TEXTURE_2D, texture[TEX_FONT]);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glBegin(GL_QUADS);
    for (int i = 0; i < SCROLL_GLYPHS; i++) {
      float x = (float)(i * GLYPH_PITCH - scrollx);
      GLfontchar(&scrolltext[scrollchar + i], x, LINE_BOTTOM_Y, LINE_TOP_Y, LINE_BOTTOM_Z, LINE_TOP_Z);
    }
  glEnd();
}

// Length of the text in the buffer, bounded by the buffer itself.
static int scrollLength()
{
  return (int)strnlen(scrolltext, SCROLLTEXT_SIZE - SCROLL_GLYPHS);
}

void advanceScroll()
{
  scrollx = (float)(scrollx + SCROLL_STEP);

  // one glyph width moved: shift the window by a character and the glyphs back by a width,
  // which leaves every glyph where it was
  if (scrollx >= SCROLLX_WRAP) {
    scrollx = (float)(scrollx - GLYPH_PITCH);
    scrollchar++;
  }

  // past the zero byte that ends the text: start again from the leading blanks
  if (scrollchar > scrollLength())
    scrollchar = 0;
}
