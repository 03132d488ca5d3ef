// MPEG audio frame headers (MPEG-1, 2 and 2.5; Layers I, II and III), their tables, and the
// conversions between frame counts and time that trimming, display and cue sheets share.
//
// The four header bytes are always handled as one 32-bit word `Raw` loaded little-endian:
// byte 0 (0xFF) is bits 0-7, byte 3 is bits 24-31. Masks over `Raw`:
//
//   sync 0xE0FF | protection 0x100 | layer 0x600 | version 0x1800 | private 0x10000
//   padding 0x20000 | sample rate 0xC0000 | bitrate 0xF00000 | emphasis 0x3000000
//   original 0x4000000 | copyright 0x8000000 | mode extension 0x30000000 | mode 0xC0000000
//
// Layer and version keep their raw bit values: Layer III = 1, Layer I = 3; MPEG-1 = 3,
// MPEG-2 = 2, MPEG-2.5 = 0 (1 is reserved).
#pragma once

#include <cstdint>

namespace zefrin {

inline constexpr uint32_t SyncMask = 0xE0FF;
inline constexpr uint32_t ProtectionBit = 0x100;
inline constexpr uint32_t LayerMask = 0x600;
inline constexpr uint32_t VersionMask = 0x1800;
inline constexpr uint32_t PrivateBit = 0x10000;
inline constexpr uint32_t PaddingBit = 0x20000;
inline constexpr uint32_t SampleRateMask = 0xC0000;
inline constexpr uint32_t BitrateMask = 0xF00000;
inline constexpr uint32_t EmphasisMask = 0x3000000;
inline constexpr uint32_t OriginalBit = 0x4000000;
inline constexpr uint32_t CopyrightBit = 0x8000000;
inline constexpr uint32_t ModeExtensionMask = 0x30000000;
inline constexpr uint32_t ChannelModeMask = 0xC0000000;

inline constexpr uint8_t VersionMpeg25 = 0;
inline constexpr uint8_t VersionMpeg2 = 2;
inline constexpr uint8_t VersionMpeg1 = 3;
inline constexpr uint8_t LayerIII = 1;
inline constexpr uint8_t LayerII = 2;
inline constexpr uint8_t LayerI = 3;
inline constexpr uint8_t ChannelModeMono = 3;

// One decoded frame header with its derived sizes; a plain record copied by value.
struct FrameHeader
{
    uint32_t Raw = 0;
    uint8_t Version = 0;      // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    uint8_t Layer = 0;        // 0 reserved, 1 Layer III, 2 Layer II, 3 Layer I
    uint16_t Bitrate = 0;     // kbit/s
    uint32_t SampleRate = 0;  // Hz
    uint32_t HeaderSize = 0;  // 4, or 6 with CRC
    uint32_t SideInfoEnd = 0; // HeaderSize + side-information size: where main data begins
    uint32_t FrameLength = 0; // whole frame in bytes, padding included
    uint8_t ChannelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool HasCrc = false;      // a big-endian CRC-16 follows the header
};

// Bitrate table, kbit/s, [version][layer][bitrate index]; reserved rows are all zero.
extern const uint16_t BitrateTable[4][4][16];
// Sample-rate table, Hz, [version][sample-rate index].
extern const uint32_t SampleRateTable[4][4];
// Samples per frame, [version][layer].
extern const uint16_t SamplesPerFrameTable[4][4];
// Slot size in bytes, [layer].
extern const uint8_t SlotSizeTable[4];
// Layer III side-information size in bytes, [version][channel mode]; used for every layer.
extern const uint8_t SideInfoSizeTable[4][4];

// Fills `header` from `raw` and tells whether it is a usable header. The sync bits are not
// tested: callers compare `raw` with a sync mask first. After false the fields are partial.
bool DecodeFrameHeader(FrameHeader& header, uint32_t raw);

inline uint32_t SamplesPerFrame(const FrameHeader& header)
{
    return SamplesPerFrameTable[header.Version & 3][header.Layer & 3];
}

// a x b / c with a 64-bit product, truncated.
uint32_t MulDiv(uint32_t a, uint32_t b, uint32_t c);
// (a x b + c - 1) / c with a 64-bit product: rounded up.
uint32_t MulDivCeil(uint32_t a, uint32_t b, uint32_t c);

uint32_t FramesToSeconds(const FrameHeader& header, uint32_t frames);
uint32_t FramesToMilliseconds(const FrameHeader& header, uint32_t frames);
// Frames needed to cover the time, rounded up; 1 when the header has no samples per frame.
uint32_t SecondsToFrames(const FrameHeader& header, uint32_t seconds);
// Frames within the time, truncated.
uint32_t MillisecondsToFrames(const FrameHeader& header, uint32_t milliseconds);

// -1 when the n bytes are equal, else the index of the first difference (n >= 1).
int CompareBytes(const void* a, const void* b, int n);
uint32_t SwapBytes32(uint32_t x);

// The header word at p, loaded little-endian (file order).
inline uint32_t LoadHeaderWord(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void StoreHeaderWord(uint8_t* p, uint32_t raw)
{
    p[0] = uint8_t(raw);
    p[1] = uint8_t(raw >> 8);
    p[2] = uint8_t(raw >> 16);
    p[3] = uint8_t(raw >> 24);
}

} // namespace zefrin
