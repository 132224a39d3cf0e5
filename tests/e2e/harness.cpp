// harness.cpp -- private Xvfb, scratch directories, the intro process and the X client
#include "harness.h"

#include <X11/Xlib.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef INTRO_PATH
#error "INTRO_PATH must name the intro executable"
#endif

extern char** environ;

namespace e2e {

static const int XVFB_START_MS   = 15000;  // Xvfb names its display within this
static const int CONNECT_MS      = 5000;   // the server accepts us within this
static const int SERVER_END_MS   = 3000;   // Xvfb ends on SIGTERM within this
static const int POLL_MS         = 2;      // process and picture poll period
static const int PICTURE_POLL_MS = 20;     // about one frame of the intro

int64_t nowMs()
{
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void sleepMs(int ms)
{
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

//
// pictures and files
//
bool near(Rgb a, Rgb b, int tolerance)
{
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

std::string toString(Rgb c)
{
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

PixelFn solid(Rgb c)
{
  return [c](int, int) { return c; };
}

static void put16(std::string& s, unsigned v)
{
  s += (char)(v & 0xff);
  s += (char)((v >> 8) & 0xff);
}

static void put32(std::string& s, unsigned v)
{
  put16(s, v & 0xffff);
  put16(s, v >> 16);
}

bool writeBmp24(const std::string& path, int width, int height, const PixelFn& pixel)
{
  const unsigned rowBytes  = ((unsigned)width * 3 + 3) & ~3u;   // rows padded to four bytes
  const unsigned imageSize = rowBytes * (unsigned)height;
  const unsigned headers   = 14 + 40;

  std::string b;
  b += "BM";
  put32(b, headers + imageSize);
  put32(b, 0);
  put32(b, headers);
  put32(b, 40);
  put32(b, (unsigned)width);
  put32(b, (unsigned)height);
  put16(b, 1);                 // planes
  put16(b, 24);                // bits per pixel
  put32(b, 0);                 // no compression
  put32(b, imageSize);
  put32(b, 2835);              // 72 dpi
  put32(b, 2835);
  put32(b, 0);
  put32(b, 0);
  for (int y = height - 1; y >= 0; --y) {   // bottom row first
    std::string row;
    for (int x = 0; x < width; ++x) {
      Rgb c = pixel(x, y);
      row += (char)c.b;
      row += (char)c.g;
      row += (char)c.r;
    }
    row.resize(rowBytes, '\0');
    b += row;
  }
  return writeFile(path, b);
}

bool writeSineWav(const std::string& path, double seconds, double hz, int rate, int channels)
{
  const unsigned frames   = (unsigned)(seconds * rate);
  const unsigned dataSize = frames * (unsigned)channels * 2;
  std::string b;
  b += "RIFF";
  put32(b, 36 + dataSize);
  b += "WAVEfmt ";
  put32(b, 16);
  put16(b, 1);                                  // PCM
  put16(b, (unsigned)channels);
  put32(b, (unsigned)rate);
  put32(b, (unsigned)(rate * channels * 2));    // bytes per second
  put16(b, (unsigned)(channels * 2));           // bytes per frame
  put16(b, 16);
  b += "data";
  put32(b, dataSize);
  for (unsigned i = 0; i < frames; ++i) {
    int v = (int)(16000.0 * std::sin(2.0 * 3.14159265358979 * hz * i / rate));
    for (int c = 0; c < channels; ++c)
      put16(b, (unsigned)(v & 0xffff));
  }
  return writeFile(path, b);
}

bool writeFile(const std::string& path, const std::string& bytes)
{
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), (std::streamsize)bytes.size());
  return (bool)f;
}

std::string readFile(const std::string& path)
{
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// Runs a program with arguments, output to log; true when it exits with 0.
static bool runTool(const std::vector<std::string>& args, const std::string& log)
{
  pid_t pid = fork();
  if (pid < 0)
    return false;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    std::vector<char*> argv;
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

//
// scratch directories
//
TempDir::TempDir()
{
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/intro-e2e-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) {
    root_ = buf.data();
    mkdir(run().c_str(), 0755);
    mkdir(data().c_str(), 0755);
  }
}

TempDir::~TempDir()
{
  if (!root_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
}

bool TempDir::writeBmp(const std::string& name, int width, int height, const PixelFn& pixel) const
{
  return writeBmp24(data() + "/" + name, width, height, pixel);
}

bool TempDir::writeData(const std::string& name, const std::string& bytes) const
{
  return writeFile(data() + "/" + name, bytes);
}

void TempDir::removeDataFolder() const
{
  std::error_code ignored;
  std::filesystem::remove_all(data(), ignored);
}

bool TempDir::writeSoundtrack(double seconds, double hz) const
{
  static const int RATE = 32000;
  const std::string wav = file("sine.wav");
  if (!writeSineWav(wav, seconds, hz, RATE, 2))
    return false;
  return runTool({ "lame", "--quiet", "-m", "s", "-b", "64", "--resample", "32", wav,
                   data() + "/soundtrack.mp3" },
                 file("lame.log"));
}

//
// the private X server
//
XServer::XServer(int width, int height)
{
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) < 0)
    return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int fd = dup(fds[1]);   // a copy without close-on-exec, for the server to write to
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    const std::string fdText = std::to_string(fd);
    execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(),
           "-nolisten", "tcp", (char*)nullptr);
    _exit(127);
  }
  close(fds[1]);
  if (pid_ < 0) {
    close(fds[0]);
    return;
  }

  // the server writes its display number and a line end once it takes connections
  std::string number;
  const int64_t deadline = nowMs() + XVFB_START_MS;
  while (nowMs() < deadline) {
    pollfd p = { fds[0], POLLIN, 0 };
    if (poll(&p, 1, 100) <= 0)
      continue;
    char c;
    ssize_t n = read(fds[0], &c, 1);
    if (n <= 0)
      break;
    if (c == '\n')
      break;
    number += c;
  }
  close(fds[0]);
  if (!number.empty())
    display_ = ":" + number;
}

XServer::~XServer()
{
  if (pid_ <= 0)
    return;
  ::kill(pid_, SIGTERM);
  const int64_t deadline = nowMs() + SERVER_END_MS;
  int status;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (nowMs() > deadline) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    sleepMs(POLL_MS);
  }
}

