// startup_test.cpp -- the whole program against scripted SDL: start-up order, failures, the loop
#include "shell/shell.h"
#include "fx/fx.h"
#include "glrecord.h"
#include "sdlfake.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>
#include <string>

int intro_main(int argc, char* argv[]);

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs the program with the given console input until it calls exit.
static Outcome runIntro(const std::string& input)
{
  const char* path = "/tmp/intro-startup-stdin";
  FILE* f = fopen(path, "w");
  fputs(input.c_str(), f);
  fclose(f);
  EXPECT_NE(freopen(path, "r", stdin), nullptr);

  select_key = 0;
  timecount = timenow = 0;
  scrollchar = 0;
  glrecordEnable(true);
  glrecordReset();

  Outcome outcome;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  try {
    char name[] = "intro";
    char* argv[] = { name, nullptr };
    intro_main(1, argv);
  } catch (const ExitCalled& e) {
    outcome.status = e.status;
  }
  fflush(stdout);
  outcome.out = testing::internal::GetCapturedStdout();
  outcome.err = testing::internal::GetCapturedStderr();
  return outcome;
}

// Index of the first recorded call with this name at or after `from`, or -1.
static int indexOf(const char* name, int from = 0)
{
  for (int i = from; i < (int)glCalls.size(); i++)
    if (isNamed(glCalls[i], name))
      return i;
  return -1;
}

static const char MENU[] =
  "\n\nChoose resolution\n\n"
  "1) 320x240 for software OpenGL\n"
  "2) 640x480 for hardware OpenGL\n"
  "3) 1024x768 for hardware OpenGL on fast machines\n"
  ">";

class StartUp : public ::testing::Test {
protected:
  void SetUp() override
  {
    resetSdlFake();
    ASSERT_EQ(chdir(SOURCE_DIR), 0);   // where data/ is
  }
};

