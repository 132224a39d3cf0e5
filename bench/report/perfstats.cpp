// perfstats.cpp -- reads the timing probe's reports and the frame benchmark's figures
#include "perfstats.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <map>
#include <sstream>

static const double NS_PER_MS = 1e6;

// The rest of a line after its key, trimmed of the single separating space.
static std::string restOf(std::istringstream& words)
{
  std::string rest;
  std::getline(words, rest);
  if (!rest.empty() && rest[0] == ' ')
    rest.erase(0, 1);
  return rest;
}

static bool parseLine(const std::string& line, ProbeReport& report)
{
  std::istringstream words(line);
  std::string key;
  if (!(words >> key))
    return true;                       // blank lines are harmless
  if (key == "start") {
    long long ignored;
    return (bool)(words >> ignored);
  }
  if (key == "mark") {
    std::string name;
    long long ns;
    if (!(words >> name >> ns))
      return false;
    report.marks.emplace_back(name, ns);
    return true;
  }
  if (key == "renderer") {
    report.renderer = restOf(words);
    return true;
  }
  if (key == "gl_version") {
    report.glVersion = restOf(words);
    return true;
  }
  if (key == "size") {
    char x = 0;
    return (words >> report.width >> x >> report.height) && x == 'x';
  }
  if (key == "frame") {
    long long begin, in, out;
    if (!(words >> begin >> in >> out) || begin > in || in > out)
      return false;
    report.frames.push_back({begin, in, out});
    return true;
  }
  if (key == "window") {
    std::string cpu, user, system;
    long long wall, c, u, s;
    if (!(words >> wall >> cpu >> c >> user >> u >> system >> s) || cpu != "cpu" || user != "user" ||
        system != "system" || wall <= 0)
      return false;
    report.windowNs = wall;
    report.cpuNs    = c;
    report.userNs   = u;
    report.systemNs = s;
    return true;
  }
  if (key == "thread") {
    std::string name;
    long long ns;
    if (!(words >> name >> ns))
      return false;
    report.threads.emplace_back(name, ns);
    return true;
  }
  if (key == "maxrss_kib")
    return (bool)(words >> report.maxrssKib);
  if (key == "xvfb_cpu_ns") {
    long long ns;
    if (!(words >> ns))
      return false;
    report.xvfbCpuNs = ns;
    return true;
  }
  return false;
}

bool parseProbeReport(std::istream& in, ProbeReport& report, std::string& error)
{
  report = ProbeReport();
  std::string line;
  int number = 0;
  bool sawEnd = false;
  while (std::getline(in, line)) {
    number++;
    if (!parseLine(line, report)) {
      error = "line " + std::to_string(number) + " cannot be read: " + line;
      return false;
    }
    sawEnd = sawEnd || line.rfind("maxrss_kib", 0) == 0;
  }
  // the probe writes the peak memory last, so a report without it was cut short
  if (!sawEnd) {
    error = "the report ends before its last line (maxrss_kib)";
    return false;
  }
  return true;
}

double percentile(std::vector<double> values, double p)
{
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(p / 100.0 * (double)values.size());
  size_t index = rank < 1 ? 0 : (size_t)rank - 1;
  return values[std::min(index, values.size() - 1)];
}

std::vector<double> presentIntervalsMs(const ProbeReport& report)
{
  std::vector<double> gaps;
  for (size_t i = 1; i < report.frames.size(); i++)
    gaps.push_back((double)(report.frames[i].swapOut - report.frames[i - 1].swapOut) / NS_PER_MS);
  return gaps;
}

bool summarizeRun(const ProbeReport& report, RunSummary& summary, std::string& error)
{
  const auto& frames = report.frames;
  if (frames.size() < 2) {
    error = "fewer than two frames were presented";
    return false;
  }
  if (report.windowNs <= 0) {
    error = "the report has no CPU window";
    return false;
  }
  summary = RunSummary();
  summary.frames = (int)frames.size();
  const double spanMs = (double)(frames.back().swapOut - frames.front().swapOut) / NS_PER_MS;
  summary.fps = (double)(frames.size() - 1) * 1000.0 / spanMs;

  std::vector<double> gaps = presentIntervalsMs(report);
  summary.medianMs  = percentile(gaps, 50);
  summary.p99Ms     = percentile(gaps, 99);
  summary.maxMs     = *std::max_element(gaps.begin(), gaps.end());
  summary.lateShare = (double)std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > LATE_FRAME_MS; }) /
                      (double)gaps.size();

  // a presented interval is the start-to-start gap plus the growth of the frame's latency
  std::vector<double> pacing, draw, swap, latencyJump;
  for (size_t i = 0; i < frames.size(); i++) {
    if (i > 0) {
      pacing.push_back((double)(frames[i].begin - frames[i - 1].begin) / NS_PER_MS);
      latencyJump.push_back((double)((frames[i].swapOut - frames[i].begin) -
                                     (frames[i - 1].swapOut - frames[i - 1].begin)) / NS_PER_MS);
    }
    draw.push_back((double)(frames[i].swapIn - frames[i].begin) / NS_PER_MS);
    swap.push_back((double)(frames[i].swapOut - frames[i].swapIn) / NS_PER_MS);
  }
  summary.pacingMedianMs = percentile(pacing, 50);
  summary.pacingP99Ms    = percentile(pacing, 99);
  summary.drawMedianMs   = percentile(draw, 50);
  summary.swapMedianMs   = percentile(swap, 50);
  summary.swapP99Ms      = percentile(swap, 99);
  summary.latencyJumpP99Ms = percentile(latencyJump, 99);

  summary.cpuPerSecond = (double)report.cpuNs / (double)report.windowNs;
  if (report.xvfbCpuNs >= 0)
    summary.xvfbPerSecond = (double)report.xvfbCpuNs / (double)report.windowNs;
  summary.peakMib = (double)report.maxrssKib / 1024.0;
  return true;
}

