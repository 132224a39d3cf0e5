// capture_test.cpp -- captures of the real intro: frame count, size, audio, determinism, frame 0, the release
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Rgb { unsigned char r, g, b; };
bool operator==(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
std::ostream& operator<<(std::ostream& out, const Rgb& c)
{
  return out << "(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}

// The GL clear colour (0.1, 0.5, 0.7) in bytes. 0.7 as a float is 0.69999999, so 255 times it is
// 178.49999: Mesa stores 178 where exact arithmetic would round 178.5 up to 179.
const Rgb CLEAR_COLOUR       = { 26, 128, 179 };
const Rgb CLEAR_COLOUR_FLOAT = { 26, 128, 178 };
const Rgb BLACK        = { 0, 0, 0 };
const Rgb WHITE        = { 255, 255, 255 };

bool isClearColour(const Rgb& c) { return c == CLEAR_COLOUR || c == CLEAR_COLOUR_FLOAT; }

std::string quote(const std::string& text) { return "'" + text + "'"; }

struct Outcome { int status; std::string output; };

Outcome run(const std::string& command)
{
  Outcome result { -1, "" };
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe)
    return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.output.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool isFile(const std::string& path) { struct stat s; return stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode); }
bool isExecutable(const std::string& path) { return isFile(path) && access(path.c_str(), X_OK) == 0; }

// An uncompressed 24-bit BMP, bottom row first, rows padded to four bytes.
void writeBmp(const std::string& path, int width, int height, const std::function<Rgb(int, int)>& pixel)
{
  const int row = (width * 3 + 3) / 4 * 4;
  const int size = 54 + row * height;
  std::vector<unsigned char> bytes(size, 0);
  auto le32 = [&](int at, unsigned value) {
    for (int i = 0; i < 4; i++) bytes[at + i] = (value >> (8 * i)) & 0xFF;
  };
  bytes[0] = 'B'; bytes[1] = 'M';
  le32(2, size); le32(10, 54); le32(14, 40); le32(18, width); le32(22, height);
  bytes[26] = 1; bytes[28] = 24;
  le32(34, row * height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      Rgb c = pixel(x, y);
      unsigned char* p = &bytes[54 + (height - 1 - y) * row + x * 3];
      p[0] = c.b; p[1] = c.g; p[2] = c.r;
    }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), size);
}

// A decoded picture, top row first.
struct Picture {
  int width = 0, height = 0;
  std::string rgb;
  Rgb at(int x, int y) const
  {
    size_t i = ((size_t)y * width + x) * 3;
    return { (unsigned char)rgb[i], (unsigned char)rgb[i + 1], (unsigned char)rgb[i + 2] };
  }
};

std::map<std::string, std::string> probe(const std::string& file, const std::string& stream)
{
  Outcome r = run("ffprobe -v error -select_streams " + stream +
              " -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_frames,duration"
              " -of default=noprint_wrappers=1 " + quote(file));
  std::map<std::string, std::string> fields;
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos)
      fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return fields;
}

Picture decodePng(const std::string& file)
{
  Picture picture;
  auto fields = probe(file, "v:0");
  picture.width  = std::atoi(fields["width"].c_str());
  picture.height = std::atoi(fields["height"].c_str());
  picture.rgb = run("ffmpeg -v error -i " + quote(file) + " -f rawvideo -pix_fmt rgb24 - 2>/dev/null").output;
  return picture;
}

// Mean loudness in dB of the audio between from and from + length seconds.
double meanVolume(const std::string& file, double from, double length)
{
  std::ostringstream command;
  command << "ffmpeg -hide_banner -nostdin -ss " << from << " -t " << length << " -i " << quote(file)
          << " -vn -af volumedetect -f null -";
  Outcome r = run(command.str());
  size_t at = r.output.find("mean_volume:");
  if (at == std::string::npos)
    return NAN;
  return std::stod(r.output.substr(at + 12));
}

// The frame digests of a framemd5 file: one line a frame, headers dropped.
std::vector<std::string> frameDigests(const std::string& file)
{
  std::vector<std::string> digests;
  std::istringstream lines(readFile(file));
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty() && line[0] != '#')
      digests.push_back(line.substr(line.rfind(',') + 1));
  return digests;
}

class Capture : public ::testing::Test {
protected:
  std::string dir;

  void SetUp() override
  {
    char name[] = "/tmp/capture-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
  }
  void TearDown() override { run("rm -rf " + quote(dir)); }

