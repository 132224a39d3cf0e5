// initgl_failure_test.cpp -- without textures initGL sets none of its fixed state
#include "gfx/gfx.h"
#include "glrecord.h"

#include <gtest/gtest.h>

// This binary's texture loader always fails, standing in for one that cannot load.
int LoadGLTextures() { return 0; }

TEST(InitGL, FailedLoadReturnsZeroAndLeavesGLAlone)
{
  glrecordReset();
  EXPECT_EQ(initGL(), 0);
  EXPECT_TRUE(glCalls.empty()) << callSequence();
}
