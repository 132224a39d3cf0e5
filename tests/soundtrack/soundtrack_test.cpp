// soundtrack_test.cpp -- data/soundtrack.mp3: make-soundtrack remakes it, and it is what the intro expects
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

static const std::string mp3Path = std::string(INTRO_SOURCE_DIR) + "/data/soundtrack.mp3";

// what a shell command writes to its standard output
static std::string run(const std::string& command)
{
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char   chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, p)) > 0)
      out.append(chunk, got);
    pclose(p);
  }
  return out;
}

static std::string fileBytes(const std::string& path)
{
  return run("cat '" + path + "' 2>/dev/null");
}

TEST(CommittedSoundtrack, MakeSoundtrackRegeneratesItByteForByte)
{
  char folder[] = "/tmp/make-soundtrack-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string out     = std::string(folder) + "/soundtrack.mp3";
  const std::string command = std::string("'") + MAKE_SOUNDTRACK + "' '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string fresh = fileBytes(out);
  unlink(out.c_str());
  unlink((out + ".wav").c_str());
  rmdir(folder);
  EXPECT_TRUE(fresh == fileBytes(mp3Path)) << "differs: run make-soundtrack data/soundtrack.mp3";
}

// read by the intro's own check: one chain of MPEG frames from the first byte to the last
TEST(CommittedSoundtrack, IsOneStreamOfThirtyTwoKilohertzStereoForTwoMinutes)
{
  std::string bytes = fileBytes(mp3Path);
  Mp3Stream stream;
  ASSERT_TRUE(findMp3Stream((Uint8*)&bytes[0], (int)bytes.size(), &stream));
  EXPECT_EQ(stream.size, (int)bytes.size()) << "a tag or junk around the frames";
  EXPECT_EQ(stream.sampleRate, 32000);
  EXPECT_EQ(stream.channels, 2);
  EXPECT_NEAR(stream.frames * 1152 / 32000.0, 120.0, 0.2);   // sixty-four bars at 128 BPM
}

TEST(CommittedSoundtrack, IntegratedLoudnessAndTruePeakAreWithinTheirBounds)
{
  const std::string log =
    run("ffmpeg -nostdin -hide_banner -nostats -i '" + mp3Path + "' -af ebur128=peak=true -f null - 2>&1");
  const size_t summary = log.rfind("Summary:");
  ASSERT_NE(summary, std::string::npos) << log.substr(0, 2000);
  const double lufs = std::strtod(log.c_str() + log.find("I:", summary) + 2, nullptr);
  const double peak = std::strtod(log.c_str() + log.find("Peak:", summary) + 5, nullptr);
  EXPECT_GE(lufs, -16.0);
  EXPECT_LE(lufs, -10.0);
  EXPECT_LE(peak, -1.0);   // dBTP: room for the decoder's overshoot
}

TEST(CommittedSoundtrack, LoopSeamIsQuietAndHasNoStep)
{
  // played in a loop, the last 50 ms run straight into the first 50 ms, decoder start-up included
  const std::string raw = run("ffmpeg -nostdin -v error -i '" + mp3Path + "' -f s16le -acodec pcm_s16le -");
  std::vector<int>  s(raw.size() / 2);
  for (size_t i = 0; i < s.size(); i++)
    s[i] = (int16_t)((unsigned char)raw[2 * i] | (unsigned char)raw[2 * i + 1] << 8);
  ASSERT_GT(s.size(), 32000u * 2 * 90);
  const size_t     edge = 32000 / 20 * 2;   // 50 ms of interleaved stereo
  std::vector<int> seam(s.end() - edge, s.end());
  seam.insert(seam.end(), s.begin(), s.begin() + edge);
  int loudest = 0, step = 0;
  for (size_t i = 2; i < seam.size(); i++) {
    loudest = std::max(loudest, std::abs(seam[i]));
    step    = std::max(step, std::abs(seam[i] - seam[i - 2]));   // same channel, one frame apart
  }
  EXPECT_LT(loudest, 1000) << "loud at the loop point";   // under -30 dBFS
  EXPECT_LT(step, 300) << "a click at the loop point";
}