  // A working directory whose data/ holds the given images (all others black) and a soundtrack.
  std::string makeData(const std::string& name, const std::map<std::string, std::function<Rgb(int, int)>>& images,
                       bool withSoundtrack)
  {
    const std::string work = dir + "/" + name;
    run("mkdir -p " + quote(work + "/data"));
    for (const char* image : { "logo", "bounce", "spark", "font", "bg" }) {
      auto found = images.find(image);
      writeBmp(work + "/data/" + image + ".bmp", 64, 64,
               found != images.end() ? found->second : [](int, int) { return BLACK; });
    }
    if (withSoundtrack) {
      // three seconds: silence, one second of tone from 1 s to 2 s, silence
      Outcome r = run("ffmpeg -v error -nostdin -y -f lavfi -i "
                  "\"aevalsrc=exprs='if(between(t,1,2),0.5*sin(2*PI*440*t),0)':c=stereo:s=44100:d=3\" "
                  "-c:a libmp3lame -b:a 96k " + quote(work + "/data/soundtrack.mp3"));
      EXPECT_EQ(r.status, 0) << r.output;
    }
    return work;
  }

  std::string colourfulData()
  {
    auto gradient = [](int x, int y) { return Rgb { (unsigned char)(x * 4), (unsigned char)(y * 4), 160 }; };
    return makeData("colourful", {
      { "logo",   [](int, int) { return WHITE; } },
      { "bounce", gradient },
      { "spark",  [](int, int) { return WHITE; } },
      { "font",   gradient },
      { "bg",     gradient },
    }, true);
  }

  Outcome capture(const std::string& workdir, const std::string& options)
  {
    return run(std::string(CAPTURE_DRIVER) + " --intro " + quote(INTRO_PATH) + " --lib " + quote(CAPTURE_LIB) +
               " --dir " + quote(workdir) + " " + options);
  }
};

TEST_F(Capture, RealIntroDrawsOneFrameEvery21VirtualMs)
{
  const std::string work = colourfulData();
  Outcome r = capture(work, "-r 1 -d 1 -o " + quote(dir + "/out.mp4") + " --timeline " + quote(dir + "/timeline"));
  ASSERT_EQ(r.status, 0) << r.output;

  std::istringstream timeline(readFile(dir + "/timeline"));
  std::map<std::string, std::vector<long>> entries;
  std::string line;
  while (std::getline(timeline, line)) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    long value;
    while (words >> value)
      entries[key].push_back(value);
  }
  // playback starts at the clock's zero, before the window opens; then one frame per 21 ms
  EXPECT_EQ(entries["seed"], std::vector<long>({ 0 }));
  EXPECT_EQ(entries["music_start_ms"], std::vector<long>({ 0 }));
  EXPECT_EQ(entries["frames"], std::vector<long>({ 47 }));
  const std::vector<long>& frames = entries["frame_ms"];
  ASSERT_EQ(frames.size(), 47u);
  EXPECT_EQ(frames.front(), 21);
  EXPECT_EQ(frames.back(), 987);
  for (size_t i = 1; i < frames.size(); i++)
    EXPECT_EQ(frames[i] - frames[i - 1], 21) << "between frames " << i - 1 << " and " << i;
}

TEST_F(Capture, FiveSecondsHold238FramesWithTheSoundtrackAlignedAndLooped)
{
  const std::string work = colourfulData();
  const std::string mp4 = dir + "/five.mp4", png = dir + "/five.png";
  Outcome r = capture(work, "-r 1 -d 5 -o " + quote(mp4) + " -p " + quote(png));
  ASSERT_EQ(r.status, 0) << r.output;

  auto video = probe(mp4, "v:0");
  EXPECT_EQ(video["codec_name"], "h264");
  EXPECT_EQ(video["pix_fmt"], "yuv420p");
  EXPECT_EQ(video["width"], "320");
  EXPECT_EQ(video["height"], "240");
  EXPECT_EQ(video["r_frame_rate"], "1000/21");
  const int frames = std::atoi(video["nb_frames"].c_str());
  EXPECT_TRUE(frames == 238 || frames == 239) << frames << " frames";

  auto audio = probe(mp4, "a:0");
  EXPECT_EQ(audio["codec_name"], "aac");
  const double videoSeconds = std::atof(video["duration"].c_str());
  const double audioSeconds = std::atof(audio["duration"].c_str());
  EXPECT_NEAR(videoSeconds, 5.0, 0.03);
  EXPECT_NEAR(audioSeconds, videoSeconds, 0.05);

  // the soundtrack's tone lies at 1-2 s of each 3 s loop, playback having started 21 ms before frame 0
  EXPECT_LT(meanVolume(mp4, 0.2, 0.6), -50.0);
  EXPECT_GT(meanVolume(mp4, 1.2, 0.6), -20.0);
  EXPECT_LT(meanVolume(mp4, 2.2, 0.6), -50.0);
  EXPECT_LT(meanVolume(mp4, 3.2, 0.6), -50.0);
  EXPECT_GT(meanVolume(mp4, 4.2, 0.6), -20.0);

  auto shot = probe(png, "v:0");
  EXPECT_EQ(shot["codec_name"], "png");
  EXPECT_EQ(shot["width"], "320");
  EXPECT_EQ(shot["height"], "240");
}

