// frame.cpp -- draws one complete picture, presents it, then moves the animation on
#include "fx/fx.h"

#include <SDL/SDL.h>

static const GLfloat CAMERA_Y    = 0.5f;   // the scene sits above the line of sight ...
static const GLfloat CAMERA_Z    = -5.0f;  // ... and this far in front of the eye
static const GLfloat ROLL_DEGREE = 4.0f;   // largest camera roll either way

int drawGLScene()
{
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  // one camera for every pass: rolled about the scene's origin, then moved into view
  glLoadIdentity();
  glTranslatef(0.0f, CAMERA_Y, CAMERA_Z);
  glRotatef(ROLL_DEGREE * fastsin[screenbounce], 0.0f, 0.0f, 1.0f);

  // far to near: depth writes stay on, so the order is part of the picture
  drawBanner();     // faint swaying background
  drawScroller();   // the invitation text, leaning back
  drawSprites();    // the bouncing row
  drawLogo();       // the logo and its echo trail
  drawSparks();     // drifting glints, moved as they are drawn

  SDL_GL_SwapBuffers();

  // the picture just shown was drawn from the state before this step
  stepClock();
  advanceScroll();
  return 1;
}