//
// the intro process
//
std::string toString(const ExitStatus& st)
{
  if (st.exited)
    return "exit status " + std::to_string(st.code);
  return "killed by signal " + std::to_string(st.signal);
}

Intro::~Intro()
{
  kill();
  if (stdin_ >= 0)
    close(stdin_);
}

// The environment of the test without anything that steers SDL, GL or X.
static std::vector<std::string> baseEnvironment()
{
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string v = *e;
    if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("SDL_", 0) == 0 || v.rfind("LIBGL_", 0) == 0 ||
        v.rfind("XAUTHORITY=", 0) == 0)
      continue;
    env.push_back(v);
  }
  return env;
}

bool Intro::start(const TempDir& dir, const std::string& display, const RunOptions& options)
{
  signal(SIGPIPE, SIG_IGN);   // an intro that has ended must not end the test on write

  std::vector<std::string> env = baseEnvironment();
  env.push_back("LIBGL_ALWAYS_SOFTWARE=1");
  env.push_back("SDL_AUDIODRIVER=" + options.audioDriver);
  if (options.withDisplay)
    env.push_back("DISPLAY=" + display);
  for (const auto& [name, value] : options.env)
    env.push_back(name + "=" + value);

  // E2E_INTRO runs the tests against another build of the intro
  const char* other = getenv("E2E_INTRO");
  const std::string program = other && *other ? other : INTRO_PATH;

  outPath_ = dir.file("stdout.txt");
  errPath_ = dir.file("stderr.txt");
  const std::string workdir = dir.run();

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) < 0)
    return false;
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fds[0], 0);
    dup2(out, 1);
    dup2(err, 2);
    if (chdir(workdir.c_str()) < 0)
      _exit(126);
    std::vector<char*> envp;
    for (std::string& v : env)
      envp.push_back(v.data());
    envp.push_back(nullptr);
    char* argv[] = { const_cast<char*>("intro"), nullptr };
    execve(program.c_str(), argv, envp.data());
    _exit(127);
  }
  close(fds[0]);
  if (pid_ < 0) {
    close(fds[1]);
    return false;
  }
  stdin_ = fds[1];
  writeStdin(options.answer);
  if (options.closeStdin)
    closeStdin();
  return true;
}

