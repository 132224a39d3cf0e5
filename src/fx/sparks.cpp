// sparks.cpp -- sixty thin glints drifting left and reborn at random on the right
#include "fx/fx.h"
#include "gfx/gfx.h"

#include <cstdlib>

GLfloat sparkx[SPARK_COUNT];
GLfloat sparky[SPARK_COUNT];
GLfloat sparkz[SPARK_COUNT];

static const double  DRIFT         = 0.02;   // leftward movement per frame
static const double  REBIRTH_LINE  = -2.0;   // reborn once strictly left of this
static const GLfloat SPARK_LENGTH  = 0.05f;  // along +x
static const GLfloat SPARK_HEIGHT  = 0.01f;  // along -y

// Every coordinate is a random digit times a spacing plus an offset.
static double randomDigit() { return rand() % 10; }

static GLfloat startX()   { return (GLfloat)(randomDigit() * 0.4 - 1.0); }
static GLfloat rebirthX() { return (GLfloat)(randomDigit() * 0.2 + 2.0); }
static GLfloat randomY()  { return (GLfloat)(randomDigit() * 0.3 - 2.0); }
static GLfloat randomZ()  { return (GLfloat)(randomDigit() * 0.5 - 0.05); }

void init_starfield()
{
  // three draws per spark, in the order x, y, z
  for (int i = 0; i < SPARK_COUNT; i++) {
    sparkx[i] = startX();
    sparky[i] = randomY();
    sparkz[i] = randomZ();
  }
}

static void moveSpark(int i)
{
  sparkx[i] = (GLfloat)(sparkx[i] - DRIFT);
  if (sparkx[i] < REBIRTH_LINE) {
    sparkx[i] = rebirthX();
    sparky[i] = randomY();
    sparkz[i] = randomZ();
  }
}

void drawSparks()
{
  glBindTexture(GL_TEXTURE_2D, texture[TEX_SPARK]);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBegin(GL_TRIANGLES);
    for (int i = 0; i < SPARK_COUNT; i++) {
      moveSpark(i);
      const GLfloat x = sparkx[i], y = sparky[i], z = sparkz[i];
      glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
      glTexCoord2f(0.0f, 0.0f);  glVertex3f(x,                y,                z);
      glTexCoord2f(0.0f, 1.0f);  glVertex3f(x,                y - SPARK_HEIGHT, z);
      glTexCoord2f(1.0f, 0.0f);  glVertex3f(x + SPARK_LENGTH, y,                z);
    }
  glEnd();
}
