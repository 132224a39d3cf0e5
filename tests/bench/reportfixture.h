// reportfixture.h -- probe reports written the way the probe writes them, for the report tests
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace fixture {

constexpr int64_t MS = 1000000;   // ns

// Start-up marks of a run that presents its first frame at firstFrameMs.
inline std::string startupMarks(double firstFrameMs = 100)
{
  const char* names[] = {"libraries_loaded", "tables_done", "video_init_begin", "video_init_end",
                         "audio_init_begin", "audio_init_end", "audio_open_begin", "audio_open_end",
                         "music_load_begin", "music_load_end", "music_play_begin", "music_play_end",
                         "video_mode_begin", "video_mode_end", "gl_ready", "fullscreen_begin",
                         "fullscreen_end"};
  std::ostringstream out;
  int64_t at = 0;
  for (const char* name : names) {
    at += 2 * MS;
    out << "mark " << name << " " << at << "\n";
  }
  out << "mark first_frame " << (int64_t)(firstFrameMs * MS) << "\n";
  return out.str();
}

// Frames whose swaps return gapMs[i] apart; each frame starts 12 ms before its swap returns
// and spends 2 ms drawing and 10 ms in the swap.
inline std::string framesWithGaps(const std::vector<double>& gapMs, int64_t firstSwapOut = 200 * MS)
{
  std::ostringstream out;
  int64_t swapOut = firstSwapOut;
  for (size_t i = 0; i <= gapMs.size(); i++) {
    if (i > 0)
      swapOut += (int64_t)(gapMs[i - 1] * MS);
    out << "frame " << swapOut - 12 * MS << " " << swapOut - 10 * MS << " " << swapOut << "\n";
  }
  return out.str();
}

// A whole report: marks, GL strings, size, frames, CPU window, threads and peak memory.
inline std::string report(const std::string& size, const std::vector<double>& gapMs, double firstFrameMs = 100,
                          int64_t windowNs = 20000 * MS, int64_t cpuNs = 8000 * MS)
{
  std::ostringstream out;
  out << "start 123456789\n" << startupMarks(firstFrameMs)
      << "renderer llvmpipe (LLVM 15.0.6, 256 bits)\n"
      << "gl_version 4.5 (Compatibility Profile) Mesa 22.3.6\n"
      << "size " << size << "\n"
      << framesWithGaps(gapMs)
      << "window " << windowNs << " cpu " << cpuNs << " user " << cpuNs - 100 * MS << " system " << 100 * MS << "\n"
      << "thread main " << 300 * MS << "\n"
      << "thread llvmpipe-0 " << 3000 * MS << "\n"
      << "thread llvmpipe-1 " << 3500 * MS << "\n"
      << "thread intro " << 20 * MS << "\n"
      << "thread intro 0\n"
      << "maxrss_kib 102400\n"
      << "xvfb_cpu_ns " << 600 * MS << "\n";
  return out.str();
}

inline std::vector<double> steadyGaps(int count, double ms = 21.0)
{
  return std::vector<double>((size_t)count, ms);
}

} // namespace fixture
