// frame_bench.cpp -- what a frame, the clock and start-up cost on the CPU side (GL calls go to the stand-in)
#include "fx/fx.h"
#include "gfx/gfx.h"
#include "glrecord.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

static void prepare()
{
  init_fastmath();
  init_clock();
  init_scroller();
  srand(1);
  init_starfield();
  glrecordReset();
  glrecordEnable(false);
}

// A whole frame: 119 primitives, the clock step and the scroll advance.
static void BM_Frame(benchmark::State& state)
{
  prepare();
  for (auto _ : state)
    drawGLScene();
  state.counters["gl_calls"] = benchmark::Counter((double)glCallCount, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Frame);

// One pass at a time, the clock stepped between draws so each pass sees its motion.
static void BM_Pass(benchmark::State& state, void (*pass)())
{
  prepare();
  for (auto _ : state) {
    pass();
    stepClock();
  }
  state.counters["gl_calls"] = benchmark::Counter((double)glCallCount, benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(BM_Pass, banner, drawBanner);
BENCHMARK_CAPTURE(BM_Pass, scroller, drawScroller);
BENCHMARK_CAPTURE(BM_Pass, sprites, drawSprites);
BENCHMARK_CAPTURE(BM_Pass, logo, drawLogo);
BENCHMARK_CAPTURE(BM_Pass, sparks, drawSparks);

static void BM_ClockStep(benchmark::State& state)
{
  prepare();
  for (auto _ : state) {
    stepClock();
    benchmark::DoNotOptimize(xpos);
  }
}
BENCHMARK(BM_ClockStep);

// Start-up's table fill: 10000 sines and 10000 cosines.
static void BM_TableFill(benchmark::State& state)
{
  for (auto _ : state) {
    init_fastmath();
    benchmark::DoNotOptimize(fastsin[9999]);
  }
}
BENCHMARK(BM_TableFill);

BENCHMARK_MAIN();
