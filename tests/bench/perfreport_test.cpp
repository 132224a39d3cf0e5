// perfreport_test.cpp -- the performance page written from a folder of results
#include "reportfixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string slurp(const std::string& path)
{
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void put(const std::string& path, const std::string& text)
{
  std::ofstream(path) << text;
}

std::string frameJson(double frameNs)
{
  std::ostringstream json;
  json << "{\n  \"benchmarks\": [\n    {\n      \"name\": \"BM_Frame_median\",\n      \"run_name\": \"BM_Frame\",\n"
       << "      \"run_type\": \"aggregate\",\n      \"aggregate_name\": \"median\",\n      \"cpu_time\": " << frameNs
       << ",\n      \"time_unit\": \"ns\"\n    }\n  ]\n}\n";
  return json.str();
}

// A results folder as tools/bench.sh leaves it, every figure on target unless a test changes it.
class ResultsDir : public testing::Test {
protected:
  void SetUp() override
  {
    char pattern[] = "/tmp/perfreport-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    put(dir + "/machine.txt", "CPU: Test Processor\nCores: 2\nMemory: 24.0 GiB\n");
    put(dir + "/commands.txt", "tools/bench.sh\n");
    put(dir + "/frame.json", frameJson(1800));
    put(dir + "/sizes.txt", "intro_stripped_bytes 27296\ndata_bytes 3742926\n");
    const char* sizes[] = {"320x240", "640x480", "1024x768"};
    for (int answer = 1; answer <= 3; answer++)
      put(dir + "/run-" + std::to_string(answer) + ".txt", fixture::report(sizes[answer - 1], fixture::steadyGaps(200)));
    for (double ms : {90.0, 100.0, 400.0})
      put(dir + "/startup-" + std::to_string((int)ms) + ".txt", fixture::report("640x480", fixture::steadyGaps(5), ms));
  }

  void TearDown() override
  {
    std::string command = "rm -rf '" + dir + "'";
    (void)system(command.c_str());
  }

  // Runs the reporter; returns its exit status and leaves the page in page, its stderr in err.
  int report()
  {
    const std::string out = dir + "/PERFORMANCE.md", errPath = dir + "/stderr";
    unlink(out.c_str());
    std::string command = std::string(PERFREPORT_PATH) + " '" + dir + "' '" + out + "' 2>'" + errPath + "'";
    int status = system(command.c_str());
    page = slurp(out);
    err = slurp(errPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The table row whose first cell is label.
  std::string rowOf(const std::string& label)
  {
    size_t at = page.find("| " + label + " |");
    return at == std::string::npos ? "" : page.substr(at, page.find('\n', at) - at);
  }

  std::string dir, page, err;
};

TEST_F(ResultsDir, EverythingOnTargetSaysSo)
{
  ASSERT_EQ(report(), 0) << err;
  EXPECT_EQ(rowOf("Frames per second"),
            "| Frames per second | at least 46 | 47.62 (100.0 % of the limit), met | 47.62 (100.0 % of the limit), met "
            "| 47.62 (100.0 % of the limit), met |");
  EXPECT_NE(rowOf("99th-percentile interval").find("21.00 ms, met"), std::string::npos);
  EXPECT_NE(rowOf("`BM_Frame`").find("1.800 µs | under 20 µs, met"), std::string::npos) << rowOf("`BM_Frame`");
  EXPECT_NE(page.find("## Targets missed\n\nNone in this run."), std::string::npos);
  EXPECT_EQ(page.find("**missed**"), std::string::npos);
  EXPECT_EQ(rowOf("CPU"), "| CPU | Test Processor |");
  EXPECT_EQ(rowOf("Cores"), "| Cores | 2 |");
  EXPECT_NE(rowOf("The intro, stripped").find("27296"), std::string::npos);
  EXPECT_NE(page.find("No profile"), std::string::npos);
}

TEST_F(ResultsDir, StartUpIsTheMedianOfItsRuns)
{
  ASSERT_EQ(report(), 0) << err;
  EXPECT_EQ(rowOf("Start-up, median"), "| Start-up, median | under 300 ms | 100.0 ms, met |");
  EXPECT_EQ(rowOf("Fastest and slowest run"), "| Fastest and slowest run | | 90.0 ms, 400.0 ms |");
  EXPECT_EQ(rowOf("dynamic loading"), "| dynamic loading | 2.0 ms |");

  for (double ms : {350.0, 380.0})
    put(dir + "/startup-" + std::to_string((int)ms) + ".txt", fixture::report("640x480", fixture::steadyGaps(5), ms));
  ASSERT_EQ(report(), 0) << err;
  EXPECT_EQ(rowOf("Start-up, median"), "| Start-up, median | under 300 ms | 350.0 ms, **missed** |");
  EXPECT_NE(page.find("Start-up takes 350.0 ms; the longest step is first frame drawn and swapped"), std::string::npos);
}

TEST_F(ResultsDir, LateFramesAreAMissWithTheirCauseAndTheWhatIf)
{
  std::vector<double> gaps = fixture::steadyGaps(200);
  for (int i = 0; i < 200; i += 40)
    gaps[i] = 30;
  put(dir + "/run-3.txt", fixture::report("1024x768", gaps));
  put(dir + "/whatif-3.txt", fixture::report("1024x768", fixture::steadyGaps(200, 22)));
  put(dir + "/whatif-3.label", "LP_NUM_THREADS=4\n");
  ASSERT_EQ(report(), 0) << err;

  EXPECT_EQ(rowOf("99th-percentile interval"),
            "| 99th-percentile interval | at most 25 ms | 21.00 ms, met | 21.00 ms, met | 30.00 ms, **missed** |");
  EXPECT_NE(rowOf("Frames later than 25 ms").find("| 2.50 % |"), std::string::npos) << rowOf("Frames later than 25 ms");
  EXPECT_NE(page.find("- 1024x768: 99th-percentile interval 30.00 ms."), std::string::npos);
  EXPECT_NE(page.find("kept 0.43 of the 2 cores busy"), std::string::npos);
  EXPECT_NE(page.find("With `LP_NUM_THREADS=4` the 99th percentile was 22.00 ms, met."), std::string::npos);
  EXPECT_NE(rowOf("`LP_NUM_THREADS=4`").find("| 1024x768 | 45.45 |"), std::string::npos) << rowOf("`LP_NUM_THREADS=4`");
}

TEST_F(ResultsDir, SlowFramesAndASlowFrameRoutineAreMisses)
{
  put(dir + "/run-1.txt", fixture::report("320x240", fixture::steadyGaps(200, 24)));
  put(dir + "/frame.json", frameJson(20000));
  ASSERT_EQ(report(), 0) << err;
  EXPECT_NE(rowOf("Frames per second").find("41.67 (87.5 % of the limit), **missed**"), std::string::npos);
  EXPECT_NE(rowOf("Median interval").find("24.00 ms, **missed**"), std::string::npos);
  EXPECT_NE(rowOf("`BM_Frame`").find("20.000 µs | under 20 µs, **missed**"), std::string::npos);
  EXPECT_NE(page.find("- 320x240: 41.67 frames per second."), std::string::npos);
}

TEST_F(ResultsDir, BrokenResultsStopTheReporterWithoutAPage)
{
  std::string cut = fixture::report("640x480", fixture::steadyGaps(200));
  put(dir + "/run-2.txt", cut.substr(0, cut.size() / 2));
  EXPECT_EQ(report(), 1);
  EXPECT_NE(err.find("run-2.txt"), std::string::npos) << err;
  EXPECT_TRUE(page.empty());

  put(dir + "/run-2.txt", cut);
  put(dir + "/startup-90.txt", fixture::report("320x240", fixture::steadyGaps(5), 90));
  EXPECT_EQ(report(), 1);
  EXPECT_NE(err.find("startup-90.txt: ran at 320x240"), std::string::npos) << err;

  put(dir + "/startup-90.txt", fixture::report("640x480", fixture::steadyGaps(5), 90));
  unlink((dir + "/frame.json").c_str());
  EXPECT_EQ(report(), 1);
  EXPECT_NE(err.find("frame.json"), std::string::npos) << err;
}

} // namespace
