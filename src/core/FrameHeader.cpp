#include "FrameHeader.h"

#include <cstring>

namespace zefrin {

// clang-format off
const uint16_t BitrateTable[4][4][16] = {
    // MPEG-2.5
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    // reserved
    {{0}, {0}, {0}, {0}},
    // MPEG-2
    {{0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
    // MPEG-1
    {{0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
};

const uint32_t SampleRateTable[4][4] = {
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
};

const uint16_t SamplesPerFrameTable[4][4] = {
    {0, 576, 1152, 384},
    {0, 0, 0, 0},
    {0, 576, 1152, 384},
    {0, 1152, 1152, 384},
};

const uint8_t SlotSizeTable[4] = {0, 1, 1, 4};

const uint8_t SideInfoSizeTable[4][4] = {
    {17, 17, 17, 9},
    {17, 17, 17, 9},
    {17, 17, 17, 9},
    {32, 32, 32, 17},
};
// clang-format on

bool DecodeFrameHeader(FrameHeader& header, uint32_t raw)
{
    header.Raw = raw;
    header.Version = uint8_t((raw >> 11) & 3);
    if (header.Version == 1)
        return false;
    header.Layer = uint8_t((raw >> 9) & 3);
    if (header.Layer == 0)
        return false;
    header.SampleRate = SampleRateTable[header.Version][(raw >> 18) & 3];
    if (header.SampleRate == 0)
        return false;
    header.Bitrate = BitrateTable[header.Version][header.Layer][(raw >> 20) & 15];
    if (header.Bitrate == 0)
        return false;
    header.ChannelMode = uint8_t(raw >> 30);
    header.HasCrc = (raw & ProtectionBit) == 0;

    const uint32_t slot = SlotSizeTable[header.Layer];
    uint32_t length = uint32_t(SamplesPerFrameTable[header.Version][header.Layer]) *
                      header.Bitrate * 125 / header.SampleRate;
    length &= ~(slot - 1);
    if (raw & PaddingBit)
        length += slot;
    header.FrameLength = length;
    header.HeaderSize = header.HasCrc ? 6 : 4;
    header.SideInfoEnd = SideInfoSizeTable[header.Version][header.ChannelMode] + header.HeaderSize;
    return true;
}

uint32_t MulDiv(uint32_t a, uint32_t b, uint32_t c)
{
    return uint32_t(uint64_t(a) * b / c);
}

uint32_t MulDivCeil(uint32_t a, uint32_t b, uint32_t c)
{
    return uint32_t((uint64_t(a) * b + c - 1) / c);
}

uint32_t FramesToSeconds(const FrameHeader& header, uint32_t frames)
{
    if (header.SampleRate == 0)
        return 0;
    return uint32_t(uint64_t(frames) * SamplesPerFrame(header) / header.SampleRate);
}

uint32_t FramesToMilliseconds(const FrameHeader& header, uint32_t frames)
{
    if (header.SampleRate == 0)
        return 0;
    return uint32_t(uint64_t(frames) * SamplesPerFrame(header) * 1000 / header.SampleRate);
}

uint32_t SecondsToFrames(const FrameHeader& header, uint32_t seconds)
{
    const uint32_t samples = SamplesPerFrame(header);
    if (samples == 0)
        return 1;
    return uint32_t((uint64_t(header.SampleRate) * seconds + samples - 1) / samples);
}

uint32_t MillisecondsToFrames(const FrameHeader& header, uint32_t milliseconds)
{
    const uint32_t samples = SamplesPerFrame(header);
    if (samples == 0)
        return 0;
    return MulDiv(milliseconds, header.SampleRate, samples * 1000);
}

int CompareBytes(const void* a, const void* b, int n)
{
    const auto* x = static_cast<const uint8_t*>(a);
    const auto* y = static_cast<const uint8_t*>(b);
    for (int i = 0; i < n; ++i) {
        if (x[i] != y[i])
            return i;
    }
    return -1;
}

uint32_t SwapBytes32(uint32_t x)
{
    return (x >> 24) | ((x >> 8) & 0xFF00) | ((x << 8) & 0xFF0000) | (x << 24);
}

} // namespace zefrin
