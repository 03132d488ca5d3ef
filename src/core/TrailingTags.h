// The metadata blocks that may follow the audio (ID3v1, APE, Lyrics3 versions 1 and 2): probes
// that recognise and measure them so that the scan stops before them and the writer can copy
// or drop them, and the ID3v1 record's fields and genre names as the display shows them.
#pragma once

#include "StreamModel.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zefrin {

inline constexpr uint32_t Id3v1RecordSize = 128;
inline constexpr uint32_t ApeFooterSize = 32;
// An APE tag is only looked for in data of at least this many bytes.
inline constexpr uint32_t ApeMinimumDataSize = 4096;
// "LYRICSBEGIN" of a version 1 tag starts less than this many bytes before "LYRICSEND": its
// lyrics are limited in length, and the search must not run through the whole audio.
inline constexpr uint32_t Lyrics3v1MaxDistance = 5100;

// Each probe examines data[0 .. size), with the tag ending exactly at data + size, and returns
// the tag's total length in bytes, or 0 when there is none. A size field that would put the
// tag's start before data[0] means there is no tag.

// Copies the last 128 bytes into info.Id3v1 whatever they are (when size >= 128), so that the
// writer can recreate a record in place; 128 when they begin with "TAG".
uint32_t ProbeId3v1(StreamInfo& info, const uint8_t* data, uint32_t size);
// An APEv1/APEv2 tag described by its 32-byte footer; sets info.ApeOffset.
uint32_t ProbeApeTag(StreamInfo& info, const uint8_t* data, uint32_t size);
// Lyrics3 version 2 ("LYRICSBEGIN" ... six size digits "LYRICS200"); sets info.LyricsOffset.
uint32_t ProbeLyrics3v2(StreamInfo& info, const uint8_t* data, uint32_t size);
// Lyrics3 version 1 ("LYRICSBEGIN" ... "LYRICSEND"); sets info.LyricsOffset.
uint32_t ProbeLyrics3v1(StreamInfo& info, const uint8_t* data, uint32_t size);

// The ID3v1 genre names in index order; indexes above 202 have no name.
inline constexpr int GenreCount = 203;
extern const std::array<const char*, GenreCount> GenreNames;
// The name of a genre index, "" for one without a name (255 = none, among others).
const char* GenreName(int index);

// A single-byte text field as shown: up to its first zero byte (or `length` bytes), without
// leading and trailing blanks and control characters (every byte up to 0x20).
std::string TrimTagText(const char* text, size_t length);

// The fields of an ID3v1 record as the display shows them.
struct Id3v1Fields
{
    std::string Title, Artist, Album, Year, Comment;
    int Genre = 255; // the raw index byte; GenreName() gives its name
    int Track = 0;   // ID3v1.1 track number (comment byte 28 zero, byte 29 not); 0 = none
};
// Reads a record whatever it holds; callers check for "TAG" (Id3v1Size > 0) first.
Id3v1Fields ReadId3v1Fields(const std::array<uint8_t, 128>& record);

} // namespace zefrin
