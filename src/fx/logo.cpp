// logo.cpp -- the logo on its small ellipse and fifteen fading copies stacked toward the viewer
#include "fx/fx.h"
#include "gfx/gfx.h"

static const int     ECHO_COUNT  = 15;
static const double  ECHO_DEPTH  = 0.04;   // each echo this much nearer than the one before
static const double  ECHO_ALPHA  = 0.2;    // strength of the first echo ...
static const double  ECHO_FADE   = 0.01;   // ... less this per echo, less the pulse
static const GLfloat HALF_WIDTH  = 1.0f;   // the logo quad is 2 by 0.5
static const GLfloat HALF_HEIGHT = 0.25f;

static void logoQuad(GLfloat z)
{
  glTexCoord2f(0.0f, 1.0f);  glVertex3f(xpos - HALF_WIDTH, ypos - HALF_HEIGHT, z);
  glTexCoord2f(1.0f, 1.0f);  glVertex3f(xpos + HALF_WIDTH, ypos - HALF_HEIGHT, z);
  glTexCoord2f(1.0f, 0.0f);  glVertex3f(xpos + HALF_WIDTH, ypos + HALF_HEIGHT, z);
  glTexCoord2f(0.0f, 0.0f);  glVertex3f(xpos - HALF_WIDTH, ypos + HALF_HEIGHT, z);
}

void drawLogo()
{
  glBindTexture(GL_TEXTURE_2D, texture[TEX_LOGO]);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glBegin(GL_QUADS);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    logoQuad(0.0f);

    // echo 0 lies on the logo itself and shows only because equal depth passes
    for (int i = 0; i < ECHO_COUNT; i++) {
      const GLfloat zoom = (GLfloat)(ECHO_DEPTH * i);
      // alpha may go below zero at the pulse's peak: GL clamps it and the echo adds nothing
      glColor4f(1.0f, 1.0f, 1.0f, (GLfloat)(ECHO_ALPHA - ECHO_FADE * i - pulsesin));
      logoQuad(zoom);
    }
  glEnd();
}
