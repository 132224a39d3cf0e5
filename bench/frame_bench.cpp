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
  glrecordEnable(false);
}

// A whole frame: 119 primitives, the clock step and the scroll advance.
static void BM_Frame(benchmark::State& state)
{
  prepare();
  for (auto _ : state)
    drawGLScene();
  state.counters["gl_calls_per_frame"] = benchmark::Counter((double)glCallCount, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Frame);

static void BM_SpriteWave(benchmark::State& state)
{
  prepare();
  for (auto _ : state) {
    drawSprites();
    stepClock();
  }
}
BENCHMARK(BM_SpriteWave);

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
