// glstate.cpp -- the fixed GL state set once at start-up, and the projection for a window size
#include "gfx/gfx.h"

#include <GL/glu.h>

static GLfloat envcol[4] = { 0.1f, 0.5f, 0.7f, 1.0f };   // red, green, blue, alpha of the clear colour

static const GLdouble FIELD_OF_VIEW = 30.0;   // vertical, in degrees
static const GLfloat  NEAR_PLANE    = 0.1f;   // single precision, widened for gluPerspective
static const GLdouble FAR_PLANE     = 100.0;

int initGL()
{
  // without textures none of the fixed state is set: the picture runs on GL's defaults
  if (!LoadGLTextures())
    return 0;

  glEnable(GL_TEXTURE_2D);
  glShadeModel(GL_FLAT);
  glEnable(GL_BLEND);
  glClearColor(envcol[0], envcol[1], envcol[2], envcol[3]);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  return 1;
}

int resizeWindow(int width, int height)
{
  // a window squeezed to no height still gets a one-pixel viewport and a finite ratio
  if (height == 0)
    height = 1;

  GLfloat ratio = (GLfloat)width / (GLfloat)height;

  glViewport(0, 0, width, height);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(FIELD_OF_VIEW, ratio, NEAR_PLANE, FAR_PLANE);

  // the frame routine works on the model-view matrix from here on
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  return 1;
}
