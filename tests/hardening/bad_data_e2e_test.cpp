// bad_data_e2e_test.cpp -- the real intro with each image, then the soundtrack, replaced by bad data
//
// Every case: the intro comes up, the layers whose files are fine still draw,
// the broken layer adds nothing (or, for a readable BMP of another depth, its
// picture), Escape ends it with status 0, and nothing is printed beyond the menu.
#include "bmpforge.h"
#include "expected.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

using namespace e2e;

namespace {

const int QUIT_MS   = 2000;    // Escape ends the intro at once; allow for a loaded machine

const char* const SLOTS[] = { "logo.bmp", "bounce.bmp", "spark.bmp", "font.bmp", "bg.bmp" };

enum Kind {
  ZERO_BYTES, TRUNCATED_HEADER, RANDOM_BYTES, DIRECTORY, HUGE_CLAIM, RLE8,
  DEPTH1, DEPTH4, DEPTH8, DEPTH16, DEPTH32, NON_POWER_OF_TWO,
};
const char* const KIND_NAMES[] = {
  "ZeroBytes", "TruncatedHeader", "RandomBytes", "Directory", "HugeClaim", "Rle8",
  "Depth1", "Depth4", "Depth8", "Depth16", "Depth32", "NonPowerOfTwo",
};

// Kinds that decode to a picture; every other kind leaves its layer black.
bool readable(Kind k) { return k >= DEPTH1; }

std::string str(const bmpforge::Bytes& b) { return std::string(b.begin(), b.end()); }

// Puts the bad file of the given kind in place of data/NAME.
bool writeBad(Session& s, const std::string& name, Kind kind)
{
  using namespace bmpforge;
  const std::string path = s.dir().data() + "/" + name;
  remove(path.c_str());
  switch (kind) {
  case ZERO_BYTES:       return s.data().writeData(name, "");
  case TRUNCATED_HEADER: return s.data().writeData(name, str(depth(24)).substr(0, 20));
  case RANDOM_BYTES:     return s.data().writeData(name, str(noise(4000, 99)));
  case DIRECTORY:        return mkdir(path.c_str(), 0700) == 0;
  case HUGE_CLAIM:       return s.data().writeData(name, str(claimedSize(1u << 30, 1u << 30)));
  case RLE8: {
    Layout l; l.bpp = 8; l.compression = BI_RLE8;
    return s.data().writeData(name, str(picture(l)));
  }
  case DEPTH1:           return s.data().writeData(name, str(depth(1)));
  case DEPTH4:           return s.data().writeData(name, str(depth(4)));
  case DEPTH8:           return s.data().writeData(name, str(depth(8)));
  case DEPTH16:          return s.data().writeData(name, str(depth(16)));
  case DEPTH32:          return s.data().writeData(name, str(depth(32)));
  case NON_POWER_OF_TWO: return s.data().writeData(name, str(plain24(100, 37, { 0xF8, 0x08, 0x40 })));
  }
  return false;
}

int countNear(const Shot& shot, Rgb c) { return shot.countNear(0, 0, shot.width, shot.height, c, TOLERANCE); }

// Starts the intro on the session's data, grabs a picture after a few frames,
// quits with Escape and checks the exit and the console.
Shot runAndQuit(Session& s)
{
  Shot shot;
  EXPECT_TRUE(s.start(RunOptions()));
  GlView view;
  if (!s.x().waitForRunning(640, 480, START_MS, &view)) {
    ADD_FAILURE() << "no running picture; stderr: " << s.intro().err();
    return shot;
  }
  sleepMs(300);   // a dozen frames
  shot = s.x().grab(view.window);
  EXPECT_FALSE(shot.empty());

  s.x().pressKey("Escape");
  ExitStatus st;
  EXPECT_TRUE(s.intro().waitExit(QUIT_MS, &st)) << "still running after Escape";
  EXPECT_TRUE(st.exited) << toString(st);
  EXPECT_EQ(0, st.code);
  EXPECT_EQ(MENU, s.intro().out());
  EXPECT_EQ("", s.intro().err());
  return shot;
}

}  // namespace

//
// images: each slot in turn holds each kind of bad file; the banner (or, when
// the banner's own file is the bad one, the logo) is white and everything else black
//
class BadImage : public ::testing::TestWithParam<std::tuple<int, Kind>> {};

std::string imageCaseName(const ::testing::TestParamInfo<std::tuple<int, Kind>>& info)
{
  std::string slot = SLOTS[std::get<0>(info.param)];
  return slot.substr(0, slot.size() - 4) + "_" + KIND_NAMES[std::get<1>(info.param)];
}

