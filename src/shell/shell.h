// shell.h -- the program shell: resolution menu, library start-up, event loop and shutdown
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>

//
// screen settings, fixed once the menu is answered
//
extern int SCREEN_WIDTH;
extern int SCREEN_HEIGHT;
extern int SCREEN_BPP;
extern int select_key;      // the number read at the menu, 0 when nothing was readable

struct ScreenMode { int width, height, bpp; };

constexpr ScreenMode PRESET_SCREEN = { 640, 480, 24 };

// The menu: each entry prints as "answer) WIDTHxHEIGHT use"
struct MenuEntry { int answer; ScreenMode mode; const char* use; };

constexpr int MENU_ENTRIES = 3;
extern const MenuEntry MENU[MENU_ENTRIES];

// The screen that a menu answer picks: 1, 2 or 3, else the preset.
ScreenMode screenForAnswer(long answer);

// Prints the resolution menu and reads the answer into select_key.
void askResolution();

//
// video
//
extern SDL_Surface* surface;    // the current video surface, replaced on every resize
extern Mix_Music*   soundtrack; // held for the whole run

// The flag word for SDL_SetVideoMode: hardware blits add SDL_HWACCEL.
int videoFlagsFor(const SDL_VideoInfo* videoInfo);

//
// soundtrack
//
extern const char* const SOUNDTRACK_PATH;   // relative to the working directory

struct Mp3Stream {
  const Uint8* bytes;       // the whole frames handed to the mixer, back to back
  int size;                 // their bytes
  int frames;
  int sampleRate, channels;
  int samples;              // per frame and channel
};

// Finds one consistent MPEG audio stream in a file and gathers its frames to the
// front of it, in place: every whole frame of one version, layer, sample rate and
// channel count, at least two, with the zero padding, ID3v2, APE, Lyrics3 and
// ID3v1 tags and the garbage between them left out. A frame counts where the one
// before it ends or where the next frame, a tag or the end confirms it. False, and
// the bytes of no use, for a frame of another format anywhere, or when the garbage
// is as large as the frames.
bool findMp3Stream(Uint8* bytes, int size, Mp3Stream* stream);

// Bytes of the whole frame whose header starts at p, within room; 0 when there is none.
int mp3FrameLength(const Uint8* p, int room);

// Whether one decoded frame, converted for the audio device, fits the mixer's frame buffer.
bool mixerHoldsFrame(const Mp3Stream& stream, int deviceRate, Uint16 deviceFormat, int deviceChannels);

// Reads the soundtrack and checks it, before the audio device is open; false
// when it is missing or not a stream the mixer can play safely. The stream's
// bytes stay valid until the next read. The second form reads any stream and closes it.
bool readSoundtrack(const char* path, Mp3Stream* stream);
bool readSoundtrackFrom(SDL_RWops* rw, Mp3Stream* stream);

// A checked stream as music for the open device; null when a frame converted
// to the device's format would not fit the mixer.
Mix_Music* loadSoundtrack(const Mp3Stream& stream);

//
// event loop and frame pacing
//
extern int timecount;       // tick reading taken just before the last frame started
extern int timenow;         // tick reading of the current pass

// Whether a frame is due: the elapsed time is an unsigned 32-bit difference,
// so the pace holds when the counter passes 2^31 and when it wraps at 2^32.
bool frameDue(Uint32 now, Uint32 last);

[[noreturn]] void eventLoop(int videoFlags);

// Closes the audio device, shuts SDL down and ends the process with the status.
[[noreturn]] void Quit(int returnCode);