TEST_F(StartUp, RunsEveryStepInOrderAndQuitsOnEscape)
{
  sdlScript.passes = { {}, { keyDown(SDLK_ESCAPE) } };
  Outcome o = runIntro("3\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, MENU);
  EXPECT_EQ(o.err, "");

  // the seed is read before SDL starts, then video, audio, music, window, GL, cursor, projection, full screen
  const char* order[] = { "SDL_GetTicks", "SDL_Init", "SDL_Init", "Mix_OpenAudio", "Mix_LoadMUSType_RW", "Mix_PlayMusic",
                          "SDL_GetVideoInfo", "SDL_GL_SetAttribute", "SDL_SetVideoMode", "glGenTextures", "glHint",
                          "SDL_ShowCursor", "glViewport", "gluPerspective", "SDL_WM_ToggleFullScreen", "SDL_PollEvent" };
  int at = 0;
  for (const char* name : order) {
    int found = indexOf(name, at);
    ASSERT_GE(found, at) << name << " missing or out of order in: " << callSequence();
    at = found + 1;
  }
  EXPECT_EQ(indexOf("SDL_GetTicks"), 0);
  EXPECT_EQ(glCalls[indexOf("SDL_Init")].args[0], 0x20);
  EXPECT_EQ(glCalls[indexOf("SDL_Init") + 1].args[0], 0x10);
  EXPECT_EQ(glCalls[indexOf("Mix_OpenAudio")].args, (std::vector<double>{ 32000, 0x8010, 2, 1024 }));
  // the checked bytes of data/soundtrack.mp3 from the working directory: the whole committed file
  EXPECT_EQ(glCalls[indexOf("Mix_LoadMUSType_RW")].args, (std::vector<double>{ MUS_MP3, 1920960 }));
  EXPECT_EQ(glCalls[indexOf("Mix_PlayMusic")].args, (std::vector<double>{ 1, -1 }));
  EXPECT_EQ(glCalls[indexOf("SDL_GL_SetAttribute")].args, (std::vector<double>{ 5, 1 }));
  EXPECT_EQ(glCalls[indexOf("SDL_SetVideoMode")].args, (std::vector<double>{ 1024, 768, 24, 0x20000017 }));
  EXPECT_EQ(glCalls[indexOf("SDL_ShowCursor")].args[0], 0);
  EXPECT_EQ(glCalls[indexOf("glViewport")].args, (std::vector<double>{ 0, 0, 1024, 768 }));
  EXPECT_EQ(glCalls[indexOf("SDL_WM_ToggleFullScreen")].args[0], 1);   // on the window's own surface

  // Quit: audio closed, SDL shut down, then the exit
  const int n = (int)glCalls.size();
  EXPECT_STREQ(glCalls[n - 3].name, "Mix_CloseAudio");
  EXPECT_STREQ(glCalls[n - 2].name, "SDL_Quit");
  EXPECT_STREQ(glCalls[n - 1].name, "exit");

  // animation state is ready before the window opens
  EXPECT_EQ(partyshear2, 2000);
  EXPECT_EQ(std::string(scrolltext), scrollMessage);
  EXPECT_EQ(SCREEN_WIDTH, 1024);
  EXPECT_EQ(SCREEN_BPP, 24);
}

TEST_F(StartUp, HardwareBlitsAddTheAcceleratedFlag)
{
  sdlScript.blitHardware = true;
  runIntro("1\n");
  EXPECT_EQ(glCalls[indexOf("SDL_SetVideoMode")].args, (std::vector<double>{ 320, 240, 24, 0x20000117 }));
}

TEST_F(StartUp, MissingSoundtrackStaysSilentAndGoesOn)
{
  sdlScript.noSoundtrack = true;
  Outcome o = runIntro("2\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, MENU);
  EXPECT_EQ(o.err, "");
  EXPECT_GE(indexOf("SDL_SetVideoMode"), 0);
  EXPECT_EQ(indexOf("Mix_PlayMusic"), -1);
}

TEST_F(StartUp, EachLibraryFailurePrintsItsLineOnItsStreamAndEndsWithOne)
{
  struct Case {
    void (*arrange)();
    const char* out;          // beyond the menu
    const char* err;
    const char* lastStep;     // the failing call; nothing after it but Quit
  };
  const Case cases[] = {
    { [] { sdlScript.failInit = SDL_INIT_VIDEO; }, "", "Video initialization failed: scripted failure\n", "SDL_Init" },
    { [] { sdlScript.failInit = SDL_INIT_AUDIO; }, "SDL_Init: scripted failure\n", "", "SDL_Init" },
    { [] { sdlScript.failOpenAudio = true; }, "Mix_OpenAudio: scripted failure\n", "", "Mix_OpenAudio" },
    { [] { sdlScript.failVideoInfo = true; }, "", "Video query failed: scripted failure\n", "SDL_GetVideoInfo" },
    { [] { sdlScript.failSetVideoModeCall = 1; }, "", "Video mode set failed: scripted failure\n", "SDL_SetVideoMode" },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err[0] ? c.err : c.out);
    resetSdlFake();
    c.arrange();
    Outcome o = runIntro("2\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, std::string(MENU) + c.out);
    EXPECT_EQ(o.err, c.err);
    const int n = (int)glCalls.size();
    ASSERT_GE(n, 4);
    EXPECT_STREQ(glCalls[n - 4].name, c.lastStep) << callSequence();
    EXPECT_STREQ(glCalls[n - 3].name, "Mix_CloseAudio");
    EXPECT_STREQ(glCalls[n - 2].name, "SDL_Quit");
    EXPECT_EQ(indexOf("glGenTextures"), -1);   // no window, no GL
  }
}

//
// the event loop
//

// Frames drawn, counted by their buffer swaps.
static int framesDrawn() { return (int)callsNamed("SDL_GL_SwapBuffers").size(); }

TEST_F(StartUp, FramesStartOnlyWhenMoreThanTwentyMillisecondsHavePassed)
{
  // every reading 4 ms on: with two readings per drawn pass, the gaps alternate
  sdlScript.tickStep = 4;
  for (int i = 0; i < 40; i++)
    sdlScript.passes.push_back({});
  runIntro("2\n");

  std::vector<double> drawnAt;   // the second reading that becomes timecount
  for (size_t i = 0; i + 1 < glCalls.size(); i++)
    if (isNamed(glCalls[i], "SDL_GetTicks") && isNamed(glCalls[i + 1], "glClear"))
      drawnAt.push_back(glCalls[i].args[0]);
  ASSERT_GE(drawnAt.size(), 3u);
  for (size_t i = 1; i < drawnAt.size(); i++)
    EXPECT_GE(drawnAt[i] - drawnAt[i - 1], 21) << i;
  EXPECT_EQ(framesDrawn(), (int)drawnAt.size());
  // every pass sleeps one millisecond, drawn or not
  EXPECT_EQ(callsNamed("SDL_Delay").size(), 40u);
  for (const GLCall& delay : callsNamed("SDL_Delay"))
    EXPECT_EQ(delay.args[0], 1);
}

TEST_F(StartUp, PacingHoldsAcrossBothWrapPointsOfTheTickCounter)
{
  for (Uint32 start : { 0x7FFFFF00u, 0xFFFFFF00u }) {
    SCOPED_TRACE(start);
    resetSdlFake();
    sdlScript.tickStart = start;
    sdlScript.tickStep = 3;
    for (int i = 0; i < 400; i++)
      sdlScript.passes.push_back({});
    runIntro("2\n");
    // the counter crosses 2^31 or 2^32 256 ms in; frames come at the same pace on both sides
    std::vector<Uint32> frameStarts;
    for (size_t i = 0; i + 1 < glCalls.size(); i++)
      if (isNamed(glCalls[i], "SDL_GetTicks") && isNamed(glCalls[i + 1], "glClear"))
        frameStarts.push_back((Uint32)(long long)glCalls[i].args[0]);
    int before = 0, after = 0;
    for (size_t i = 1; i < frameStarts.size(); i++) {
      Uint32 gap = frameStarts[i] - frameStarts[i - 1];
      EXPECT_GE(gap, 21u);
      EXPECT_LE(gap, 24u);                       // no stall at the crossing
      ((Uint32)(frameStarts[i] - start) < 0x100 ? before : after)++;
    }
    EXPECT_GE(before, 10);
    EXPECT_GE(after, 40);
  }
}

TEST_F(StartUp, ResizeRecreatesTheSurfaceAtSixteenBitsAndFollowsWithTheProjection)
{
  sdlScript.passes = { { resizeEvent(800, 0), keyUp(SDLK_ESCAPE) }, {}, { keyDown(SDLK_ESCAPE) } };
  Outcome o = runIntro("1\n");
  EXPECT_EQ(o.status, 0);
  int second = indexOf("SDL_SetVideoMode", indexOf("SDL_SetVideoMode") + 1);
  ASSERT_GT(second, 0);
  EXPECT_EQ(glCalls[second].args, (std::vector<double>{ 800, 0, 16, 0x20000017 }));
  EXPECT_STREQ(glCalls[second + 1].name, "glViewport");
  EXPECT_EQ(glCalls[second + 1].args, (std::vector<double>{ 0, 0, 800, 1 }));
  EXPECT_EQ(callsNamed("glGenTextures").size(), 1u);   // nothing reloaded
  EXPECT_EQ(SCREEN_WIDTH, 320);
  EXPECT_EQ(SCREEN_HEIGHT, 240);
}

TEST_F(StartUp, FailedResizeReportsAndEndsWithOne)
{
  sdlScript.failSetVideoModeCall = 2;
  sdlScript.passes = { { resizeEvent(64, 48) } };
  Outcome o = runIntro("2\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "Could not get a surface after resize: scripted failure\n");
}

TEST_F(StartUp, EscapeEndsAtOnceWithoutHandlingTheRestOrDrawing)
{
  sdlScript.tickStep = 50;   // every pass would draw
  sdlScript.passes = { {}, { keyDown(SDLK_f), keyDown(SDLK_ESCAPE), keyDown(SDLK_f), resizeEvent(10, 10) } };
  Outcome o = runIntro("2\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(callSequence().substr(callSequence().rfind("SDL_PollEvent")), "SDL_PollEvent Mix_CloseAudio SDL_Quit exit");
  EXPECT_EQ(callsNamed("SDL_WM_ToggleFullScreen").size(), 2u);   // start-up and the first f
}

TEST_F(StartUp, WindowCloseFinishesThePassThenQuitsWithZero)
{
  sdlScript.tickStep = 50;
  sdlScript.passes = { {}, { quitEvent(), keyDown(SDLK_f), keyUp(SDLK_f) } };
  Outcome o = runIntro("2\n");
  EXPECT_EQ(o.status, 0);
  // the f behind the close request is still handled, one more frame is drawn, then Quit
  EXPECT_EQ(callsNamed("SDL_WM_ToggleFullScreen").size(), 2u);
  const std::string sequence = callSequence();
  const std::string tail = sequence.substr(sequence.rfind("SDL_WM_ToggleFullScreen"));
  EXPECT_NE(tail.find("SDL_Delay SDL_GetTicks SDL_GetTicks glClear"), std::string::npos);
  const std::string ending = "SDL_GL_SwapBuffers Mix_CloseAudio SDL_Quit exit";
  ASSERT_GE(sequence.size(), ending.size());
  EXPECT_EQ(sequence.substr(sequence.size() - ending.size()), ending);
  EXPECT_EQ(callsNamed("SDL_PollEvent").back().args[0], 0);   // no further pass began
}
