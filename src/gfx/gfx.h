// gfx.h -- the GL context: fixed state, projection and the five textures
#pragma once

#include <SDL/SDL.h>
#include <GL/gl.h>

//
// textures
//
constexpr int TEXTURE_COUNT = 5;

// Slots of the texture set, in load order.
enum TextureSlot {
  TEX_LOGO   = 0,
  TEX_BOUNCE = 1,
  TEX_SPARK  = 2,
  TEX_FONT   = 3,
  TEX_BG     = 4,
};

extern GLuint texture[TEXTURE_COUNT];                 // GL texture names, by slot
extern const char* const texturePath[TEXTURE_COUNT];  // image file of each slot

int LoadGLTextures();

// Decodes one BMP file into a surface of three bytes per pixel in
// blue-green-red order with rows padded to four bytes, ready for GL_BGR.
// A file that is missing, unreadable or not a usable image gives a 1x1
// black surface instead, so its layer adds nothing; so does one with a side
// longer than maxSide texels. Never returns null unless memory runs out.
SDL_Surface* loadImage(const char* path, int maxSide);

// The same from bytes in memory (the image path's test and fuzz entry).
SDL_Surface* loadImageFromMemory(const void* bytes, int size, int maxSide);

//
// GL state and projection
//
int initGL();
int resizeWindow(int width, int height);
