// snd_wav.cpp -- the 16-bit PCM WAV file handed to the encoder
#include "snd.h"

#include <cmath>
#include <cstdio>
#include <cstring>

static const int WAV_HEADER_BYTES = 44;

static void putLE32(uint8_t* p, uint32_t v)
{
  p[0] = v & 0xff;
  p[1] = (v >> 8) & 0xff;
  p[2] = (v >> 16) & 0xff;
  p[3] = (v >> 24) & 0xff;
}

static void putLE16(uint8_t* p, uint16_t v)
{
  p[0] = v & 0xff;
  p[1] = (v >> 8) & 0xff;
}

static void wavHeader(uint8_t out[WAV_HEADER_BYTES], int frames, int rate, int channels)
{
  const int      bytesPerFrame = channels * 2;
  const uint32_t dataBytes     = (uint32_t)frames * bytesPerFrame;
  std::memcpy(out + 0, "RIFF", 4);
  std::memcpy(out + 8, "WAVE", 4);
  std::memcpy(out + 12, "fmt ", 4);
  std::memcpy(out + 36, "data", 4);
  putLE32(out + 4, 36 + dataBytes);   // rest of the file after this field
  putLE32(out + 16, 16);              // size of the fmt chunk
  putLE16(out + 20, 1);               // integer PCM
  putLE16(out + 22, (uint16_t)channels);
  putLE32(out + 24, (uint32_t)rate);
  putLE32(out + 28, (uint32_t)rate * bytesPerFrame);   // bytes per second
  putLE16(out + 32, (uint16_t)bytesPerFrame);
  putLE16(out + 34, 16);   // bits per sample
  putLE32(out + 40, dataBytes);
}

int16_t wavSample(float x)
{
  float v = std::floor(x * 32767.0f + 0.5f);
  if (v > 32767.0f)
    v = 32767.0f;
  if (v < -32768.0f)
    v = -32768.0f;
  return (int16_t)v;
}

int wavWrite(const char* path, const int16_t* samples, int frames, int rate, int channels)
{
  FILE* f = std::fopen(path, "wb");
  if (!f)
    return 0;
  uint8_t header[WAV_HEADER_BYTES];
  wavHeader(header, frames, rate, channels);
  int ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;

  // samples go out little-endian whatever the host order
  constexpr int CHUNK = 4096;
  uint8_t       bytes[CHUNK * 2];
  size_t        total = (size_t)frames * channels;
  for (size_t i = 0; ok && i < total; i += CHUNK) {
    size_t n = total - i < CHUNK ? total - i : CHUNK;
    for (size_t j = 0; j < n; j++)
      putLE16(bytes + 2 * j, (uint16_t)samples[i + j]);
    ok = std::fwrite(bytes, 2, n, f) == n;
  }
  if (std::fclose(f) != 0)
    ok = 0;
  return ok;
}
