// sprites.cpp -- twenty bouncing sprites whose row turns between a slanted line and an ellipse
#include "fx/fx.h"
#include "gfx/gfx.h"

#include <cmath>

static const int     SPRITE_SPACING = 360;    // table units between sprites: 18 degrees
static const double  COLUMN_RADIUS  = 1.8;    // widest column from the centre
static const double  BOUNCE_HEIGHT  = 0.6;    // largest swing up or down
static const GLfloat HALF_WIDTH     = 0.2f;
static const GLfloat BASE_LIFT      = 0.1f;   // bottom edge above the base value
static const double  STRETCH        = 1.2;    // the top edge rises faster than the base ...
static const GLfloat TOP_LIFT       = 0.4f;   // ... from this height, so high sprites are taller
static const GLfloat SPRITE_Z       = -1.0f;
static const GLfloat SPRITE_ALPHA   = 0.5f;

void drawSprites()
{
  glBindTexture(GL_TEXTURE_2D, texture[TEX_BOUNCE]);
  glBlendFunc(GL_ONE, GL_ONE);
  glBegin(GL_QUADS);
    glColor4f(1.0f, 1.0f, 1.0f, SPRITE_ALPHA);
    for (int i = 0; i < FULL_TURN; i += SPRITE_SPACING) {
      const GLfloat xtux = (GLfloat)(COLUMN_RADIUS * fastsin[i]);   // the sprite's centre
      // i + yvect runs past the table's end, so the library sine supplies the bounce
      const GLfloat ytux = (GLfloat)(BOUNCE_HEIGHT * sin((double)(i + yvect) * TABLE_PI / 3600));

      const GLfloat bottom = ytux + BASE_LIFT;
      const GLfloat top    = (GLfloat)(STRETCH * ytux + TOP_LIFT);
      glTexCoord2f(0.0f, 1.0f);  glVertex3f(xtux - HALF_WIDTH, bottom, SPRITE_Z);
      glTexCoord2f(1.0f, 1.0f);  glVertex3f(xtux + HALF_WIDTH, bottom, SPRITE_Z);
      glTexCoord2f(1.0f, 0.0f);  glVertex3f(xtux + HALF_WIDTH, top,    SPRITE_Z);
      glTexCoord2f(0.0f, 0.0f);  glVertex3f(xtux - HALF_WIDTH, top,    SPRITE_Z);
    }
  glEnd();
}
