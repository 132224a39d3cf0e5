// gl1.cpp -- the fixed-function GL 1.x the intro draws with, over WebGL: matrices, glBegin/glEnd, BGR uploads
//
// WebGL has no matrix stack, no immediate mode, no GL_TEXTURE_2D switch, no
// BGR upload and no internal format 3. The intro's own calls land here under
// their GL names; everything WebGL does have (blending, depth, textures,
// clearing) goes straight to the browser's GL library.
// Ours, not emscripten's LEGACY_GL_EMULATION: that runs each glVertex in JavaScript; a block here is one draw
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <emscripten.h>

#include <cmath>
#include <cstring>

// the browser's own entry points for the names this file takes over
extern "C" {
void emscripten_glEnable(GLenum cap);
void emscripten_glDisable(GLenum cap);
void emscripten_glClearDepthf(GLclampf depth);
}

static const int    MAX_BLOCK_VERTICES = 1024;  // one glBegin/glEnd block; the largest pass sends 180
static const double DEG_TO_RAD         = 3.14159265358979323846 / 180.0;

struct Vertex { GLfloat x, y, z, s, t, r, g, b, a; };

static Vertex  block[MAX_BLOCK_VERTICES];       // vertices of the open block, as emitted
static Vertex  triangles[MAX_BLOCK_VERTICES * 3 / 2];  // the block as triangles: a quad becomes two
static int     blockVertices;                    // how many of block[] are filled
static GLenum  blockMode;                        // the glBegin mode of the open block
static Vertex  current = { 0, 0, 0, 0, 0, 1, 1, 1, 1 };  // colour and texture coordinate for the next vertex

static GLdouble modelview[16], projection[16];   // column-major, as GL keeps them
static GLdouble* matrix = modelview;              // the one glMatrixMode picked
static bool    texturing;                         // glEnable(GL_TEXTURE_2D)

static GLuint  program, buffer;                  // made on the first draw, once the context exists
static GLint   mvpUniform, texturingUniform;

enum { ATTR_POSITION, ATTR_TEXCOORD, ATTR_COLOUR };

static const char* const VERTEX_SHADER =
  "attribute vec3 position; attribute vec2 texcoord; attribute vec4 colour;\n"
  "uniform mat4 mvp; varying vec2 uv; varying vec4 tint;\n"
  "void main() {\n"
  "  gl_Position = mvp * vec4(position, 1.0);\n"
  "  uv = texcoord;\n"
  "  tint = clamp(colour, 0.0, 1.0);   // GL clamps the current colour, a negative alpha adds nothing\n"
  "}\n";

// GL_MODULATE on an RGB texture: the texel times the colour, alpha from the colour alone
static const char* const FRAGMENT_SHADER =
  "precision mediump float;\n"
  "uniform sampler2D image; uniform bool texturing; varying vec2 uv; varying vec4 tint;\n"
  "void main() {\n"
  "  gl_FragColor = texturing ? texture2D(image, uv) * tint : tint;\n"
  "}\n";

//
// matrices
//
static void setIdentity(GLdouble* m)
{
  memset(m, 0, 16 * sizeof *m);
  m[0] = m[5] = m[10] = m[15] = 1.0;
}

// m = m * by, as glMultMatrix does
static void multiply(GLdouble* m, const GLdouble* by)
{
  GLdouble product[16];
  for (int col = 0; col < 4; col++)
    for (int row = 0; row < 4; row++) {
      GLdouble sum = 0.0;
      for (int k = 0; k < 4; k++)
        sum += m[k * 4 + row] * by[col * 4 + k];
      product[col * 4 + row] = sum;
    }
  memcpy(m, product, sizeof product);
}

extern "C" void glMatrixMode(GLenum mode)
{
  matrix = mode == GL_PROJECTION ? projection : modelview;
}

extern "C" void glLoadIdentity()
{
  setIdentity(matrix);
}

extern "C" void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
  GLdouble t[16];
  setIdentity(t);
  t[12] = x;
  t[13] = y;
  t[14] = z;
  multiply(matrix, t);
}

extern "C" void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
  const GLdouble length = sqrt((GLdouble)x * x + (GLdouble)y * y + (GLdouble)z * z);
  if (length == 0.0)
    return;
  const GLdouble ux = x / length, uy = y / length, uz = z / length;
  const GLdouble c = cos(angle * DEG_TO_RAD), s = sin(angle * DEG_TO_RAD), k = 1.0 - c;
  const GLdouble r[16] = {
    ux * ux * k + c,      uy * ux * k + uz * s, ux * uz * k - uy * s, 0,
    ux * uy * k - uz * s, uy * uy * k + c,      uy * uz * k + ux * s, 0,
    ux * uz * k + uy * s, uy * uz * k - ux * s, uz * uz * k + c,      0,
    0,                    0,                    0,                    1,
  };
  multiply(matrix, r);
}

extern "C" void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
  const GLdouble f = 1.0 / tan(fovy * DEG_TO_RAD / 2.0);
  const GLdouble depth = zNear - zFar;
  const GLdouble p[16] = {
    f / aspect, 0, 0,                             0,
    0,          f, 0,                             0,
    0,          0, (zFar + zNear) / depth,       -1,
    0,          0, 2.0 * zFar * zNear / depth,    0,
  };
  multiply(matrix, p);
}

//
// state WebGL keeps differently or not at all
//
extern "C" void glEnable(GLenum cap)
{
  if (cap == GL_TEXTURE_2D)
    texturing = true;
  else
    emscripten_glEnable(cap);
}

