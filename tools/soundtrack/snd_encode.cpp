// snd_encode.cpp -- hands the WAV to lame and waits for the MP3
#include "snd.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

// 128 kbit/s constant rate keeps two minutes near 1.9 MB. No LAME/Xing info
// frame (-t): players that ignore it would play it as a frame of silence at
// every loop. No tag options are given and the output is a file, so lame
// writes neither ID3v1 nor ID3v2.
static const char* const lameArgs[] = {
  "lame", "--quiet", "-b", "128", "--cbr", "-q", "2", "-m", "j", "--resample", "32", "-t", "--noreplaygain",
};
constexpr int LAME_ARGS = sizeof lameArgs / sizeof lameArgs[0];

int encodeMp3(const char* wavPath, const char* mp3Path)
{
  char* argv[LAME_ARGS + 3];
  for (int i = 0; i < LAME_ARGS; i++)
    argv[i] = const_cast<char*>(lameArgs[i]);
  argv[LAME_ARGS]     = const_cast<char*>(wavPath);
  argv[LAME_ARGS + 1] = const_cast<char*>(mp3Path);
  argv[LAME_ARGS + 2] = nullptr;

  pid_t pid;
  if (posix_spawnp(&pid, "lame", nullptr, nullptr, argv, environ) != 0)
    return 0;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid)
    return 0;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
