// perfstats.h -- reads the timing probe's reports and the frame benchmark's figures and
// turns them into the numbers held against the intro's performance targets
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

// The targets, and the limit the pacing sets: frames start at least 21 ms apart.
constexpr double FRAME_GAP_MS         = 21.0;
constexpr double FPS_LIMIT            = 1000.0 / FRAME_GAP_MS;   // 47.6
constexpr double FPS_TARGET           = 46.0;
constexpr double MEDIAN_TARGET_MIN_MS = 21.0;
constexpr double MEDIAN_TARGET_MAX_MS = 22.0;
constexpr double P99_TARGET_MS        = 25.0;
constexpr double LATE_FRAME_MS        = 25.0;   // an interval longer than this is a late frame
constexpr double FRAME_CPU_TARGET_US  = 20.0;
constexpr double STARTUP_TARGET_MS    = 300.0;

struct ProbeFrame { int64_t begin, swapIn, swapOut; };

struct ProbeReport {
  std::vector<std::pair<std::string, int64_t>> marks;     // start-up steps, ns since exec
  std::string renderer, glVersion;
  int width = 0, height = 0;
  std::vector<ProbeFrame> frames;
  int64_t windowNs = 0, cpuNs = 0, userNs = 0, systemNs = 0;
  std::vector<std::pair<std::string, int64_t>> threads;   // CPU over the window, by thread
  long maxrssKib = 0;
  int64_t xvfbCpuNs = -1;                                 // added by the driver; -1 unknown
};

// False, with the line and what is wrong with it, for a report that is cut short or garbled.
bool parseProbeReport(std::istream& in, ProbeReport& report, std::string& error);

// Nearest-rank percentile, p in 0..100, of a non-empty list.
double percentile(std::vector<double> values, double p);

// Intervals between presented frames (returns from the buffer swap), in ms.
std::vector<double> presentIntervalsMs(const ProbeReport& report);

struct RunSummary {
  int    frames = 0;
  double fps = 0;
  double medianMs = 0, p99Ms = 0, maxMs = 0;   // presented-frame intervals
  double lateShare = 0;                        // intervals over LATE_FRAME_MS, 0..1
  double pacingMedianMs = 0, pacingP99Ms = 0;  // intervals between frame starts
  double drawMedianMs = 0;                     // frame start to the swap: our GL calls
  double swapMedianMs = 0, swapP99Ms = 0;      // inside the swap: rasterising and the copy to X
  double latencyJumpP99Ms = 0;                 // growth of start-to-presentation time between frames
  double cpuPerSecond = 0;                     // process CPU s per wall s, all threads
  double xvfbPerSecond = -1;                   // the X server's, -1 unknown
  double peakMib = 0;
};

// Needs at least two frames and a CPU window; false otherwise.
bool summarizeRun(const ProbeReport& report, RunSummary& summary, std::string& error);

// Start-up, cut at the probe's marks: phase name and its length in ms, then the total
// from exec to the first presented frame. False when a mark is missing or out of order.
struct StartupSplit {
  std::vector<std::pair<std::string, double>> phases;
  double totalMs = 0;
};
bool splitStartup(const ProbeReport& report, StartupSplit& split, std::string& error);

// Google Benchmark's JSON output: name and CPU time in ns of every entry. Where repetitions
// were aggregated, only the medians are kept, under the plain name.
struct BenchFigure { std::string name; double cpuNs; };
std::vector<BenchFigure> parseBenchmarkJson(std::istream& in);

// Thread CPU summed by thread name, largest first.
std::vector<std::pair<std::string, int64_t>> cpuByThreadName(const ProbeReport& report);