TEST_P(BadImage, NoCrashNoHangOtherLayersDrawEscapeEndsCleanly)
{
  const int slot = std::get<0>(GetParam());
  const Kind kind = std::get<1>(GetParam());
  const std::string name = SLOTS[slot];
  const bool bannerBroken = name == "bg.bmp";

  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  ASSERT_TRUE(s.data().writeBmp(bannerBroken ? "logo.bmp" : "bg.bmp", 64, 64, solid(WHITE)));
  ASSERT_TRUE(writeBad(s, name, kind));

  Shot shot = runAndQuit(s);
  ASSERT_FALSE(shot.empty());
  const int all = shot.width * shot.height;

  if (bannerBroken) {
    // the logo still draws: its white body sits in the upper middle
    Shot::Area logo = shot.areaNear(WHITE, 8);
    EXPECT_GT(logo.count, 2000);
    EXPECT_GT(logo.centreY, 0.15 * shot.height);
    EXPECT_LT(logo.centreY, 0.40 * shot.height);
    if (!readable(kind)) {
      // nothing but the logo draws: the lower part of the picture, below the
      // logo and its echoes, shows the clear colour alone
      const int top = shot.height * 6 / 10, rows = shot.height - top;
      EXPECT_EQ(shot.width * rows, shot.countNear(0, top, shot.width, rows, CLEAR, TOLERANCE))
          << "a broken banner drew something";
    }
    return;
  }

  // the banner still draws over most of the picture
  const int banner = countNear(shot, BANNER), clear = countNear(shot, CLEAR);
  EXPECT_GT(banner, all / 2);
  if (!readable(kind)) {
    // the broken layer adds nothing: only the banner and the clear margins are seen
    EXPECT_EQ(all, banner + clear) << "pixels that are neither banner nor clear colour: "
                                   << all - banner - clear;
  } else if (name == "logo.bmp" || name == "bounce.bmp") {
    // a readable picture of another depth shows: something besides banner and margins
    EXPECT_GT(all - banner - clear, 500);
  }
}

INSTANTIATE_TEST_SUITE_P(EverySlotEveryKind, BadImage,
    ::testing::Combine(::testing::Range(0, 5),
                       ::testing::Values(ZERO_BYTES, TRUNCATED_HEADER, RANDOM_BYTES, DIRECTORY, HUGE_CLAIM,
                                         RLE8, DEPTH1, DEPTH4, DEPTH8, DEPTH16, DEPTH32, NON_POWER_OF_TWO)),
    imageCaseName);

//
// the soundtrack
//
enum SoundKind { EMPTY_MP3, RANDOM_MP3, WAV_AS_MP3, TRUNCATED_MP3, GLUED_RATES, RANDOM_100K_A, RANDOM_100K_B, RANDOM_100K_C };

class BadSoundtrack : public ::testing::TestWithParam<SoundKind> {};

std::string soundCaseName(const ::testing::TestParamInfo<SoundKind>& info)
{
  const char* const names[] = { "Empty", "RandomBytes", "WavRenamed", "Truncated", "GluedRates", "Random100kA",
                                "Random100kB", "Random100kC" };
  return names[info.param];
}

TEST_P(BadSoundtrack, RunsSilentlyWithEveryLayerAndEscapeEndsCleanly)
{
  Session s;
  ASSERT_TRUE(s.ok());
  ASSERT_TRUE(s.writeAllImages({ 0, 0, 0 }));
  ASSERT_TRUE(s.data().writeBmp("bg.bmp", 64, 64, solid(WHITE)));
  switch (GetParam()) {
  case EMPTY_MP3:
    ASSERT_TRUE(s.data().writeData("soundtrack.mp3", ""));
    break;
  case RANDOM_MP3:
    ASSERT_TRUE(s.data().writeData("soundtrack.mp3", str(bmpforge::noise(20000, 5))));
    break;
  case WAV_AS_MP3: {
    const std::string wav = s.dir().file("tone.wav");
    ASSERT_TRUE(writeSineWav(wav, 1.0, 440, 32000, 2));
    ASSERT_TRUE(s.data().writeData("soundtrack.mp3", readFile(wav)));
    break;
  }
  case TRUNCATED_MP3: {
    ASSERT_TRUE(s.data().writeSoundtrack(2.0, 440));
    std::string mp3 = readFile(s.dir().data() + "/soundtrack.mp3");
    ASSERT_GT(mp3.size(), 2000u);
    ASSERT_TRUE(s.data().writeData("soundtrack.mp3", mp3.substr(0, mp3.size() / 3 + 17)));
    break;
  }
  case GLUED_RATES:   // 22050 Hz mono then 44100 Hz stereo: the mixer's decoder overran its buffer on it
    ASSERT_TRUE(s.data().writeData("soundtrack.mp3", readFile(CORPUS_MP3_DIR "/glued_rates.mp3")));
    break;
  case RANDOM_100K_A:
  case RANDOM_100K_B:
  case RANDOM_100K_C:
    ASSERT_TRUE(s.data().writeData("soundtrack.mp3", str(bmpforge::noise(100000, 40 + GetParam()))));
    break;
  }
  Shot shot = runAndQuit(s);
  ASSERT_FALSE(shot.empty());
  const int all = shot.width * shot.height;
  EXPECT_GT(countNear(shot, BANNER), all / 2);
  EXPECT_EQ(all, countNear(shot, BANNER) + countNear(shot, CLEAR));
}

INSTANTIATE_TEST_SUITE_P(EveryKind, BadSoundtrack,
    ::testing::Values(EMPTY_MP3, RANDOM_MP3, WAV_AS_MP3, TRUNCATED_MP3, GLUED_RATES, RANDOM_100K_A,
                      RANDOM_100K_B, RANDOM_100K_C),
    soundCaseName);