void Intro::writeStdin(const std::string& text)
{
  size_t done = 0;
  while (stdin_ >= 0 && done < text.size()) {
    ssize_t n = write(stdin_, text.data() + done, text.size() - done);
    if (n <= 0)
      break;
    done += (size_t)n;
  }
}

void Intro::closeStdin()
{
  if (stdin_ >= 0)
    close(stdin_);
  stdin_ = -1;
}

static ExitStatus decode(int status)
{
  ExitStatus st;
  st.exited = WIFEXITED(status);
  if (st.exited)
    st.code = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    st.signal = WTERMSIG(status);
  return st;
}

bool Intro::running()
{
  if (pid_ <= 0 || reaped_)
    return false;
  int status;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    reaped_ = true;
    status_ = decode(status);
    return false;
  }
  return true;
}

bool Intro::waitExit(int ms, ExitStatus* status)
{
  const int64_t deadline = nowMs() + ms;
  while (running()) {
    if (nowMs() > deadline)
      return false;
    sleepMs(POLL_MS);
  }
  if (pid_ <= 0)
    return false;
  if (status)
    *status = status_;
  return true;
}

void Intro::kill()
{
  if (!running())
    return;
  ::kill(pid_, SIGKILL);
  int status;
  waitpid(pid_, &status, 0);
  reaped_ = true;
  status_ = decode(status);
}

std::string Intro::out() const { return readFile(outPath_); }
std::string Intro::err() const { return readFile(errPath_); }

//
// pictures
//
double Shot::meanBrightness(int x0, int y0, int w, int h) const
{
  double sum = 0;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      Rgb c = at(x, y);
      sum += (c.r + c.g + c.b) / 3.0;
    }
  return w * h > 0 ? sum / (w * h) : 0;
}

int Shot::countNear(int x0, int y0, int w, int h, Rgb c, int tolerance) const
{
  int n = 0;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x)
      if (near(at(x, y), c, tolerance))
        ++n;
  return n;
}

int Shot::differingPixels(const Shot& other, int tolerance) const
{
  if (width != other.width || height != other.height)
    return width * height;
  int n = 0;
  for (size_t i = 0; i < pixels.size(); ++i)
    if (!near(pixels[i], other.pixels[i], tolerance))
      ++n;
  return n;
}

bool Shot::allBlack() const
{
  for (Rgb c : pixels)
    if (c.r || c.g || c.b)
      return false;
  return true;
}

Shot::Area Shot::areaNear(Rgb c, int tolerance) const
{
  Area a;
  a.left = width;
  a.top = height;
  double sumX = 0, sumY = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (!near(at(x, y), c, tolerance))
        continue;
      ++a.count;
      sumX += x;
      sumY += y;
      a.left = std::min(a.left, x);
      a.right = std::max(a.right, x);
      a.top = std::min(a.top, y);
      a.bottom = std::max(a.bottom, y);
    }
  if (a.count) {
    a.centreX = sumX / a.count;
    a.centreY = sumY / a.count;
  }
  return a;
}

bool Shot::writePpm(const std::string& path) const
{
  std::string b = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  for (Rgb c : pixels) {
    b += (char)c.r;
    b += (char)c.g;
    b += (char)c.b;
  }
  return writeFile(path, b);
}

//
// the X client
//
static int xErrors;   // errors of requests on windows that came and went meanwhile

static int countXError(Display*, XErrorEvent*)
{
  ++xErrors;
  return 0;
}

