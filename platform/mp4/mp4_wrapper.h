#pragma once

// The calls of the MP4 wrapper library ("Exx" functions) that Sonorell makes, backed by
// libavformat: its mp4 and ipod muxers write one AAC track with iTunes-style metadata, its
// mov demuxer reads the metadata back.
//
// What the backing library honours (the one place that says so):
//   MP4CreateExx              the brand chooses the flavour: kM4a and kM4b write the ipod
//                             flavour ("M4A " and "M4B " as major brand; kM4b also marks the
//                             file as an audiobook), kMp4 the plain mp4 flavour. The file is
//                             created at once; none when it cannot be.
//   MP4SetTimeScaleExx        the movie time scale (the movie header's durations).
//   MP4AddAudioTrackExx       one audio track per file; audio types 0x40 (MPEG-4 audio) and
//                             0x66..0x68 (MPEG-2 AAC) only, all stored as 0x40 (the muxer
//                             has no way to write the MPEG-2 types). The track time scale must be
//                             the sample rate. The sample duration is a hint and not stored: every
//                             sample carries its own.
//   MP4SetAudioProfileLevelExx  written as the audio profile of the initial object
//                             descriptor (iods).
//   MP4SetTrackESConfigurationExx  the AudioSpecificConfig; it also gives the track its
//                             channel count. Required before the first sample.
//   MP4SetMetadata...Exx      title, artist, album, year, genre, comment, composer (writer)
//                             and track/total as iTunes atoms; UTF-8 text (other bytes are
//                             refused, an empty text removes the field, track 0 is not
//                             written). Set before the first sample (later values are kept
//                             too; they go in at close).
//   MP4SetMetadataAlbumArtistExx, MP4SetMetadataDiskExx  aART and disk/total, as the
//                             other texts (disk 0 is not written).
//   MP4SetMetadataCoverArtExx the covr item: the picture's bytes as they are, JPEG or PNG
//                             as the caller says, carried as an attached picture stream.
//                             Only before the first sample; one picture, a later one
//                             replaces it.
//   MP4ReserveTagSpaceExx     a free atom of that many bytes after the index at close, for
//                             metadata added later without moving anything.
//   MP4WriteSampleExx         each sample is stored with its duration. A rendering offset on
//                             the track's first sample is taken as the encoder's start-up
//                             delay: the file gets an edit list that starts playback after
//                             it, so players and decoders skip the delay (gapless). Rendering
//                             offsets on later samples are refused. A sample of duration 0
//                             holds nothing that plays; MP4 timing cannot give two samples one
//                             time, so it is accepted and left out. Every AAC sample is a
//                             sync sample to the muxer whatever the flag says.
//   MP4CloseExx               writes the index (moov) and closes the file; false when any
//                             write, including the index, failed. Read handles close true.
//   MP4ReadExx / MP4Get...Exx / FreeMemExx  strings come back as UTF-8 copies that the
//                             caller frees with FreeMemExx.
#include <cstdint>

namespace platform {

struct Mp4File;  // opaque
using MP4FileHandle = Mp4File*;
using MP4TrackId = uint32_t;
using MP4Duration = uint64_t;

inline constexpr MP4TrackId MP4_INVALID_TRACK_ID = 0;
inline constexpr MP4Duration MP4_INVALID_DURATION = ~MP4Duration{0};
inline constexpr uint8_t MP4_MPEG4_AUDIO_TYPE = 0x40;

enum class Mp4Brand { kMp4, kM4a, kM4b };

// Creates (replacing) the file at path for writing.
MP4FileHandle MP4CreateExx(const char* path, Mp4Brand brand = Mp4Brand::kMp4);
bool MP4SetTimeScaleExx(MP4FileHandle file, uint32_t timeScale);
MP4TrackId MP4AddAudioTrackExx(MP4FileHandle file, uint32_t timeScale, MP4Duration sampleDuration,
                               uint8_t audioType);
bool MP4SetAudioProfileLevelExx(MP4FileHandle file, uint8_t level);
bool MP4SetTrackESConfigurationExx(MP4FileHandle file, MP4TrackId track, const uint8_t* config,
                                   uint32_t size);

bool MP4SetMetadataNameExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataArtistExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataAlbumExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataYearExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataGenreExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataCommentExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataWriterExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataTrackExx(MP4FileHandle file, uint16_t track, uint16_t total);
bool MP4SetMetadataAlbumArtistExx(MP4FileHandle file, const char* value);
bool MP4SetMetadataDiskExx(MP4FileHandle file, uint16_t disk, uint16_t total);

enum class Mp4ArtType { kJpeg, kPng };
bool MP4SetMetadataCoverArtExx(MP4FileHandle file, const uint8_t* data, uint32_t size,
                               Mp4ArtType type);
bool MP4ReserveTagSpaceExx(MP4FileHandle file, uint32_t bytes);

bool MP4WriteSampleExx(MP4FileHandle file, MP4TrackId track, const uint8_t* bytes, uint32_t size,
                       MP4Duration duration, MP4Duration renderingOffset, bool isSyncSample);

// Finishes a file being written, or closes one being read, and frees the handle (null is
// allowed and gives false).
bool MP4CloseExx(MP4FileHandle file);

// Opens an existing MP4-family file for reading its metadata; none when it is not one.
MP4FileHandle MP4ReadExx(const char* path);
// True with a newly allocated UTF-8 string in *value when the file has that field.
bool MP4GetMetadataNameExx(MP4FileHandle file, char** value);
bool MP4GetMetadataArtistExx(MP4FileHandle file, char** value);
bool MP4GetMetadataAlbumExx(MP4FileHandle file, char** value);
bool MP4GetMetadataYearExx(MP4FileHandle file, char** value);
bool MP4GetMetadataGenreExx(MP4FileHandle file, char** value);
bool MP4GetMetadataCommentExx(MP4FileHandle file, char** value);
bool MP4GetMetadataWriterExx(MP4FileHandle file, char** value);
bool MP4GetMetadataTrackExx(MP4FileHandle file, uint16_t* track, uint16_t* total);
void FreeMemExx(void* memory);

}  // namespace platform
