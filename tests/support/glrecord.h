// glrecord.h -- a recording stand-in for the GL and GLU entry points and SDL_GL_SwapBuffers.
// Test binaries link it in place of the real libraries: every call lands in
// glCalls with its arguments, in order, so a test can check the exact sequence.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <string>
#include <vector>

struct GLCall {
  const char* name;                     // entry point, e.g. "glVertex3f"
  std::vector<double> args;             // every argument widened to double (enums and ints exactly)
  std::vector<unsigned char> pixels;    // glTexImage2D: the rows as handed over (pitch * height bytes)
};

extern std::vector<GLCall> glCalls;

constexpr int GLRECORD_MAX_TEXTURE_SIZE = 16384;   // what glGetIntegerv reports, as Mesa's llvmpipe does

// Forgets every recorded call and restarts texture names at 1.
void glrecordReset();

// Forgets every texture name, as a new GL context would (glIsTexture is false for them).
void glrecordReplaceContext();

// Turns recording off (calls are only counted) for long runs, and back on.
void glrecordEnable(bool on);
extern std::size_t glCallCount;         // calls seen since the last reset, recorded or not

// Adds a call to the log; the scripted SDL of startup_test records through it too.
void recordCall(const char* name, std::initializer_list<double> args);

// Helpers for tests.
std::vector<GLCall> callsNamed(const char* name);
std::string callSequence();             // names joined by spaces, for sequence checks
