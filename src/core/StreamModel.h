// The stream model of the opened file: the frame table, the stream's characteristics and
// damage counts, its tags, and the program-wide flags that go with them. One object, owned
// by whoever opens files (the main window, the command-line tool), passed by reference.
#pragma once

#include "FrameHeader.h"
#include "Id3v2Tag.h"

#include <array>
#include <cstdint>
#include <memory>

namespace zefrin {

struct FrameRecord
{
    uint32_t Offset;       // frame start; relative to the scanned region until rebased
    uint32_t Length;       // FrameLength of the frame's own header
    uint16_t Crc;          // computed CRC, when the frame carries one
    uint16_t HeaderSize;   // 4, or 6 with CRC
    int8_t ReservoirDepth; // Layer III: frames the main data reaches back into
    bool Silent;
    int64_t Level; // loudness from the volume analysis (sum of squares >> 16)
};

// The window's table holds 16384 records and so accepts at most 16381 frames; the
// command-line tool sizes its table to the file.
inline constexpr uint32_t FrameTableCapacity = 16384;

// A fixed array of frame records, allocated once. Entries past FrameCount are sentinels
// (see ScanFrames). Pages of a large table are only touched as frames are recorded.
class FrameTable
{
  public:
    explicit FrameTable(uint32_t capacity = FrameTableCapacity);
    FrameRecord& operator[](uint32_t i) { return m_records[i]; }
    const FrameRecord& operator[](uint32_t i) const { return m_records[i]; }
    uint32_t Capacity() const { return m_capacity; }
    // Most complete frames a file may have: capacity - 3 (16381 for the window).
    uint32_t MaxFrames() const { return m_capacity - 3; }

  private:
    std::unique_ptr<FrameRecord[]> m_records;
    uint32_t m_capacity;
};

inline constexpr uint32_t ExtraInfoFrameSize = 1728;

struct StreamInfo
{
    FrameHeader Reference;
    int32_t FrameCount = 0;
    int32_t MissingHeaderCount = 0;
    std::array<int32_t, 10> MissingHeaderFrames{};
    int32_t BadCrcCount = 0;
    bool FirstFrameMissing = false;
    bool LastFrameIncomplete = false;
    uint32_t ConstantBits = 0;
    std::array<int32_t, 16> BitrateUse{};
    bool HasExtraInfo = false;
    bool HasXing = false;
    bool HasInfo = false;
    FrameHeader ExtraInfoHeader;
    std::array<uint8_t, ExtraInfoFrameSize> ExtraInfoFrame{};
    bool Mp3Pro = false;
    bool FirstFramesInvalid = false;
    bool EndingAbrupt = false;
    int32_t Id3v1Size = 0;
    int32_t ApeSize = 0;
    int32_t LyricsSize = 0;
    int32_t RiffHeaderSize = 0;
    int32_t LyricsOffset = 0;
    int32_t ApeOffset = 0;
    std::array<uint8_t, 128> Id3v1{};
    int64_t FileSize = 0;
    int64_t FileTimeSeconds = 0; // last-write time of the opened file
    int64_t FileTimeNanoseconds = 0;
    FrameHeader SeekFrameHeader;
    FrameHeader SilentFrameHeader;
    std::array<uint8_t, ExtraInfoFrameSize> SilentFrame{};
};

// The progress bar of the window (range 0..62). Total plays the role of the bar's Tag.
struct ProgressBar
{
    uint32_t Total = 0;
    int Position = -1;
};

struct StreamModel
{
    explicit StreamModel(uint32_t capacity = FrameTableCapacity)
        : Frames(capacity)
    {
    }

    StreamInfo Info;
    FrameTable Frames;
    TID3v2 Id3v2;

    bool AnalysisBusy = false;
    bool StopRequested = false;
    int TagsKept = 1;
    uint32_t DurationSeconds = 0; // FramesToSeconds(FrameCount), stored by every display
    ProgressBar Progress;
};

} // namespace zefrin