static bool markAt(const ProbeReport& report, const std::string& name, int64_t& ns)
{
  for (const auto& [mark, at] : report.marks)
    if (mark == name) {
      ns = at;
      return true;
    }
  return false;
}

bool splitStartup(const ProbeReport& report, StartupSplit& split, std::string& error)
{
  // each phase runs from the mark before it to its own mark; the first from the exec
  static const std::pair<const char*, const char*> PHASES[] = {
    {"libraries_loaded", "dynamic loading"},
    {"tables_done",      "sine tables"},
    {"video_init_begin", "sparks, message, menu"},
    {"audio_init_begin", "SDL video start"},
    {"video_mode_begin", "audio start and soundtrack"},
    {"video_mode_end",   "window and GL context"},
    {"gl_ready",         "GL state and textures"},
    {"fullscreen_end",   "full screen"},
    {"first_frame",      "first frame drawn and swapped"},
  };
  split = StartupSplit();
  int64_t previous = 0;
  for (const auto& [mark, phase] : PHASES) {
    int64_t at;
    if (!markAt(report, mark, at)) {
      error = std::string("the report has no mark ") + mark;
      return false;
    }
    if (at < previous) {
      error = std::string("the mark ") + mark + " comes before the one ahead of it";
      return false;
    }
    split.phases.emplace_back(phase, (double)(at - previous) / NS_PER_MS);
    previous = at;
  }
  split.totalMs = (double)previous / NS_PER_MS;
  return true;
}

// The value of a JSON member on a line of its own, as Google Benchmark writes them.
static bool jsonMember(const std::string& line, const std::string& key, std::string& value)
{
  const std::string quoted = "\"" + key + "\":";
  size_t at = line.find(quoted);
  if (at == std::string::npos)
    return false;
  value = line.substr(at + quoted.size());
  while (!value.empty() && (value.back() == ',' || value.back() == ' ' || value.back() == '\r'))
    value.pop_back();
  while (!value.empty() && value.front() == ' ')
    value.erase(0, 1);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return true;
}

static double nsPer(const std::string& unit)
{
  if (unit == "us")
    return 1e3;
  if (unit == "ms")
    return 1e6;
  if (unit == "s")
    return 1e9;
  return 1;
}

std::vector<BenchFigure> parseBenchmarkJson(std::istream& in)
{
  struct Entry { std::string name, runName, runType, aggregate, unit = "ns"; double cpu = -1; };
  std::vector<Entry> entries;
  std::string line, value;
  bool inBenchmarks = false;
  while (std::getline(in, line)) {
    if (line.find("\"benchmarks\":") != std::string::npos) {
      inBenchmarks = true;
      continue;
    }
    if (!inBenchmarks)
      continue;
    if (jsonMember(line, "name", value))
      entries.push_back({value, value, "", "", "ns", -1});
    else if (entries.empty())
      continue;
    else if (jsonMember(line, "run_name", value))
      entries.back().runName = value;
    else if (jsonMember(line, "run_type", value))
      entries.back().runType = value;
    else if (jsonMember(line, "aggregate_name", value))
      entries.back().aggregate = value;
    else if (jsonMember(line, "cpu_time", value))
      entries.back().cpu = std::stod(value);
    else if (jsonMember(line, "time_unit", value))
      entries.back().unit = value;
  }

  const bool aggregated = std::any_of(entries.begin(), entries.end(),
                                      [](const Entry& e) { return e.runType == "aggregate"; });
  std::vector<BenchFigure> figures;
  for (const Entry& e : entries) {
    if (e.cpu < 0 || (aggregated && e.aggregate != "median"))
      continue;
    figures.push_back({aggregated ? e.runName : e.name, e.cpu * nsPer(e.unit)});
  }
  return figures;
}

std::vector<std::pair<std::string, int64_t>> cpuByThreadName(const ProbeReport& report)
{
  std::map<std::string, int64_t> sums;
  for (const auto& [name, ns] : report.threads)
    sums[name] += ns;
  std::vector<std::pair<std::string, int64_t>> sorted(sums.begin(), sums.end());
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  return sorted;
}
