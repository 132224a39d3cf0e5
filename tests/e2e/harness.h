// harness.h -- runs the real intro against a private Xvfb and looks at it through Xlib
//
// How to use it (one Session per test; everything is torn down by its destructor,
// on failure too):
//
//   e2e::Session s;                                   // temp dir, Xvfb, X connection
//   s.writeAllImages({0, 0, 0});                      // data/ holds what the test writes
//   s.data().writeBmp("logo.bmp", 64, 16, e2e::solid({255, 255, 255}));
//   s.start({"2\n"});                                 // menu answer on stdin
//   e2e::GlView view;
//   ASSERT_TRUE(s.x().waitForRunning(640, 480, 20000, &view));   // full screen, first frame out
//   e2e::Shot shot = s.x().grab(view.window);         // pixels of the GL window
//   s.x().pressKey("Escape");
//   e2e::ExitStatus st;
//   ASSERT_TRUE(s.intro().waitExit(1000, &st));
//   EXPECT_EQ(0, st.code);
//
// Wait with waitForRunning before sending keys: the GL window shows up at its
// size in the plain window first and only then moves into the full-screen one,
// and a key sent in between can be lost. SDL 1.2 keeps three windows: the
// top-level "WM window" (WM_CLASS "intro", takes keys and WM_DELETE_WINDOW,
// gets resized), a screen-sized override-redirect window for full screen, and
// the GL window, a child of one or the other. GlView is that GL window.
//
// Pieces can be used alone too: TempDir, XServer, XClient and Intro.
// The intro is the one this build made; E2E_INTRO=/path/to/intro runs another.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// Xlib stays out of this header: its macros clash with GoogleTest's names.
struct _XDisplay;

namespace e2e {

using XWindow = unsigned long;   // an X window id

//
// pictures and files
//
struct Rgb { int r, g, b; };

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Whether every channel of a lies within tolerance of b.
bool near(Rgb a, Rgb b, int tolerance);

std::string toString(Rgb c);

using PixelFn = std::function<Rgb(int x, int y)>;

PixelFn solid(Rgb c);

// An uncompressed 24-bit BMP, rows bottom-up and padded to four bytes.
bool writeBmp24(const std::string& path, int width, int height, const PixelFn& pixel);

// A 16-bit PCM WAV holding a sine tone on every channel.
bool writeSineWav(const std::string& path, double seconds, double hz, int rate, int channels);

bool writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

//
// scratch directories
//
// root/            the test's own files (captured output, logs, audio)
// root/run/        the intro's working directory
// root/run/data/   its data folder
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& root() const { return root_; }
  std::string run() const { return root_ + "/run"; }
  std::string data() const { return root_ + "/run/data"; }
  std::string file(const std::string& name) const { return root_ + "/" + name; }

  // Files in the data folder.
  bool writeBmp(const std::string& name, int width, int height, const PixelFn& pixel) const;
  bool writeData(const std::string& name, const std::string& bytes) const;
  void removeDataFolder() const;

  // data/soundtrack.mp3: a sine tone made into a 32 kHz stereo MP3 by lame.
  bool writeSoundtrack(double seconds, double hz) const;

private:
  std::string root_;
};

//
// the private X server
//
class XServer {
public:
  XServer(int width = 1280, int height = 1024);   // starts Xvfb, waits for its display number
  ~XServer();                                       // ends it
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool ok() const { return !display_.empty(); }
  const std::string& display() const { return display_; }   // ":N"

private:
  pid_t pid_ = -1;
  std::string display_;
};

//
// the intro process
//
struct ExitStatus {
  bool exited = false;   // ended through exit (else by a signal)
  int code = -1;         // exit status when exited
  int signal = 0;        // the signal that ended it otherwise
};

std::string toString(const ExitStatus& st);

struct RunOptions {
  std::string answer = "2\n";        // written to stdin right after start
  bool closeStdin = true;            // close stdin after the answer
  bool withDisplay = true;           // false leaves DISPLAY unset
  std::string audioDriver = "dummy"; // SDL_AUDIODRIVER
  std::vector<std::pair<std::string, std::string>> env;   // more variables, set last
};

class Intro {
public:
  Intro() = default;
  ~Intro();                  // kills the process if it still runs
  Intro(const Intro&) = delete;
  Intro& operator=(const Intro&) = delete;

