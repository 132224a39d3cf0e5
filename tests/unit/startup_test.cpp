// startup_test.cpp -- the whole program against scripted SDL: start-up order, failures, the loop
// The shell's SDL and mixer calls are scripted here and logged with the GL calls; exit() is
// wrapped to throw, so a run of the renamed main ends back in the test. The rest of SDL is real.
#include "shell/shell.h"
#include "fx/fx.h"
#include "glrecord.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int intro_main(int argc, char* argv[]);

struct ExitCalled { int status; };

static struct Script {
  int failInit = 0;                 // SDL_INIT_VIDEO or SDL_INIT_AUDIO: that SDL_Init returns -1
  bool failOpenAudio = false;
  bool failVideoInfo = false;
  int failSetVideoModeCall = 0;     // 1: the first SDL_SetVideoMode returns null, 2: the second ...
  bool replaceContext = false;      // every SDL_SetVideoMode after the first makes a new GL context
  std::deque<std::vector<SDL_Event>> passes;   // one batch of events per loop pass
  Uint32 tickStep = 5;              // every SDL_GetTicks reading this much after the last
  Uint32 ticks = 0;
  int setVideoModeCalls = 0;
} script;

static SDL_VideoInfo videoInfo;
static int deviceRate, deviceChannels;   // as Mix_OpenAudio was asked
static std::string musicHanded;          // the bytes Mix_LoadMUSType_RW was given
static SDL_Surface videoSurface;
static Mix_Music* const SOUNDTRACK = (Mix_Music*)&videoInfo;   // any non-null address

static SDL_Event event(Uint8 type, int a = 0, int b = 0)
{
  SDL_Event e{};
  e.type = type;
  if (type == SDL_KEYDOWN || type == SDL_KEYUP)
    e.key.keysym.sym = (SDLKey)a;
  e.resize.w = type == SDL_VIDEORESIZE ? a : e.resize.w;
  e.resize.h = type == SDL_VIDEORESIZE ? b : e.resize.h;
  return e;
}

extern "C" {
void __wrap_exit(int status)
{
  recordCall("exit", { (double)status });
  throw ExitCalled{ status };
}
int SDL_Init(Uint32 flags)
{
  recordCall("SDL_Init", { (double)flags });
  return script.failInit == (int)flags ? -1 : 0;
}
char* SDL_GetError() { return (char*)"scripted failure"; }
const SDL_VideoInfo* SDL_GetVideoInfo()
{
  recordCall("SDL_GetVideoInfo", {});
  return script.failVideoInfo ? nullptr : &videoInfo;
}
int SDL_GL_SetAttribute(SDL_GLattr attr, int value)
{
  recordCall("SDL_GL_SetAttribute", { (double)attr, (double)value });
  return 0;
}
SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
  recordCall("SDL_SetVideoMode", { (double)width, (double)height, (double)bpp, (double)flags });
  if (script.replaceContext && script.setVideoModeCalls > 0)
    glrecordReplaceContext();
  return ++script.setVideoModeCalls == script.failSetVideoModeCall ? nullptr : &videoSurface;
}
int SDL_ShowCursor(int toggle) { recordCall("SDL_ShowCursor", { (double)toggle }); return 0; }
int SDL_WM_ToggleFullScreen(SDL_Surface* surface)
{
  recordCall("SDL_WM_ToggleFullScreen", { surface == &videoSurface ? 1.0 : 0.0 });
  return 1;
}
int SDL_PollEvent(SDL_Event* e)
{
  if (script.passes.empty()) {   // a script that runs dry presses Escape, so no test can hang
    recordCall("SDL_PollEvent", { -1 });
    *e = event(SDL_KEYDOWN, SDLK_ESCAPE);
    return 1;
  }
  std::vector<SDL_Event>& pass = script.passes.front();
  if (pass.empty()) {
    script.passes.pop_front();
    recordCall("SDL_PollEvent", { 0 });
    return 0;
  }
  *e = pass.front();
  pass.erase(pass.begin());
  recordCall("SDL_PollEvent", { (double)e->type });
  return 1;
}
void SDL_Delay(Uint32 ms) { recordCall("SDL_Delay", { (double)ms }); }
Uint32 SDL_GetTicks()
{
  const Uint32 now = script.ticks;
  script.ticks += script.tickStep;
  recordCall("SDL_GetTicks", { (double)now });
  return now;
}
void SDL_Quit() { recordCall("SDL_Quit", {}); }
int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunksize)
{
  recordCall("Mix_OpenAudio", { (double)frequency, (double)format, (double)channels, (double)chunksize });
  deviceRate = frequency, deviceChannels = channels;
  return script.failOpenAudio ? -1 : 0;
}
int Mix_QuerySpec(int* frequency, Uint16* format, int* channels)
{
  *frequency = deviceRate, *format = AUDIO_S16LSB, *channels = deviceChannels;
  return 1;
}
Mix_Music* Mix_LoadMUSType_RW(SDL_RWops* rw, Mix_MusicType type, int freesrc)
{
  musicHanded.resize(SDL_RWseek(rw, 0, RW_SEEK_END));
  SDL_RWseek(rw, 0, RW_SEEK_SET);
  SDL_RWread(rw, &musicHanded[0], 1, (int)musicHanded.size());
  recordCall("Mix_LoadMUSType_RW", { (double)type, (double)musicHanded.size() });
  if (freesrc)
    SDL_RWclose(rw);
  return SOUNDTRACK;
}
int Mix_PlayMusic(Mix_Music* music, int loops)
{
  recordCall("Mix_PlayMusic", { music == SOUNDTRACK ? 1.0 : 0.0, (double)loops });
  return 0;
}
void Mix_CloseAudio() { recordCall("Mix_CloseAudio", {}); }
}  // extern "C"