XClient::XClient(const std::string& display)
{
  if (display.empty())
    return;
  XSetErrorHandler(countXError);
  const int64_t deadline = nowMs() + CONNECT_MS;
  while (!dpy_ && nowMs() < deadline) {
    dpy_ = XOpenDisplay(display.c_str());
    if (!dpy_)
      sleepMs(50);
  }
  if (dpy_) {
    // every window the intro creates shows up as a CreateNotify on the root
    XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureNotifyMask);
    XSync(dpy_, False);
  }
}

XClient::~XClient()
{
  if (dpy_)
    XCloseDisplay(dpy_);
}

int XClient::screenWidth() const { return DisplayWidth(dpy_, DefaultScreen(dpy_)); }
int XClient::screenHeight() const { return DisplayHeight(dpy_, DefaultScreen(dpy_)); }

static std::vector<Window> childrenOf(Display* dpy, Window w)
{
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  std::vector<Window> out;
  if (XQueryTree(dpy, w, &root, &parent, &children, &n)) {
    out.assign(children, children + n);
    if (children)
      XFree(children);
  }
  return out;
}

XWindow XClient::findWmWindow()
{
  for (Window w : childrenOf(dpy_, DefaultRootWindow(dpy_))) {
    XClassHint hint = { nullptr, nullptr };
    if (!XGetClassHint(dpy_, w, &hint))
      continue;
    bool ours = (hint.res_name && strcmp(hint.res_name, "intro") == 0) ||
                (hint.res_class && strcmp(hint.res_class, "intro") == 0);
    if (hint.res_name)
      XFree(hint.res_name);
    if (hint.res_class)
      XFree(hint.res_class);
    if (ours)
      return w;
  }
  return 0;
}

bool XClient::findGlView(GlView* view)
{
  const Window root = DefaultRootWindow(dpy_);
  int found = 0;
  GlView v;
  for (Window top : childrenOf(dpy_, root)) {
    XWindowAttributes topAttr;
    if (!XGetWindowAttributes(dpy_, top, &topAttr) || topAttr.map_state != IsViewable)
      continue;
    for (Window child : childrenOf(dpy_, top)) {
      XWindowAttributes attr;
      if (!XGetWindowAttributes(dpy_, child, &attr) || attr.map_state != IsViewable)
        continue;
      ++found;
      v.window = child;
      v.parent = top;
      v.width = attr.width;
      v.height = attr.height;
      Window ignored;
      XTranslateCoordinates(dpy_, child, root, 0, 0, &v.x, &v.y, &ignored);
      v.fullScreen = topAttr.override_redirect && topAttr.width == screenWidth() &&
                     topAttr.height == screenHeight();
    }
  }
  if (found != 1)
    return false;
  *view = v;
  return true;
}

bool XClient::waitForGlView(int ms, GlView* view)
{
  const int64_t deadline = nowMs() + ms;
  do {
    if (findGlView(view))
      return true;
    sleepMs(PICTURE_POLL_MS);
  } while (nowMs() < deadline);
  return false;
}

bool XClient::waitForGlWindow(int width, int height, int ms, GlView* view)
{
  const int64_t deadline = nowMs() + ms;
  do {
    if (findGlView(view) && view->width == width && view->height == height)
      return true;
    sleepMs(PICTURE_POLL_MS);
  } while (nowMs() < deadline);
  return false;
}

bool XClient::waitForFullScreen(bool fullScreen, int ms, GlView* view)
{
  const int64_t deadline = nowMs() + ms;
  do {
    if (findGlView(view) && view->fullScreen == fullScreen)
      return true;
    sleepMs(PICTURE_POLL_MS);
  } while (nowMs() < deadline);
  return false;
}

bool XClient::waitForRunning(int width, int height, int ms, GlView* view)
{
  const int64_t deadline = nowMs() + ms;
  do {
    if (findGlView(view) && view->width == width && view->height == height && view->fullScreen) {
      Shot shot = waitForPicture(view->window, (int)(deadline - nowMs()),
                                 [](const Shot& s) { return !s.allBlack(); });
      return !shot.empty() && !shot.allBlack();
    }
    sleepMs(PICTURE_POLL_MS);
  } while (nowMs() < deadline);
  return false;
}