  // Starts the intro in dir.run() on display, with stdout and stderr
  // captured in dir.root(); LIBGL_ALWAYS_SOFTWARE=1 always.
  bool start(const TempDir& dir, const std::string& display, const RunOptions& options);

  void writeStdin(const std::string& text);
  void closeStdin();

  bool running();
  // Waits up to ms for the process to end; false when it still runs.
  bool waitExit(int ms, ExitStatus* status);
  void kill();

  pid_t pid() const { return pid_; }
  std::string out() const;   // everything written to stdout so far
  std::string err() const;   // everything written to stderr so far

private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  bool reaped_ = false;
  ExitStatus status_;
  std::string outPath_, errPath_;
};

//
// looking at the X server
//
struct Shot {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;   // row-major, top row first

  bool empty() const { return pixels.empty(); }
  Rgb at(int x, int y) const { return pixels[(size_t)y * width + x]; }
  // Mean brightness (r + g + b) / 3 over the rectangle.
  double meanBrightness(int x0, int y0, int w, int h) const;
  // How many pixels of the rectangle lie within tolerance of c.
  int countNear(int x0, int y0, int w, int h, Rgb c, int tolerance) const;
  int differingPixels(const Shot& other, int tolerance) const;
  bool allBlack() const;
  // Where the pixels within tolerance of c lie: count, centre and bounds.
  struct Area { int count = 0; double centreX = 0, centreY = 0; int left = 0, top = 0, right = -1, bottom = -1; };
  Area areaNear(Rgb c, int tolerance) const;
  bool writePpm(const std::string& path) const;   // for looking at a failure by eye
};

// The window the intro draws into.
struct GlView {
  XWindow window = 0;
  XWindow parent = 0;
  int x = 0, y = 0;          // position on the screen
  int width = 0, height = 0;
  bool fullScreen = false;   // held by a screen-sized override-redirect window
};

class XClient {
public:
  explicit XClient(const std::string& display);
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool ok() const { return dpy_ != nullptr; }
  _XDisplay* dpy() const { return dpy_; }
  int screenWidth() const;
  int screenHeight() const;

  // The intro's top-level window: WM_CLASS "intro". 0 when there is none.
  XWindow findWmWindow();
  // SDL 1.2 draws into a child window, held by the WM window in a window and
  // by a screen-sized window when full screen: the one viewable grandchild of the root.
  bool findGlView(GlView* view);
  bool waitForGlView(int ms, GlView* view);
  bool waitForGlWindow(int width, int height, int ms, GlView* view);
  bool waitForFullScreen(bool fullScreen, int ms, GlView* view);
  // Waits for the start-up to settle: the GL window at width x height, full
  // screen, with a first frame drawn (a picture that is not all black).
  bool waitForRunning(int width, int height, int ms, GlView* view);

  // Whether any window was created, or mapped (shown), on the server since
  // this client connected. SDL creates its windows unmapped when video starts.
  bool sawWindowCreated();
  bool sawWindowMapped();

  Shot grab(XWindow window);
  // Grabs until pred holds for a picture or ms pass; returns the last picture.
  Shot waitForPicture(XWindow window, int ms, const std::function<bool(const Shot&)>& pred);

  // Presses and releases a key named as by XStringToKeysym ("Escape", "f").
  void pressKey(const char* keyName);
  void requestClose();                 // WM_DELETE_WINDOW to the WM window
  void resize(int width, int height);  // resizes the WM window as a window manager would

private:
  void drainEvents();

  _XDisplay* dpy_ = nullptr;
  bool created_ = false;   // a CreateNotify arrived on the root
  bool mapped_ = false;    // a MapNotify arrived on the root
};

//
// a whole run: scratch directory, X server, X connection and the intro
//
class Session {
public:
  Session();
  ~Session();

  TempDir& data() { return dir_; }
  const TempDir& dir() const { return dir_; }
  XServer& server() { return *server_; }
  XClient& x() { return *client_; }
  Intro& intro() { return intro_; }
  bool ok() const { return server_->ok() && client_->ok(); }

  // Starts the intro on this session's display.
  bool start(const RunOptions& options);

  // All five images of the data folder in one colour, 64x64 (font 256x256).
  bool writeAllImages(Rgb colour);

private:
  TempDir dir_;
  std::unique_ptr<XServer> server_;
  std::unique_ptr<XClient> client_;
  Intro intro_;
};

// Milliseconds since an arbitrary start, for deadlines.
int64_t nowMs();
void sleepMs(int ms);

}  // namespace e2e