extern "C" void glDisable(GLenum cap)
{
  if (cap == GL_TEXTURE_2D)
    texturing = false;
  else
    emscripten_glDisable(cap);
}

// flat or smooth: every primitive the intro draws has one colour on all its corners
extern "C" void glShadeModel(GLenum) {}

// only hints about fixed-function quality, which a shader does not have
extern "C" void glHint(GLenum, GLenum) {}

extern "C" void glClearDepth(GLclampd depth)
{
  emscripten_glClearDepthf((GLclampf)depth);
}

//
// textures: WebGL takes RGB in that order only
//
EM_JS(void, uploadSwapped,
      (GLint level, GLsizei width, GLsizei height, const void* pixels, int rowBytes, int swap), {
  var bytes = HEAPU8.slice(pixels, pixels + rowBytes * height);
  if (swap)
    for (var row = 0; row < height; row++)
      for (var at = row * rowBytes, end = at + width * 3; at < end; at += 3) {
        var blue = bytes[at];
        bytes[at] = bytes[at + 2];
        bytes[at + 2] = blue;
      }
  GLctx.texImage2D(0x0DE1 /* GL_TEXTURE_2D */, level, 0x1907 /* GL_RGB */, width, height, 0,
                   0x1907, 0x1401 /* GL_UNSIGNED_BYTE */, bytes);
});

// Three-byte pixels only, BGR or RGB, rows padded to four bytes as GL's default unpack alignment has them.
extern "C" void glTexImage2D(GLenum, GLint level, GLint, GLsizei width, GLsizei height, GLint, GLenum format,
                             GLenum type, const GLvoid* pixels)
{
  if ((format != GL_BGR && format != GL_RGB) || type != GL_UNSIGNED_BYTE || !pixels || width <= 0 ||
      height <= 0)
    return;
  const int rowBytes = (width * 3 + 3) & ~3;
  uploadSwapped(level, width, height, pixels, rowBytes, format == GL_BGR);
}

//
// immediate mode: each block is collected and drawn as triangles at glEnd
//
static GLuint compile(GLenum kind, const char* source)
{
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return shader;
}

static void startDrawing()
{
  program = glCreateProgram();
  glAttachShader(program, compile(GL_VERTEX_SHADER, VERTEX_SHADER));
  glAttachShader(program, compile(GL_FRAGMENT_SHADER, FRAGMENT_SHADER));
  glBindAttribLocation(program, ATTR_POSITION, "position");
  glBindAttribLocation(program, ATTR_TEXCOORD, "texcoord");
  glBindAttribLocation(program, ATTR_COLOUR, "colour");
  glLinkProgram(program);
  glUseProgram(program);
  mvpUniform       = glGetUniformLocation(program, "mvp");
  texturingUniform = glGetUniformLocation(program, "texturing");
  glUniform1i(glGetUniformLocation(program, "image"), 0);

  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof triangles, nullptr, GL_STREAM_DRAW);
  const GLsizei stride = sizeof(Vertex);
  glVertexAttribPointer(ATTR_POSITION, 3, GL_FLOAT, GL_FALSE, stride, (const void*)offsetof(Vertex, x));
  glVertexAttribPointer(ATTR_TEXCOORD, 2, GL_FLOAT, GL_FALSE, stride, (const void*)offsetof(Vertex, s));
  glVertexAttribPointer(ATTR_COLOUR, 4, GL_FLOAT, GL_FALSE, stride, (const void*)offsetof(Vertex, r));
  glEnableVertexAttribArray(ATTR_POSITION);
  glEnableVertexAttribArray(ATTR_TEXCOORD);
  glEnableVertexAttribArray(ATTR_COLOUR);
}

// The open block as triangles; a quad (a, b, c, d) becomes (a, b, c) and (a, c, d).
static int blockAsTriangles()
{
  if (blockMode == GL_TRIANGLES) {
    const int count = blockVertices - blockVertices % 3;
    memcpy(triangles, block, count * sizeof *block);
    return count;
  }
  int count = 0;
  for (int q = 0; q + 4 <= blockVertices; q += 4) {
    static const int CORNERS[6] = { 0, 1, 2, 0, 2, 3 };
    for (int corner : CORNERS)
      triangles[count++] = block[q + corner];
  }
  return count;
}

extern "C" void glBegin(GLenum mode)
{
  blockMode = mode;
  blockVertices = 0;
}

extern "C" void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a)
{
  current.r = r;
  current.g = g;
  current.b = b;
  current.a = a;
}

extern "C" void glTexCoord2f(GLfloat s, GLfloat t)
{
  current.s = s;
  current.t = t;
}

extern "C" void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
  if (blockVertices == MAX_BLOCK_VERTICES)
    return;
  Vertex& v = block[blockVertices++];
  v = current;
  v.x = x;
  v.y = y;
  v.z = z;
}

extern "C" void glEnd()
{
  if (blockMode != GL_QUADS && blockMode != GL_TRIANGLES)
    return;   // the intro draws quads and triangles only
  if (!program)
    startDrawing();

  GLdouble mvp[16];
  memcpy(mvp, projection, sizeof mvp);
  multiply(mvp, modelview);
  GLfloat mvpf[16];
  for (int i = 0; i < 16; i++)
    mvpf[i] = (GLfloat)mvp[i];

  const int count = blockAsTriangles();
  glUniformMatrix4fv(mvpUniform, 1, GL_FALSE, mvpf);
  glUniform1i(texturingUniform, texturing);
  glBufferSubData(GL_ARRAY_BUFFER, 0, count * sizeof(Vertex), triangles);
  glDrawArrays(GL_TRIANGLES, 0, count);
}
