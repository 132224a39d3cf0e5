// soundtrack_bench.cpp -- what the soundtrack check costs start-up on the largest file it reads (32 MiB)
#include "shell/shell.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

static const int FILE_BYTES  = 32 << 20;
static const int FRAME_BYTES = 576;                 // MPEG-1 layer III, 128 kbit/s, 32 kHz, stereo
static const Uint8 HEADER[4] = { 0xFF, 0xFB, 0x98, 0x00 };

// 32 MiB of frames with silent bodies; with damage, 50 stray bytes after every hundredth frame
static std::vector<Uint8> frames(bool damaged)
{
  std::vector<Uint8> file;
  for (int i = 0; (int)file.size() + FRAME_BYTES <= FILE_BYTES; i++) {
    file.insert(file.end(), HEADER, HEADER + 4);
    file.resize(file.size() + FRAME_BYTES - 4);
    if (damaged && i % 100 == 99)
      file.resize(file.size() + 50, '~');
  }
  return file;
}

static std::vector<Uint8> noise()
{
  std::vector<Uint8> file(FILE_BYTES);
  srand(1);
  for (Uint8& b : file)
    b = (Uint8)(rand() >> 7);
  return file;
}

// the worst garbage: every byte opens a frame header that is not one
static std::vector<Uint8> syncBytes()
{
  return std::vector<Uint8>(FILE_BYTES, 0xFF);
}

// The check gathers frames in place, so each run starts from a fresh copy (not timed).
static void BM_SoundtrackCheck(benchmark::State& state, std::vector<Uint8> (*make)())
{
  const std::vector<Uint8> file = make();
  std::vector<Uint8> bytes;
  Mp3Stream stream;
  for (auto _ : state) {
    state.PauseTiming();
    bytes = file;
    state.ResumeTiming();
    benchmark::DoNotOptimize(findMp3Stream(bytes.data(), (int)bytes.size(), &stream));
  }
}
static std::vector<Uint8> wholeFrames() { return frames(false); }
static std::vector<Uint8> damagedFrames() { return frames(true); }

BENCHMARK_CAPTURE(BM_SoundtrackCheck, whole_frames, wholeFrames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoundtrackCheck, damaged_every_100_frames, damagedFrames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoundtrackCheck, random_bytes, noise)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoundtrackCheck, sync_bytes, syncBytes)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