void XClient::drainEvents()
{
  XSync(dpy_, False);
  while (XPending(dpy_)) {
    XEvent ev;
    XNextEvent(dpy_, &ev);
    if (ev.type == CreateNotify)
      created_ = true;
    if (ev.type == MapNotify)
      mapped_ = true;
  }
}

bool XClient::sawWindowCreated()
{
  drainEvents();
  return created_;
}

bool XClient::sawWindowMapped()
{
  drainEvents();
  return mapped_;
}

static int lowBit(unsigned long mask)
{
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

static int channel(unsigned long pixel, unsigned long mask)
{
  if (!mask)
    return 0;
  unsigned long v = (pixel & mask) >> lowBit(mask);
  unsigned long max = mask >> lowBit(mask);
  return (int)(v * 255 / max);
}

Shot XClient::grab(XWindow window)
{
  Shot shot;
  XWindowAttributes attr;
  if (!XGetWindowAttributes(dpy_, window, &attr) || attr.map_state != IsViewable)
    return shot;
  XImage* image = XGetImage(dpy_, window, 0, 0, (unsigned)attr.width, (unsigned)attr.height,
                            AllPlanes, ZPixmap);
  if (!image)
    return shot;
  shot.width = attr.width;
  shot.height = attr.height;
  shot.pixels.resize((size_t)shot.width * shot.height);
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      unsigned long p = XGetPixel(image, x, y);
      shot.pixels[(size_t)y * shot.width + x] = { channel(p, image->red_mask),
                                                  channel(p, image->green_mask),
                                                  channel(p, image->blue_mask) };
    }
  XDestroyImage(image);
  return shot;
}

Shot XClient::waitForPicture(XWindow window, int ms, const std::function<bool(const Shot&)>& pred)
{
  const int64_t deadline = nowMs() + ms;
  Shot shot;
  do {
    shot = grab(window);
    if (!shot.empty() && pred(shot))
      return shot;
    sleepMs(PICTURE_POLL_MS);
  } while (nowMs() < deadline);
  return shot;
}

void XClient::pressKey(const char* keyName)
{
  const KeySym key = XStringToKeysym(keyName);
  // no window manager here: give the intro's window the focus as one would
  Window wm = findWmWindow();
  XWindowAttributes attr;
  if (wm && XGetWindowAttributes(dpy_, wm, &attr) && attr.map_state == IsViewable)
    XSetInputFocus(dpy_, wm, RevertToPointerRoot, CurrentTime);
  const KeyCode code = XKeysymToKeycode(dpy_, key);
  XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
  XSync(dpy_, False);
}

void XClient::requestClose()
{
  Window wm = findWmWindow();
  if (!wm)
    return;
  XEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.xclient.type = ClientMessage;
  ev.xclient.window = wm;
  ev.xclient.message_type = XInternAtom(dpy_, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = (long)XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy_, wm, False, NoEventMask, &ev);
  XSync(dpy_, False);
}

void XClient::resize(int width, int height)
{
  Window wm = findWmWindow();
  if (!wm)
    return;
  XResizeWindow(dpy_, wm, (unsigned)width, (unsigned)height);
  XSync(dpy_, False);
}

//
// a whole run
//
Session::Session()
  : server_(new XServer()),
    client_(new XClient(server_->display()))
{
}

Session::~Session()
{
  intro_.kill();
  client_.reset();
  server_.reset();
}

bool Session::start(const RunOptions& options)
{
  return intro_.start(dir_, server_->display(), options);
}

bool Session::writeAllImages(Rgb colour)
{
  static const char* const IMAGES[] = { "logo.bmp", "bounce.bmp", "spark.bmp", "bg.bmp" };
  bool ok = true;
  for (const char* name : IMAGES)
    ok = dir_.writeBmp(name, 64, 64, solid(colour)) && ok;
  return dir_.writeBmp("font.bmp", 256, 256, solid(colour)) && ok;
}

}  // namespace e2e
