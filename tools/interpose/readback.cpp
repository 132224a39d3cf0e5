// readback.cpp -- every presented frame read back and sent down a pipe by a thread of ours, top row first
#include "interpose.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

static const int BYTES_PER_PIXEL = 3;        // GL_RGB, GL_UNSIGNED_BYTE
static const int FRAME_SLOTS     = 3;        // frames read back, not yet sent: the intro draws on meanwhile
static const int PIPE_BYTES      = 1 << 20;  // Linux's default ceiling for a pipe's buffer

static int     frameFd = -1;               // where raw frames go, -1 for nowhere
static int64_t renderNs, waitNs, readNs;   // the latest sent frame's read-back, in parts

// Frames on their way out: the main thread reads each into the next free slot, the sender
// thread writes the slots out in the same order. The buffers are never freed, so the sender
// may still use them while the process runs its exit handlers.
struct FrameSlot {
  unsigned char* pixels;   // one frame as GL reads it, bottom row first
  bool           full;     // read back, not yet sent
};
static FrameSlot               slots[FRAME_SLOTS];
static int                     fillSlot, sendSlot;   // the next slot to read into, and to send
static bool                    sendingClosed;        // no more frames will come
static std::mutex              slotLock;
static std::condition_variable slotMoved;
static std::thread             sender;

void loadReadBack()
{
  frameFd = (int)setting("INTERPOSE_FRAMES_FD", -1);
  // a reader that went away shows up as a failed write, not as a silent death; a pipe
  // that holds a whole small frame lets the sender hand it over in one go
  if (frameFd >= 0) {
    signal(SIGPIPE, SIG_IGN);
    fcntl(frameFd, F_SETPIPE_SZ, PIPE_BYTES);
  }
}

bool sendingFrames()
{
  return frameFd >= 0;
}

// Writes one frame's rows last to first, so the video gets them top row first without a copy.
static void writeFrame(const unsigned char* frame)
{
  const size_t row = (size_t)frameWidth * BYTES_PER_PIXEL;
  iovec rows[IOV_MAX];
  int next = frameHeight - 1;   // the next GL row to queue: GL's rows run bottom-up
  while (next >= 0) {
    int count = 0;
    for (; count < IOV_MAX && next >= 0; count++, next--)
      rows[count] = { const_cast<unsigned char*>(frame + row * next), row };
    iovec* pending = rows;
    while (count > 0) {
      ssize_t n = writev(frameFd, pending, count);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        fprintf(stderr, "interpose: writing a frame failed: %s\n", strerror(errno));
        _exit(3);
      }
      // a short write leaves the rest of the batch, perhaps from the middle of a row
      for (size_t done = (size_t)n; done > 0;) {
        const size_t step = std::min(done, pending->iov_len);
        pending->iov_base = (char*)pending->iov_base + step;
        pending->iov_len -= step;
        done -= step;
        if (pending->iov_len == 0) {
          pending++;
          count--;
        }
      }
    }
  }
}

// The sender thread: writes the full slots out in order until the intro is done.
static void sendFrames()
{
  std::unique_lock<std::mutex> lock(slotLock);
  for (;;) {
    slotMoved.wait(lock, [] { return slots[sendSlot].full || sendingClosed; });
    if (!slots[sendSlot].full)
      return;
    lock.unlock();
    writeFrame(slots[sendSlot].pixels);
    lock.lock();
    slots[sendSlot].full = false;
    sendSlot = (sendSlot + 1) % FRAME_SLOTS;
    slotMoved.notify_all();
  }
}

// Sends whatever is still queued before the process ends; run once, from exit.
static void finishSending()
{
  {
    std::lock_guard<std::mutex> lock(slotLock);
    sendingClosed = true;
  }
  slotMoved.notify_all();
  sender.join();
}

static void startSending()
{
  const size_t bytes = (size_t)frameWidth * frameHeight * BYTES_PER_PIXEL;
  for (FrameSlot& slot : slots)
    if (!(slot.pixels = (unsigned char*)malloc(bytes))) {
      fprintf(stderr, "interpose: no memory for %d frames of %dx%d\n", FRAME_SLOTS, frameWidth, frameHeight);
      _exit(3);
    }
  sender = std::thread(sendFrames);
  // registered after every static object of ours, so it runs before they are destroyed
  atexit(finishSending);
}

// Reads the finished back buffer into the next free slot for the sender. The renderer is
// waited for first, so the read-back's own cost shows apart from the drawing's.
void readBackFrame()
{
  if (!sender.joinable())
    startSending();
  const int64_t begin = sinceStart();
  glFinish();
  const int64_t rendered = sinceStart();
  FrameSlot& slot = slots[fillSlot];
  {
    std::unique_lock<std::mutex> lock(slotLock);
    slotMoved.wait(lock, [&] { return !slot.full; });
  }
  const int64_t slotFree = sinceStart();
  GLint packAlignment, readBuffer;
  glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
  glGetIntegerv(GL_READ_BUFFER, &readBuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, slot.pixels);
  glReadBuffer(readBuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
  renderNs = rendered - begin;
  waitNs   = slotFree - rendered;
  readNs   = sinceStart() - slotFree;
  {
    std::lock_guard<std::mutex> lock(slotLock);
    slot.full = true;
  }
  slotMoved.notify_all();
  fillSlot = (fillSlot + 1) % FRAME_SLOTS;
}

void noteReadBack()
{
  note(" %lld %lld %lld", (long long)renderNs, (long long)waitNs, (long long)readNs);
}
