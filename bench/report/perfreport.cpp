// perfreport.cpp -- perfreport DIR OUT.md: writes the performance page from what tools/bench.sh
// left in DIR:
//   machine.txt        "key: value" lines describing the machine, shown as they stand
//   commands.txt       the commands the run used, shown as they stand
//   frame.json         the frame benchmark's JSON output
//   run-<answer>.txt   probe report of a 20 s run at that menu answer (1, 2, 3)
//   whatif-*.txt       probe reports of runs with one setting changed; first line of
//                      whatif-*.label names the change
//   startup-<n>.txt    probe reports of short runs at 640x480, for the start-up figures
//   sizes.txt          "intro_stripped_bytes N" and "data_bytes N"
//   profile.txt        a system-wide profile by thread and library during the largest run
#include "perfstats.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>

static const char* const MENU_ANSWERS[] = {"1", "2", "3"};
static const char* const STARTUP_SIZE   = "640x480";

struct Run {
  std::string file;
  std::string setting;   // the renderer setting a what-if run changed, empty otherwise
  ProbeReport report;
  RunSummary summary;
};

[[noreturn]] static void fail(const std::string& why)
{
  std::cerr << "perfreport: " << why << "\n";
  exit(1);
}

static std::string readText(const std::string& path, bool required)
{
  std::ifstream in(path);
  if (!in && required)
    fail("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

static std::vector<std::string> filesStarting(const std::string& dir, const std::string& prefix,
                                              const std::string& suffix)
{
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.rfind(prefix, 0) == 0 && name.size() > suffix.size() &&
          name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

static Run loadRun(const std::string& dir, const std::string& name)
{
  Run run;
  run.file = name;
  std::ifstream in(dir + "/" + name);
  std::string error;
  if (!in || !parseProbeReport(in, run.report, error) || !summarizeRun(run.report, run.summary, error))
    fail(name + ": " + (error.empty() ? "cannot be read" : error));
  return run;
}

static std::string fixed(double value, int decimals)
{
  std::ostringstream text;
  text << std::fixed << std::setprecision(decimals) << value;
  return text.str();
}

static std::string verdict(bool met)
{
  return met ? "met" : "**missed**";
}

static std::string sizeOf(const ProbeReport& r)
{
  return std::to_string(r.width) + "x" + std::to_string(r.height);
}

// One table row: a label, the target, then one cell per run.
template <typename Cell>
static void row(std::ostream& out, const std::string& label, const std::string& target,
                const std::vector<Run>& runs, Cell cell)
{
  out << "| " << label << " | " << target << " |";
  for (const Run& run : runs)
    out << " " << cell(run.summary) << " |";
  out << "\n";
}

using Machine = std::vector<std::pair<std::string, std::string>>;   // key and value, in file order

static Machine readMachine(const std::string& dir)
{
  Machine machine;
  std::istringstream lines(readText(dir + "/machine.txt", true));
  std::string line;
  while (std::getline(lines, line)) {
    size_t colon = line.find(':');
    if (colon == std::string::npos)
      continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    machine.emplace_back(line.substr(0, colon), value);
  }
  return machine;
}

// The machine's "Cores" entry; 0 when it is missing.
static int machineCores(const Machine& machine)
{
  for (const auto& [key, value] : machine)
    if (key == "Cores")
      return atoi(value.c_str());
  return 0;
}

static void writeMachine(std::ostream& out, const Machine& machine)
{
  out << "## Machine\n\n| | |\n|---|---|\n";
  for (const auto& [key, value] : machine)
    out << "| " << key << " | " << value << " |\n";
  out << "\n";
}

static void writeRuns(std::ostream& out, const std::vector<Run>& runs)
{
  out << "## The real intro at each menu resolution\n\n"
         "Each run lasts " << fixed((double)runs[0].report.windowNs / 1e9, 0) << " s from its first frame, on Xvfb with Mesa's software renderer, the soundtrack decoding through SDL's dummy audio driver. "
         "The limit is one frame per " << fixed(FRAME_GAP_MS, 0) << " ms, " << fixed(FPS_LIMIT, 1)
      << " frames per second. Intervals are between returns from the buffer swap, "
         "as the picture is presented.\n\n";
  out << "| Figure | Target |";
  for (const Run& run : runs)
    out << " " << sizeOf(run.report) << " |";
  out << "\n|---|---|";
  for (size_t i = 0; i < runs.size(); i++)
    out << "---|";
  out << "\n";
  row(out, "Frames per second", "at least " + fixed(FPS_TARGET, 0), runs, [](const RunSummary& s) {
    return fixed(s.fps, 2) + " (" + fixed(100 * s.fps / FPS_LIMIT, 1) + " % of the limit), " +
           verdict(s.fps >= FPS_TARGET);
  });
  row(out, "Median interval", fixed(MEDIAN_TARGET_MIN_MS, 0) + " to " + fixed(MEDIAN_TARGET_MAX_MS, 0) + " ms",
      runs, [](const RunSummary& s) {
        return fixed(s.medianMs, 2) + " ms, " +
               verdict(s.medianMs >= MEDIAN_TARGET_MIN_MS && s.medianMs <= MEDIAN_TARGET_MAX_MS);
      });
  row(out, "99th-percentile interval", "at most " + fixed(P99_TARGET_MS, 0) + " ms", runs,
      [](const RunSummary& s) { return fixed(s.p99Ms, 2) + " ms, " + verdict(s.p99Ms <= P99_TARGET_MS); });
  row(out, "Longest interval", "", runs, [](const RunSummary& s) { return fixed(s.maxMs, 2) + " ms"; });
  row(out, "Frames later than " + fixed(LATE_FRAME_MS, 0) + " ms", "", runs,
      [](const RunSummary& s) { return fixed(100 * s.lateShare, 2) + " %"; });
  row(out, "Frames presented", "", runs, [](const RunSummary& s) { return std::to_string(s.frames); });
  row(out, "CPU of the intro per second", "", runs,
      [](const RunSummary& s) { return fixed(s.cpuPerSecond, 3) + " s"; });
  row(out, "CPU of Xvfb per second", "", runs, [](const RunSummary& s) {
    return s.xvfbPerSecond < 0 ? std::string("not measured") : fixed(s.xvfbPerSecond, 3) + " s";
  });
  row(out, "Peak resident memory", "", runs, [](const RunSummary& s) { return fixed(s.peakMib, 1) + " MiB"; });
  out << "\nThe intro's CPU counts all its threads: ours (main), Mesa's rasterisers (llvmpipe-N) and SDL's "
         "audio thread, which decodes the MP3 (named intro, like Mesa's idle helper threads). Both CPU figures "
         "are over the run from its first frame, except that Xvfb's is read before start-up and after exit, "
         "so it is a little high.\n\n";
}

static void writeWhereTimeGoes(std::ostream& out, const std::vector<Run>& runs)
{
  out << "### Where a frame's time goes\n\n"
         "A frame starts at the pacing test's tick reading; *draw* is from there to the buffer swap "
         "(our GL calls, queued by Mesa), *swap* is inside SDL_GL_SwapBuffers (llvmpipe rasterises the "
         "queued frame, then the picture is copied to the X server).\n\n"
         "A presented interval is the start-to-start gap plus the growth of the frame's latency (start to "
         "presentation) over the frame before it; the last column but one is the 99th percentile of that growth.\n\n"
         "| | Start-to-start median | Start-to-start p99 | Draw median | Swap median | Swap p99 | Latency growth p99 | CPU by thread over the run |\n"
         "|---|---|---|---|---|---|---|---|\n";
  for (const Run& run : runs) {
    const RunSummary& s = run.summary;
    std::string threads;
    for (const auto& [name, ns] : cpuByThreadName(run.report))
      if (ns > 0)
        threads += (threads.empty() ? "" : ", ") + name + " " + fixed((double)ns / 1e9, 2) + " s";
    out << "| " << sizeOf(run.report) << " | " << fixed(s.pacingMedianMs, 2) << " ms | "
        << fixed(s.pacingP99Ms, 2) << " ms | " << fixed(s.drawMedianMs, 2) << " ms | "
        << fixed(s.swapMedianMs, 2) << " ms | " << fixed(s.swapP99Ms, 2) << " ms | "
        << fixed(s.latencyJumpP99Ms, 2) << " ms | " << threads << " |\n";
  }
  out << "\n";
}

static std::vector<Run> loadWhatIfs(const std::string& dir)
{
  std::vector<Run> runs;
  for (const std::string& name : filesStarting(dir, "whatif-", ".txt")) {
    Run run = loadRun(dir, name);
    std::string label = readText(dir + "/" + name.substr(0, name.size() - 4) + ".label", true);
    run.setting = label.substr(0, label.find('\n'));
    runs.push_back(run);
  }
  return runs;
}

static void writeWhatIfs(std::ostream& out, const std::vector<Run>& whatIfs)
{
  if (whatIfs.empty())
    return;
  out << "### The same runs with one setting of the renderer changed\n\n"
         "| Setting | Size | Frames per second | Median interval | 99th percentile | Later than "
      << fixed(LATE_FRAME_MS, 0) << " ms | Swap median | Swap p99 | CPU per second |\n"
      << "|---|---|---|---|---|---|---|---|---|\n";
  for (const Run& run : whatIfs) {
    const RunSummary& s = run.summary;
    out << "| `" << run.setting << "` | " << sizeOf(run.report) << " | " << fixed(s.fps, 2) << " | "
        << fixed(s.medianMs, 2) << " ms | " << fixed(s.p99Ms, 2) << " ms | " << fixed(100 * s.lateShare, 2)
        << " % | " << fixed(s.swapMedianMs, 2) << " ms | " << fixed(s.swapP99Ms, 2) << " ms | "
        << fixed(s.cpuPerSecond, 3) << " s |\n";
  }
  out << "\n";
}

static double frameCpuUs(const std::vector<BenchFigure>& figures)
{
  for (const BenchFigure& f : figures)
    if (f.name == "BM_Frame")
      return f.cpuNs / 1000.0;
  fail("frame.json has no BM_Frame figure");
}

static void writeFrameCpu(std::ostream& out, const std::vector<BenchFigure>& figures)
{
  out << "## CPU cost of our own code\n\n"
         "Google Benchmark, the effects linked against the recording GL stand-in with recording "
         "switched off, so the figures are our code alone: the median of five repetitions.\n\n"
         "| Benchmark | CPU time | Target |\n|---|---|---|\n";
  for (const BenchFigure& f : figures) {
    std::string target;
    if (f.name == "BM_Frame")
      target = "under " + fixed(FRAME_CPU_TARGET_US, 0) + " µs, " + verdict(f.cpuNs / 1000.0 < FRAME_CPU_TARGET_US);
    out << "| `" << f.name << "` | " << fixed(f.cpuNs / 1000.0, 3) << " µs | " << target << " |\n";
  }
  out << "\n";
}

struct Startup {
  int runs = 0;
  double medianMs = 0, minMs = 0, maxMs = 0;
  std::vector<std::pair<std::string, double>> phases;   // median of each phase
};

static Startup measureStartup(const std::string& dir)
{
  std::vector<StartupSplit> splits;
  for (const std::string& name : filesStarting(dir, "startup-", ".txt")) {
    std::ifstream in(dir + "/" + name);
    ProbeReport report;
    StartupSplit split;
    std::string error;
    if (!parseProbeReport(in, report, error) || !splitStartup(report, split, error))
      fail(name + ": " + error);
    if (sizeOf(report) != STARTUP_SIZE)
      fail(name + ": ran at " + sizeOf(report) + ", not " + STARTUP_SIZE);
    splits.push_back(split);
  }
  if (splits.empty())
    fail("no startup-*.txt reports");
  Startup s;
  s.runs = (int)splits.size();
  std::vector<double> totals;
  for (const StartupSplit& split : splits)
    totals.push_back(split.totalMs);
  s.medianMs = percentile(totals, 50);
  s.minMs    = *std::min_element(totals.begin(), totals.end());
  s.maxMs    = *std::max_element(totals.begin(), totals.end());
  for (size_t i = 0; i < splits[0].phases.size(); i++) {
    std::vector<double> lengths;
    for (const StartupSplit& split : splits)
      lengths.push_back(split.phases[i].second);
    s.phases.emplace_back(splits[0].phases[i].first, percentile(lengths, 50));
  }
  return s;
}

static void writeStartup(std::ostream& out, const Startup& s)
{
  out << "## Start-up\n\nFrom the exec of the intro, with the menu answered at once, to the return of the "
         "first buffer swap, at " << STARTUP_SIZE << ": " << s.runs << " runs.\n\n"
      << "| Figure | Target | Measured |\n|---|---|---|\n"
      << "| Start-up, median | under " << fixed(STARTUP_TARGET_MS, 0) << " ms | " << fixed(s.medianMs, 1)
      << " ms, " << verdict(s.medianMs < STARTUP_TARGET_MS) << " |\n"
      << "| Fastest and slowest run | | " << fixed(s.minMs, 1) << " ms, " << fixed(s.maxMs, 1) << " ms |\n\n"
      << "How it splits (median of each step; the steps follow one another):\n\n"
      << "| Step | Median |\n|---|---|\n";
  for (const auto& [phase, ms] : s.phases)
    out << "| " << phase << " | " << fixed(ms, 1) << " ms |\n";
  out << "\n";
}

static void writeSizes(std::ostream& out, const std::string& dir)
{
  std::map<std::string, long long> sizes;
  std::istringstream lines(readText(dir + "/sizes.txt", true));
  std::string key;
  long long bytes;
  while (lines >> key >> bytes)
    sizes[key] = bytes;
  if (!sizes.count("intro_stripped_bytes") || !sizes.count("data_bytes"))
    fail("sizes.txt lacks intro_stripped_bytes or data_bytes");
  out << "## Size\n\n| | Bytes |\n|---|---|\n"
      << "| The intro, stripped | " << sizes["intro_stripped_bytes"] << " |\n"
      << "| `data/` (five images and the soundtrack) | " << sizes["data_bytes"] << " |\n\n";
}

// What each missed target comes from, in the measured figures' own terms.
static std::string whatIfNote(const std::vector<Run>& whatIfs, const std::string& size)
{
  std::string note;
  for (const Run& run : whatIfs)
    if (sizeOf(run.report) == size)
      note += " With `" + run.setting + "` the 99th percentile was " + fixed(run.summary.p99Ms, 2) + " ms, " +
              verdict(run.summary.p99Ms <= P99_TARGET_MS) + ".";
  return note;
}

static void writeMisses(std::ostream& out, const std::vector<Run>& runs, const std::vector<Run>& whatIfs,
                        double frameUs, const Startup& startup, int cores)
{
  std::vector<std::string> notes;
  for (const Run& run : runs) {
    const RunSummary& s = run.summary;
    const std::string size = sizeOf(run.report);
    if (s.fps < FPS_TARGET)
      notes.push_back(size + ": " + fixed(s.fps, 2) + " frames per second. The swap takes " +
                      fixed(s.swapMedianMs, 2) + " ms at the median, so draw and swap together pass the " +
                      fixed(FRAME_GAP_MS, 0) + " ms gap and the pacing waits on the renderer.");
    if (s.medianMs < MEDIAN_TARGET_MIN_MS)
      notes.push_back(size + ": median interval " + fixed(s.medianMs, 2) +
                      " ms, under 21 ms. The pacing counts whole ticks of SDL's millisecond counter, and a "
                      "tick reading lies up to 1 ms behind the real time, so a gap of 21 ticks lasts from "
                      "just over 20 ms to 22 ms of real time; the start-to-start median was " +
                      fixed(s.pacingMedianMs, 2) + " ms. This is the counter's resolution, not lost time.");
    if (s.medianMs > MEDIAN_TARGET_MAX_MS)
      notes.push_back(size + ": median interval " + fixed(s.medianMs, 2) + " ms, over 22 ms: frames wait on the "
                      "renderer (swap median " + fixed(s.swapMedianMs, 2) + " ms).");
    if (s.p99Ms > P99_TARGET_MS) {
      std::string note = size + ": 99th-percentile interval " + fixed(s.p99Ms, 2) + " ms. The pacing holds (start-to-start p99 " +
                         fixed(s.pacingP99Ms, 2) + " ms); the rest is a frame's latency growing over the one before, by " +
                         fixed(s.latencyJumpP99Ms, 2) + " ms at the 99th percentile, and the latency is nearly all swap "
                         "(median " + fixed(s.swapMedianMs, 2) + " ms, p99 " + fixed(s.swapP99Ms, 2) + " ms).";
      if (s.xvfbPerSecond >= 0 && cores > 0)
        note += " The intro and Xvfb kept " + fixed(s.cpuPerSecond + s.xvfbPerSecond, 2) + " of the " +
                std::to_string(cores) + " cores busy, so the swap waits on the rasteriser threads, not for CPU.";
      notes.push_back(note + whatIfNote(whatIfs, size));
    }
  }
  if (frameUs >= FRAME_CPU_TARGET_US)
    notes.push_back("The frame costs " + fixed(frameUs, 2) + " µs of our CPU; the per-pass rows show which pass.");
  if (startup.medianMs >= STARTUP_TARGET_MS) {
    auto longest = std::max_element(startup.phases.begin(), startup.phases.end(),
                                    [](const auto& a, const auto& b) { return a.second < b.second; });
    notes.push_back("Start-up takes " + fixed(startup.medianMs, 1) + " ms; the longest step is " + longest->first +
                    " at " + fixed(longest->second, 1) + " ms.");
  }
  out << "## Targets missed\n\n";
  if (notes.empty())
    out << "None in this run.\n\n";
  for (const std::string& note : notes)
    out << "- " << note << "\n";
  if (!notes.empty())
    out << "\n";
}

int main(int argc, char* argv[])
{
  if (argc != 3)
    fail("usage: perfreport DIR OUT.md");
  const std::string dir = argv[1];

  std::vector<Run> runs;
  for (const char* answer : MENU_ANSWERS)
    runs.push_back(loadRun(dir, std::string("run-") + answer + ".txt"));
  std::istringstream json(readText(dir + "/frame.json", true));
  const std::vector<BenchFigure> figures = parseBenchmarkJson(json);
  const double frameUs = frameCpuUs(figures);
  const Startup startup = measureStartup(dir);
  const std::vector<Run> whatIfs = loadWhatIfs(dir);
  const Machine machine = readMachine(dir);

  std::ostringstream page;
  page << "# Performance\n\nWritten by `tools/bench.sh`, which runs everything below and rewrites this page. "
          "Renderer: " << runs[0].report.renderer << ", OpenGL " << runs[0].report.glVersion << ".\n\n";
  writeMachine(page, machine);
  writeRuns(page, runs);
  writeWhereTimeGoes(page, runs);
  writeWhatIfs(page, whatIfs);
  writeFrameCpu(page, figures);
  writeStartup(page, startup);
  writeSizes(page, dir);
  writeMisses(page, runs, whatIfs, frameUs, startup, machineCores(machine));

  const std::string profile = readText(dir + "/profile.txt", false);
  page << "## Profile\n\n";
  if (profile.empty())
    page << "No profile: `perf` was not available.\n\n";
  else
    page << "Samples of the whole machine during a 1024x768 run, by thread and by library: `swapper` is the "
            "idle kernel, `[JIT]` is llvmpipe's compiled shaders, `swrast_dri.so` the rest of Mesa:\n\n```\n" << profile << (profile.back() == '\n' ? "" : "\n") << "```\n\n";

  page << "## Commands\n\n```\n" << readText(dir + "/commands.txt", true) << "```\n";

  std::ofstream out(argv[2]);
  out << page.str();
  if (!out)
    fail(std::string("cannot write ") + argv[2]);
  return 0;
}
