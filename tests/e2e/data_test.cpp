// data_test.cpp -- the soundtrack reaching the audio device, and runs with missing or broken data
#include "expected.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace e2e;

namespace {

const int QUIT_MS   = 1000;    // Escape ends the intro at once

bool allClear(const Shot& shot)
{
  return shot.countNear(0, 0, shot.width, shot.height, CLEAR, TOLERANCE) == shot.width * shot.height;
}

// Runs the intro on what the test put in data/, expects it to come up and
// show only the clear colour, then quits it.
void expectClearPictureAndCleanExit(Session& s)
{
  ASSERT_TRUE(s.start(RunOptions()));
  GlView view;
  ASSERT_TRUE(s.x().waitForRunning(640, 480, START_MS, &view)) << "stderr: " << s.intro().err();
  sleepMs(300);   // a dozen frames
  Shot shot = s.x().grab(view.window);
  ASSERT_FALSE(shot.empty());
  EXPECT_TRUE(allClear(shot)) << "centre " << toString(shot.at(320, 240));
  quitWithEscape(s, QUIT_MS);
  EXPECT_EQ(MENU, s.intro().out());
  EXPECT_EQ("", s.intro().err());
}

struct Pcm {
  std::vector<int16_t> samples;   // interleaved left, right
};

Pcm readPcm(const std::string& path)
{
  std::string bytes = readFile(path);
  Pcm pcm;
  pcm.samples.resize(bytes.size() / 2);
  for (size_t i = 0; i < pcm.samples.size(); ++i)
    pcm.samples[i] = (int16_t)((uint8_t)bytes[2 * i] | ((uint8_t)bytes[2 * i + 1] << 8));
  return pcm;
}

}  // namespace

TEST(Data, WithoutSoundtrackRunsSilentlyAndPrintsNothingMore)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  expectClearPictureAndCleanExit(s);
}

TEST(Data, SoundtrackReachesTheAudioDevice)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  ASSERT_TRUE(s.data().writeSoundtrack(1.0, 440.0)) << readFile(s.dir().file("lame.log"));
  const std::string audio = s.dir().file("audio.raw");
  RunOptions options;
  options.audioDriver = "disk";
  options.env.push_back({ "SDL_DISKAUDIOFILE", audio });
  options.env.push_back({ "SDL_DISKAUDIODELAY", "20" });   // a little faster than real time
  ASSERT_TRUE(s.start(options));
  GlView view;
  ASSERT_TRUE(s.x().waitForRunning(640, 480, START_MS, &view)) << "stderr: " << s.intro().err();
  sleepMs(1500);
  quitWithEscape(s, QUIT_MS);
  EXPECT_EQ(MENU, s.intro().out());
  // SDL's disk driver announces itself; the intro adds nothing
  EXPECT_EQ("WARNING: You are using the SDL disk writer audio driver!\n Writing to file [" + audio +
                "].\n",
            s.intro().err());

  // the device was opened as 32 kHz signed 16-bit stereo: read that way,
  // the tone comes out at its own pitch on both channels
  Pcm pcm = readPcm(audio);
  ASSERT_GT(pcm.samples.size(), 2u * 32000) << "less than a second of audio";
  size_t onset = 0;
  while (onset < pcm.samples.size() && std::abs(pcm.samples[onset]) < 4000)
    ++onset;
  onset &= ~(size_t)1;   // a left sample
  const size_t frames = 16000;   // half a second
  ASSERT_LE(onset + 2 * frames, pcm.samples.size()) << "the tone never started";

  int peak = 0, crossings = 0, channelMismatch = 0;
  for (size_t f = 0; f < frames; ++f) {
    int left = pcm.samples[onset + 2 * f], right = pcm.samples[onset + 2 * f + 1];
    peak = std::max(peak, std::abs(left));
    if (std::abs(left - right) > 2000)
      ++channelMismatch;
    if (f > 0 && (pcm.samples[onset + 2 * f - 2] < 0) != (left < 0))
      ++crossings;
  }
  EXPECT_GT(peak, 8000);
  EXPECT_EQ(0, channelMismatch);
  // 440 Hz crosses zero 880 times a second
  EXPECT_NEAR(440, crossings, 25);
}

TEST(Data, WithoutDataFolderRunsAndDrawsTheClearColour)
{
  Session s;
  ASSERT_TRUE(s.ok());
  s.data().removeDataFolder();
  expectClearPictureAndCleanExit(s);
}

TEST(Data, BrokenImagesLeaveTheirLayersOutAndTheRestRuns)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  ASSERT_TRUE(s.data().writeBmp("bg.bmp", 64, 64, solid(WHITE)));
  // logo: a BMP header over a pixel array cut short
  ASSERT_TRUE(s.data().writeBmp("logo.bmp", 64, 16, solid(WHITE)));
  std::string logo = readFile(s.dir().data() + "/logo.bmp");
  ASSERT_TRUE(s.data().writeData("logo.bmp", logo.substr(0, logo.size() / 2)));
  // sprites: bytes that are no BMP at all
  std::string noise;
  srand(7);
  for (int i = 0; i < 3000; ++i)
    noise += (char)(rand() & 0xff);
  ASSERT_TRUE(s.data().writeData("bounce.bmp", "BM" + noise));
  // sparks: an empty file
  ASSERT_TRUE(s.data().writeData("spark.bmp", ""));

  ASSERT_TRUE(s.start(RunOptions()));
  GlView view;
  ASSERT_TRUE(s.x().waitForRunning(640, 480, START_MS, &view)) << "stderr: " << s.intro().err();
  sleepMs(300);
  Shot shot = s.x().grab(view.window);
  ASSERT_FALSE(shot.empty());
  // the banner came through; the broken logo adds nothing, not even untextured white
  EXPECT_TRUE(near(shot.at(320, 240), BANNER, TOLERANCE)) << toString(shot.at(320, 240));
  EXPECT_EQ(0, shot.areaNear(WHITE, 60).count);
  quitWithEscape(s, QUIT_MS);
  EXPECT_EQ(MENU, s.intro().out());
  EXPECT_EQ("", s.intro().err());
}
