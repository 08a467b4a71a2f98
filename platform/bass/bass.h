#pragma once

// The calls of the BASS 2.4 audio library (with BASSMIDI and TAGS) that Sonorell makes,
// with their names, flags, error codes and results. Decoding channels only: they are
// pulled with BASS_ChannelGetData, never played. Streams decode through FFmpeg, tracker
// modules through libopenmpt, MIDI through FluidSynth, CD audio tracks through
// libcdio-paranoia. A format this build cannot decode fails to open; nothing pretends.
#include <cstdint>

// As the library's own header has them for BOOL results and arguments.
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

namespace platform {

using DWORD = uint32_t;
using QWORD = uint64_t;
using BOOL = int;
using HSTREAM = DWORD;
using HMUSIC = DWORD;
using HSOUNDFONT = DWORD;
using HPLUGIN = DWORD;

inline constexpr DWORD BASS_SAMPLE_8BITS = 1;
inline constexpr DWORD BASS_SAMPLE_MONO = 2;
inline constexpr DWORD BASS_SAMPLE_LOOP = 4;
inline constexpr DWORD BASS_SAMPLE_FLOAT = 256;
inline constexpr DWORD BASS_STREAM_DECODE = 0x200000;
inline constexpr DWORD BASS_MUSIC_RAMP = 0x200;
inline constexpr DWORD BASS_MUSIC_RAMPS = 0x400;
inline constexpr DWORD BASS_MUSIC_PRESCAN = 0x20000;
inline constexpr DWORD BASS_UNICODE = 0x80000000;
inline constexpr DWORD BASS_POS_BYTE = 0;
inline constexpr DWORD BASS_FILEPOS_END = 2;
inline constexpr DWORD BASS_FILEPOS_START = 3;
inline constexpr DWORD BASS_TAG_ID3 = 0;
inline constexpr DWORD BASS_TAG_ID3V2 = 1;
inline constexpr DWORD BASS_CONFIG_UPDATEPERIOD = 1;

// Channel types of BASS_CHANNELINFO.ctype.
inline constexpr DWORD BASS_CTYPE_STREAM = 0x10000;
inline constexpr DWORD BASS_CTYPE_STREAM_CD = 0x10200;
inline constexpr DWORD BASS_CTYPE_STREAM_MIDI = 0x10d00;
inline constexpr DWORD BASS_CTYPE_MUSIC_MOD = 0x20000;

// Error codes of BASS_ErrorGetCode.
inline constexpr int BASS_OK = 0;
inline constexpr int BASS_ERROR_MEM = 1;
inline constexpr int BASS_ERROR_FILEOPEN = 2;
inline constexpr int BASS_ERROR_HANDLE = 5;
inline constexpr int BASS_ERROR_INIT = 8;
inline constexpr int BASS_ERROR_ALREADY = 14;
inline constexpr int BASS_ERROR_ILLTYPE = 19;
inline constexpr int BASS_ERROR_ILLPARAM = 20;
inline constexpr int BASS_ERROR_DEVICE = 23;
inline constexpr int BASS_ERROR_FILEFORM = 41;
inline constexpr int BASS_ERROR_CODEC = 44;
inline constexpr int BASS_ERROR_ENDED = 45;
inline constexpr int BASS_ERROR_NOTAVAIL = 37;
inline constexpr int BASS_ERROR_UNKNOWN = -1;

// Version reported by BASS_GetVersion (2.4.x); start-up checks the high word.
inline constexpr DWORD BASSVERSION = 0x204;

struct BASS_CHANNELINFO {
  DWORD freq;
  DWORD chans;
  DWORD flags;  // BASS_SAMPLE_8BITS when the delivered samples are 8-bit unsigned
  DWORD ctype;
  DWORD origres;
  DWORD plugin;
  DWORD sample;
  const char* filename;
};

struct BASS_MIDI_FONT {
  HSOUNDFONT font;
  int preset;
  int bank;
};

DWORD BASS_GetVersion();
// device 0 = no sound; only the no-sound device exists here.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
BOOL BASS_Free();
int BASS_ErrorGetCode();
// Only the update period (nothing plays, so any value is accepted).
BOOL BASS_SetConfig(DWORD option, DWORD value);

HPLUGIN BASS_PluginLoad(const char* file, DWORD flags);
BOOL BASS_PluginFree(HPLUGIN handle);  // 0 frees them all

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq);
HSTREAM BASS_MIDI_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length,
                                   DWORD flags, DWORD freq);
HSOUNDFONT BASS_MIDI_FontInit(const void* file, DWORD flags);
BOOL BASS_MIDI_FontFree(HSOUNDFONT handle);
// stream 0 sets the default fonts of every MIDI stream created afterwards.
BOOL BASS_MIDI_StreamSetFonts(HSTREAM handle, const BASS_MIDI_FONT* fonts, DWORD count);

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);
QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode);         // (QWORD)-1 when unavailable
// (DWORD)-1 at the end, with BASS_ERROR_ENDED; BASS_ERROR_FILEFORM when the data broke off
// short of the sound the file holds (a cut or damaged file).
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
const char* BASS_ChannelGetTags(DWORD handle, DWORD tags);
BOOL BASS_StreamFree(HSTREAM handle);
BOOL BASS_MusicFree(HMUSIC handle);

// TAGS add-on: %TITL %ARTI %ALBM %GNRE %YEAR %CMNT %TRCK %COMP %COPY (and %% for a percent
// sign) filled from the channel's tags, UTF-8; "" when nothing is available. The text
// lives until the next call.
const char* TAGS_Read(DWORD handle, const char* fmt);

}  // namespace platform
