// banner.cpp -- the background image as two sheared quads whose edges sway out of step
#include "fx/fx.h"
#include "gfx/gfx.h"

static const GLfloat BANNER_ALPHA = 0.1f;    // drawn at a tenth of its strength
static const GLfloat BANNER_Z     = 7.0f;    // distance behind the scene's origin, before zparty
static const double  HALF_WIDTH   = 4.0;     // each edge is 8 units wide
static const double  SWAY         = 0.2;     // largest sideways shift of an edge

static const GLfloat BOTTOM_Y = -3.4f;
static const GLfloat MIDDLE_Y = -0.2f;
static const GLfloat TOP_Y    =  2.7f;

// A horizontal edge shifted sideways by the sine of its own counter.
struct BannerEdge { GLfloat left, right, y; };

static BannerEdge swayedEdge(int counter, GLfloat y)
{
  double shift = SWAY * fastsin[counter];
  return { (GLfloat)(-HALF_WIDTH + shift), (GLfloat)(HALF_WIDTH + shift), y };
}

void drawBanner()
{
  const BannerEdge bottom = swayedEdge(partyshear1, BOTTOM_Y);
  const BannerEdge middle = swayedEdge(partyshear2, MIDDLE_Y);
  const BannerEdge top    = swayedEdge(partyshear3, TOP_Y);
  const GLfloat z = zparty - BANNER_Z;

  glBindTexture(GL_TEXTURE_2D, texture[TEX_BG]);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glBegin(GL_QUADS);
    glColor4f(1.0f, 1.0f, 1.0f, BANNER_ALPHA);

    // lower half of the image; the middle edge is emitted twice, so no seam can open
    glTexCoord2f(0.0f, 1.0f);  glVertex3f(bottom.left,  bottom.y, z);
    glTexCoord2f(1.0f, 1.0f);  glVertex3f(bottom.right, bottom.y, z);
    glTexCoord2f(1.0f, 0.5f);  glVertex3f(middle.right, middle.y, z);
    glTexCoord2f(0.0f, 0.5f);  glVertex3f(middle.left,  middle.y, z);

    // upper half
    glTexCoord2f(0.0f, 0.5f);  glVertex3f(middle.left,  middle.y, z);
    glTexCoord2f(1.0f, 0.5f);  glVertex3f(middle.right, middle.y, z);
    glTexCoord2f(1.0f, 0.0f);  glVertex3f(top.right,    top.y,    z);
    glTexCoord2f(0.0f, 0.0f);  glVertex3f(top.left,     top.y,    z);
  glEnd();
}