struct Outcome {
  int status = -1;
  std::string out, err, calls;
};

// Runs the program in a folder (the source folder, where data/ is) with this console input until it exits.
static Outcome runIntro(const std::string& input, const char* folder = SOURCE_DIR)
{
  char path[] = "/tmp/intro-startup-stdin-XXXXXX";   // private: ctest runs these side by side
  const int fd = mkstemp(path);
  EXPECT_EQ(write(fd, input.data(), input.size()), (ssize_t)input.size());
  close(fd);
  EXPECT_NE(freopen(path, "r", stdin), nullptr);
  unlink(path);
  EXPECT_EQ(chdir(folder), 0);
  musicHanded.clear();
  timecount = timenow = scrollchar = 0;
  glrecordEnable(true);
  glrecordReset();

  Outcome o;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  try {
    char name[] = "intro";
    char* argv[] = { name, nullptr };
    intro_main(1, argv);
  } catch (const ExitCalled& e) {
    o.status = e.status;
  }
  fflush(stdout);
  o.out = testing::internal::GetCapturedStdout();
  o.err = testing::internal::GetCapturedStderr();
  o.calls = callSequence();
  script = Script();
  return o;
}

static bool endsWith(const std::string& s, const std::string& tail)
{
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

static const char MENU_TEXT[] = "\n\nChoose resolution\n\n1) 320x240 for software OpenGL\n2) 640x480 for hardware "
                           "OpenGL\n3) 1024x768 for hardware OpenGL on fast machines\n>";

TEST(StartUp, RunsEveryStepInOrderWithItsArgumentsAndQuitsOnEscape)
{
  Outcome o = runIntro("3\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, MENU_TEXT);
  EXPECT_EQ(o.err, "");
  // the seed is read before SDL starts, then video, audio, music, window, GL, cursor, projection, full screen
  size_t at = 0;
  for (const char* step : { "SDL_GetTicks", "SDL_Init", "SDL_Init", "Mix_OpenAudio", "Mix_LoadMUSType_RW",
                            "Mix_PlayMusic", "SDL_GetVideoInfo", "SDL_GL_SetAttribute", "SDL_SetVideoMode",
                            "glGenTextures", "glHint", "SDL_ShowCursor", "glViewport", "gluPerspective",
                            "SDL_WM_ToggleFullScreen", "SDL_PollEvent" }) {
    at = o.calls.find(step, at);
    ASSERT_NE(at, std::string::npos) << step << " missing or out of order in: " << o.calls;
  }
  EXPECT_EQ(o.calls.find("SDL_GetTicks"), 0u);
  EXPECT_EQ(callsNamed("SDL_Init").at(0).args[0], 0x20);
  EXPECT_EQ(callsNamed("SDL_Init").at(1).args[0], 0x10);
  EXPECT_EQ(callsNamed("Mix_LoadMUSType_RW").at(0).args[0], MUS_MP3);   // device and bytes: the next test
  EXPECT_EQ(callsNamed("Mix_PlayMusic").at(0).args, (std::vector<double>{ 1, -1 }));
  EXPECT_EQ(callsNamed("SDL_GL_SetAttribute").at(0).args, (std::vector<double>{ 5, 1 }));
  EXPECT_EQ(callsNamed("SDL_SetVideoMode").at(0).args, (std::vector<double>{ 1024, 768, 24, 0x20000017 }));
  EXPECT_EQ(callsNamed("SDL_ShowCursor").at(0).args[0], 0);
  EXPECT_EQ(callsNamed("glViewport").at(0).args, (std::vector<double>{ 0, 0, 1024, 768 }));
  EXPECT_EQ(callsNamed("SDL_WM_ToggleFullScreen").at(0).args[0], 1);
  EXPECT_TRUE(endsWith(o.calls, "Mix_CloseAudio SDL_Quit exit"));
  EXPECT_EQ(std::string(scrolltext), scrollMessage);
}

TEST(StartUp, TheDeviceTakesTheSoundtracksFormatAndTheMixerItsCheckedFramesOnly)
{
  std::ostringstream committed;
  committed << std::ifstream(SOURCE_DIR "/data/soundtrack.mp3", std::ios::binary).rdbuf();
  const std::string song = committed.str(), junk(50, '~');   // frames of 576 bytes
  const std::string tags = std::string("ID3\x04\0\0\0\0\0\x14", 10) + std::string(20, 'x');
  const std::string id3v1 = "TAG" + std::string(125, ' ');
  std::string mono;   // ten frames of MPEG-1 layer III at 44.1 kHz, 128 kbit/s, mono: 417 bytes each
  for (char body = 'a'; body < 'k'; body++)
    mono += std::string("\xFF\xFB\x90\xC0", 4) + std::string(413, body);
  struct Case { const char* name; std::string file; int rate, channels; std::string handed; };
  const Case cases[] = {
    { "no soundtrack", "", 32000, 2, "" },
    { "tagged, damaged after frame 2", tags + song.substr(0, 1152) + junk + song.substr(1152) + id3v1,
      32000, 2, song },   // the whole committed file
    { "mono at 44.1 kHz", mono, 44100, 1, mono },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char folder[] = "/tmp/intro-startup-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string data = std::string(folder) + "/data", mp3 = data + "/soundtrack.mp3";
    mkdir(data.c_str(), 0700);
    if (!c.file.empty())
      std::ofstream(mp3, std::ios::binary) << c.file;
    runIntro("2\n", folder);
    unlink(mp3.c_str()), rmdir(data.c_str()), rmdir(folder);
    const std::vector<double> device = { (double)c.rate, 0x8010, (double)c.channels, 1024 };
    EXPECT_EQ(callsNamed("Mix_OpenAudio").at(0).args, device);
    EXPECT_TRUE(musicHanded == c.handed) << musicHanded.size() << " bytes handed";
  }
}

TEST(StartUp, EachLibraryFailurePrintsItsLineOnItsStreamAndEndsWithOne)
{
  struct Case { void (*arrange)(); const char* out; const char* err; const char* lastStep; };
  const Case cases[] = {
    { [] { script.failInit = SDL_INIT_VIDEO; }, "", "Video initialization failed: scripted failure\n", "SDL_Init" },
    { [] { script.failInit = SDL_INIT_AUDIO; }, "SDL_Init: scripted failure\n", "", "SDL_Init" },
    { [] { script.failOpenAudio = true; }, "Mix_OpenAudio: scripted failure\n", "", "Mix_OpenAudio" },
    { [] { script.failVideoInfo = true; }, "", "Video query failed: scripted failure\n", "SDL_GetVideoInfo" },
    { [] { script.failSetVideoModeCall = 1; }, "", "Video mode set failed: scripted failure\n", "SDL_SetVideoMode" },
    { [] { script.failSetVideoModeCall = 2, script.passes = { { event(SDL_VIDEORESIZE, 64, 48) } }; }, "",
      "Could not get a surface after resize: scripted failure\n", "SDL_SetVideoMode" },
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err[0] ? c.err : c.out);
    c.arrange();
    Outcome o = runIntro("2\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, std::string(MENU_TEXT) + c.out);
    EXPECT_EQ(o.err, c.err);
    EXPECT_TRUE(endsWith(o.calls, std::string(c.lastStep) + " Mix_CloseAudio SDL_Quit exit")) << o.calls;
  }
}

TEST(EventLoop, ResizeKeepsTheStartUpDepthAndSetsUpAReplacedContextAgain)
{
  script.passes = { { event(SDL_VIDEORESIZE, 800, 600) } };
  Outcome o = runIntro("1\n");
  EXPECT_EQ(callsNamed("SDL_SetVideoMode").at(1).args, (std::vector<double>{ 800, 600, 24, 0x20000017 }));
  EXPECT_EQ(callsNamed("glGenTextures").size(), 1u);   // the context survived: nothing reloaded
  EXPECT_EQ(callsNamed("glViewport").back().args, (std::vector<double>{ 0, 0, 800, 600 }));
  EXPECT_EQ(SCREEN_WIDTH, 320);

  script.replaceContext = true;   // textures and fixed state again, before the projection
  script.passes = { { event(SDL_VIDEORESIZE, 800, 600) } };
  o = runIntro("2\n");
  const std::string resize = o.calls.substr(o.calls.find("SDL_SetVideoMode", o.calls.find("glHint")));
  EXPECT_EQ(resize.find("SDL_SetVideoMode glIsTexture glGenTextures"), 0u) << resize;
  EXPECT_LT(resize.find("glHint"), resize.find("glViewport"));
}

TEST(EventLoop, EscapeEndsAtOnceButAWindowCloseFinishesItsPass)
{
  script.tickStep = 50;   // every pass would draw
  script.passes = { {}, { event(SDL_KEYDOWN, SDLK_f), event(SDL_KEYDOWN, SDLK_ESCAPE), event(SDL_KEYDOWN, SDLK_f) } };
  Outcome o = runIntro("2\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(endsWith(o.calls, "SDL_PollEvent Mix_CloseAudio SDL_Quit exit")) << o.calls;
  EXPECT_EQ(callsNamed("SDL_WM_ToggleFullScreen").size(), 2u);   // start-up and the first f

  script.tickStep = 50;
  script.passes = { {}, { event(SDL_QUIT), event(SDL_KEYDOWN, SDLK_f), event(SDL_KEYUP, SDLK_f) } };
  o = runIntro("2\n");
  EXPECT_EQ(o.status, 0);
  // the f behind the close request is still handled and one more frame drawn, then Quit
  EXPECT_EQ(callsNamed("SDL_WM_ToggleFullScreen").size(), 2u);
  const std::string tail = o.calls.substr(o.calls.rfind("SDL_WM_ToggleFullScreen"));
  EXPECT_NE(tail.find("SDL_Delay SDL_GetTicks SDL_GetTicks glClear"), std::string::npos);
  EXPECT_TRUE(endsWith(o.calls, "SDL_GL_SwapBuffers Mix_CloseAudio SDL_Quit exit")) << o.calls;
}