TEST_F(Capture, SameSourceTwiceGivesIdenticalFrames)
{
  const std::string work = colourfulData();
  for (const char* name : { "first", "second" }) {
    Outcome r = capture(work, std::string("-r 1 -d 2 -o ") + quote(dir + "/" + name + ".mp4") +
                          " --framemd5 " + quote(dir + "/" + name + ".md5"));
    ASSERT_EQ(r.status, 0) << r.output;
  }
  const auto first = frameDigests(dir + "/first.md5");
  const auto second = frameDigests(dir + "/second.md5");
  ASSERT_EQ(first.size(), 95u);
  EXPECT_EQ(first, second);
  // the frames move: a capture of a still picture would pass the comparison trivially
  EXPECT_NE(first.front(), first.back());
}

TEST_F(Capture, AnotherSeedScattersTheSparksElsewhere)
{
  const std::string work = colourfulData();
  for (const char* seed : { "0", "7" }) {
    Outcome r = capture(work, std::string("-r 1 -d 0.1 --seed ") + seed + " -o " + quote(dir + "/" + seed + ".mp4") +
                          " --framemd5 " + quote(dir + "/" + seed + ".md5"));
    ASSERT_EQ(r.status, 0) << r.output;
  }
  const auto zero = frameDigests(dir + "/0.md5");
  const auto seven = frameDigests(dir + "/7.md5");
  ASSERT_EQ(zero.size(), 4u);
  ASSERT_EQ(seven.size(), 4u);
  EXPECT_NE(zero.front(), seven.front());
}

TEST_F(Capture, FirstFrameShowsTheClearColourAtTheMarginsAndTheLogoInTheUpperMiddle)
{
  // only the logo carries light, so everything else on frame 0 is the clear colour
  const std::string work = makeData("logo-only", { { "logo", [](int, int) { return WHITE; } } }, false);
  const std::string png = dir + "/first.png";
  Outcome r = capture(work, "-r 2 -d 0.021 --shot-frame 0 -o " + quote(dir + "/first.mp4") + " -p " + quote(png));
  ASSERT_EQ(r.status, 0) << r.output;

  const Picture frame = decodePng(png);
  ASSERT_EQ(frame.width, 640);
  ASSERT_EQ(frame.height, 480);
  ASSERT_EQ(frame.rgb.size(), 640u * 480u * 3u);

  const int margins[][2] = {
    {   0,   0 }, { 320,   0 }, { 639,   0 },
    {   0, 240 },               { 639, 240 },
    {   0, 479 }, { 320, 479 }, { 639, 479 },
    {  40,  40 }, { 600,  40 }, {  40, 440 }, { 600, 440 },
  };
  for (const auto& m : margins)
    EXPECT_TRUE(isClearColour(frame.at(m[0], m[1]))) << frame.at(m[0], m[1]) << " at " << m[0] << "," << m[1];

  // the logo and its echoes add up to white above the centre; below the centre nothing is drawn
  EXPECT_EQ(frame.at(320, 150), WHITE);
  EXPECT_TRUE(isClearColour(frame.at(320, 360))) << frame.at(320, 360);

  // and the lit area is centred: as much logo left of the middle as right of it
  int left = 0, right = 0;
  for (int x = 0; x < 640; x++)
    if (frame.at(x, 150) == WHITE)
      (x < 320 ? left : right)++;
  EXPECT_GT(left, 100);
  EXPECT_NEAR(left, right, 40);
}

