// Independent readers of saved files: what mp3val complains about, how ffprobe sees the
// container, the samples mpg123 decodes, what mutagen reads from the seek frame and the tags,
// and a plain walk over the frames with the global_gain fields read from the side
// information by the bit layout of the format, not by the editor's own tables.
#pragma once

#include "core/FrameHeader.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace zefrin::test {

// mp3val's WARNING, PROBLEM and ERROR lines, without the ones every file of that kind gets
// and that say nothing about its frames ("No supported tags in the file", and for a WAV
// file "This is a RIFF file, not MPEG stream"). Empty for a file mp3val accepts; a failure
// to run mp3val is a complaint of its own.
std::vector<std::string> Mp3valComplaints(const std::filesystem::path& path);

// ffprobe's container and codec names, "wav/mp3" for MP3 in a WAV file.
std::string FfprobeFormatAndCodec(const std::filesystem::path& path);

// Interleaved 16-bit samples as mpg123 decodes the whole file, without gapless trimming: one
// frame's worth of samples for every audio frame, none for a leading "Xing"/"Info" frame.
struct DecodedPcm
{
    bool Ok = false;
    int Channels = 0;
    std::vector<int16_t> Samples;
};
DecodedPcm DecodeWithMpg123(const std::filesystem::path& path, int channels);

// The "Xing"/"Info" header of the first frame as mutagen reads it.
struct MutagenXing
{
    bool Found = false;
    bool IsInfo = false;
    long FrameOffset = -1; // where mutagen found the frame
    long Frames = -1;
    long Bytes = -1;
    std::vector<int> Toc;
};
MutagenXing ReadXingWithMutagen(const std::filesystem::path& path);

// Text frames of the ID3v2 tag ("TIT2", "TLEN" ...) and of the ID3v1 record as mutagen
// reads them; HasId3v1 false when mutagen finds no record at the end.
struct MutagenTags
{
    bool Ok = false;
    std::map<std::string, std::string> Id3v2;
    bool HasId3v1 = false;
    std::map<std::string, std::string> Id3v1;
};
MutagenTags ReadTagsWithMutagen(const std::filesystem::path& path);

// Consecutive frames from `start` while headers keep following one another within `end`.
struct WalkedFrame
{
    size_t Offset = 0;
    FrameHeader Header;
};
std::vector<WalkedFrame> WalkFrames(const Bytes& file, size_t start, size_t end);

// Where the MPEG audio of a file starts: after a RIFF header's "data" chunk header or an
// ID3v2 tag, else 0.
size_t AudioStart(const Bytes& file);

// The global_gain fields of a Layer III frame, granule by granule and channel by channel.
std::vector<int> GlobalGains(const uint8_t* frame, const FrameHeader& header);

} // namespace zefrin::test
