// glrecord.cpp -- records GL, GLU and buffer-swap calls instead of drawing
#include "glrecord.h"

#include <GL/glu.h>
#include <SDL/SDL.h>

#include <cstring>

std::vector<GLCall> glCalls;
std::size_t glCallCount;

static bool recording = true;       // off: count calls only
static GLuint nextTextureName = 1;  // names handed out by glGenTextures
static GLuint firstLiveName = 1;    // names below this went with a replaced context

void glrecordReset()
{
  glCalls.clear();
  glCallCount = 0;
  nextTextureName = 1;
  firstLiveName = 1;
}

void glrecordReplaceContext() { firstLiveName = nextTextureName; }

void glrecordEnable(bool on) { recording = on; }

void recordCall(const char* name, std::initializer_list<double> args)
{
  glCallCount++;
  if (recording)
    glCalls.push_back({ name, std::vector<double>(args), {} });
}

static void record(const char* name, std::initializer_list<double> args) { recordCall(name, args); }

static bool isNamed(const GLCall& call, const char* name) { return strcmp(call.name, name) == 0; }

std::vector<GLCall> callsNamed(const char* name)
{
  std::vector<GLCall> found;
  for (const GLCall& call : glCalls)
    if (isNamed(call, name))
      found.push_back(call);
  return found;
}

std::string callSequence()
{
  std::string joined;
  for (const GLCall& call : glCalls) {
    if (!joined.empty())
      joined += ' ';
    joined += call.name;
  }
  return joined;
}

extern "C" {

void glEnable(GLenum cap) { record("glEnable", { (double)cap }); }
void glShadeModel(GLenum mode) { record("glShadeModel", { (double)mode }); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { record("glClearColor", { r, g, b, a }); }
void glClearDepth(GLclampd depth) { record("glClearDepth", { depth }); }
void glDepthFunc(GLenum func) { record("glDepthFunc", { (double)func }); }
void glHint(GLenum target, GLenum mode) { record("glHint", { (double)target, (double)mode }); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { record("glViewport", { (double)x, (double)y, (double)w, (double)h }); }
void glMatrixMode(GLenum mode) { record("glMatrixMode", { (double)mode }); }
void glLoadIdentity() { record("glLoadIdentity", {}); }
void glClear(GLbitfield mask) { record("glClear", { (double)mask }); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { record("glTranslatef", { x, y, z }); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { record("glRotatef", { angle, x, y, z }); }
void glBlendFunc(GLenum s, GLenum d) { record("glBlendFunc", { (double)s, (double)d }); }
void glBegin(GLenum mode) { record("glBegin", { (double)mode }); }
void glEnd() { record("glEnd", {}); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { record("glColor4f", { r, g, b, a }); }
void glTexCoord2f(GLfloat s, GLfloat t) { record("glTexCoord2f", { s, t }); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { record("glVertex3f", { x, y, z }); }
void glBindTexture(GLenum target, GLuint name) { record("glBindTexture", { (double)target, (double)name }); }
void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
  record("glTexParameteri", { (double)target, (double)pname, (double)param });
}

// a query, not state: answered, not recorded
void glGetIntegerv(GLenum pname, GLint* params)
{
  if (pname == GL_MAX_TEXTURE_SIZE)
    *params = GLRECORD_MAX_TEXTURE_SIZE;
}

GLboolean glIsTexture(GLuint name)
{
  record("glIsTexture", { (double)name });
  return name >= firstLiveName && name < nextTextureName;
}

void glGenTextures(GLsizei n, GLuint* names)
{
  record("glGenTextures", { (double)n });
  for (GLsizei i = 0; i < n; i++)
    names[i] = nextTextureName++;
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels)
{
  record("glTexImage2D", { (double)target, (double)level, (double)internalFormat, (double)width,
                           (double)height, (double)border, (double)format, (double)type });
  if (recording && pixels && width > 0 && height > 0) {
    // three bytes a texel, rows padded to four bytes: GL's default unpack alignment
    std::size_t pitch = ((std::size_t)width * 3 + 3) & ~(std::size_t)3;
    const unsigned char* bytes = (const unsigned char*)pixels;
    glCalls.back().pixels.assign(bytes, bytes + pitch * (std::size_t)height);
  }
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
  record("gluPerspective", { fovy, aspect, zNear, zFar });
}

void SDL_GL_SwapBuffers() { record("SDL_GL_SwapBuffers", {}); }

}  // extern "C"