TEST_F(Capture, FirstFrameOfTheRealIntroLeavesClearMarginsAroundTheBannerWithTheLogoAbove)
{
  // the intro's own data/: the banner nearly fills the view and leaves thin margins of clear colour
  const std::string png = dir + "/first.png";
  Outcome r = capture(SOURCE_DIR, "-r 2 -d 0.021 --shot-frame 0 -o " + quote(dir + "/first.mp4") + " -p " + quote(png));
  ASSERT_EQ(r.status, 0) << r.output;
  const Picture frame = decodePng(png);
  ASSERT_EQ(frame.rgb.size(), 640u * 480u * 3u);

  const int edges[][2] = {
    {   0,   0 }, { 320,   0 }, { 639,   0 },
    {   0, 240 },               { 639, 240 },
    {   0, 479 }, { 320, 479 }, { 639, 479 },
  };
  for (const auto& e : edges)
    EXPECT_TRUE(isClearColour(frame.at(e[0], e[1]))) << frame.at(e[0], e[1]) << " at " << e[0] << "," << e[1];

  // at z = 0 the view spans x -1.79..1.79 and y -1.84..0.84; the logo's quad, x -1..1 and
  // y -0.25..0.25, covers pixels 141..499 across and rows 106..195 down
  auto meanLight = [&](int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++) {
        Rgb c = frame.at(x, y);
        sum += c.r + c.g + c.b;
      }
    return sum / ((x1 - x0) * (y1 - y0));
  };
  const double clear = 26 + 128 + 178;
  const double logo = meanLight(141, 106, 499, 195);
  EXPECT_GT(logo, clear + 100);
  // and it outshines the same box further down, where only the banner and the sparks add light
  EXPECT_GT(logo, meanLight(141, 300, 499, 389) + 100);
}

TEST_F(Capture, InstalledReleaseRunsFromAnotherWorkingDirectory)
{
  const std::string prefix = dir + "/neonfjord-intro";
  Outcome install = run(std::string("cmake --install ") + quote(BINARY_DIR) + " --component release --prefix " +
                    quote(prefix));
  ASSERT_EQ(install.status, 0) << install.output;

  EXPECT_TRUE(isExecutable(prefix + "/intro"));
  EXPECT_TRUE(isExecutable(prefix + "/neonfjord.sh"));
  for (const char* file : { "logo.bmp", "bounce.bmp", "spark.bmp", "font.bmp", "bg.bmp", "soundtrack.mp3" })
    EXPECT_EQ(readFile(prefix + "/data/" + file), readFile(std::string(SOURCE_DIR) + "/data/" + file)) << file;
  auto shot = probe(prefix + "/screenshot.png", "v:0");
  EXPECT_EQ(shot["codec_name"], "png");
  EXPECT_EQ(shot["width"], "640");
  EXPECT_EQ(shot["height"], "480");
  const std::string info = readFile(prefix + "/neonfjord.nfo");
  for (const char* words : { "NEON FJORD 2027 invitation intro", "23-25 JULY 2027", "THE OLD FERRY HALL, PORT EXAMPLE",
                             "the NEON FJORD intro team", "Linux", "OpenGL", "a sound device",
                             "SDL 1.2 and SDL_mixer 1.2" })
    EXPECT_NE(info.find(words), std::string::npos) << "the info file lacks \"" << words << "\"";

  // the launcher, started from a folder without data/, against the build's intro in the source tree
  const std::string elsewhere = dir + "/elsewhere";
  run("mkdir -p " + quote(elsewhere));
  Outcome released = run(std::string(CAPTURE_DRIVER) + " --intro " + quote(prefix + "/neonfjord.sh") + " --lib " +
                     quote(CAPTURE_LIB) + " --dir " + quote(elsewhere) + " -r 1 -d 0.1 -o " +
                     quote(dir + "/released.mp4") + " --framemd5 " + quote(dir + "/released.md5") +
                     " --timeline " + quote(dir + "/released.timeline"));
  ASSERT_EQ(released.status, 0) << released.output;
  // the music came from the release's own data/, and that is what the video carries
  EXPECT_NE(readFile(dir + "/released.timeline").find("music_file " + prefix + "/data/soundtrack.mp3\n"),
            std::string::npos) << readFile(dir + "/released.timeline");
  Outcome built = capture(SOURCE_DIR, "-r 1 -d 0.1 -o " + quote(dir + "/built.mp4") + " --framemd5 " +
                                  quote(dir + "/built.md5"));
  ASSERT_EQ(built.status, 0) << built.output;
  Outcome lost = capture(elsewhere, "-r 1 -d 0.1 -o " + quote(dir + "/lost.mp4") + " --framemd5 " +
                                quote(dir + "/lost.md5"));
  ASSERT_EQ(lost.status, 0) << lost.output;

  const auto fromRelease = frameDigests(dir + "/released.md5");
  ASSERT_EQ(fromRelease.size(), 4u);
  EXPECT_EQ(fromRelease, frameDigests(dir + "/built.md5"));
  // the same intro without its data draws another picture: the launcher did find data/
  EXPECT_NE(fromRelease, frameDigests(dir + "/lost.md5"));
}

} // namespace
