#include "WavHeader.h"

#include "Errors.h"
#include "FrameHeader.h"

#include <cstring>
#include <limits>

namespace zefrin {

namespace {

constexpr const char* RiffUnit = "Unit_MP3_RIFF";

uint32_t LoadLittle32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void Store16(uint8_t* p, uint32_t value)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

void Store32(uint8_t* p, uint32_t value)
{
    Store16(p, value);
    Store16(p + 2, value >> 16);
}

void StoreText(uint8_t* p, const char* fourLetters)
{
    std::memcpy(p, fourLetters, 4);
}

bool BytesAre(const uint8_t* p, const char* fourLetters)
{
    return CompareBytes(p, fourLetters, 4) < 0;
}

} // namespace

uint32_t ProbeWavHeader(const uint8_t* data, uint32_t size)
{
    if (size < 70)
        return 0;
    if (!BytesAre(data, "RIFF") || !BytesAre(data + 8, "WAVE") || !BytesAre(data + 12, "fmt "))
        return 0;
    // 64 bits: a format length near 4 GiB must not wrap around to a small header.
    const uint64_t formatLength = LoadLittle32(data + 16);
    const uint64_t headerLength = formatLength + 28;
    if (headerLength > size)
        return 0;
    if (!BytesAre(data + formatLength + 20, "data"))
        return 0;
    return uint32_t(headerLength);
}

void BuildMp3WavHeader(std::span<uint8_t, Mp3WavHeaderSize> out, bool stereo, uint32_t sampleRate,
                       uint32_t dataSize, uint32_t frameCount, uint32_t durationMs)
{
    ZEFRIN_ASSERT(RiffUnit, frameCount > 0);
    ZEFRIN_ASSERT(RiffUnit, durationMs > 0);
    ZEFRIN_ASSERT(RiffUnit, sampleRate > 0);
    const uint32_t blockSize = dataSize / frameCount;
    ZEFRIN_ASSERT(RiffUnit, blockSize <= 0xFFFF);
    ZEFRIN_ASSERT(RiffUnit, dataSize <= std::numeric_limits<uint32_t>::max() - 50);

    uint8_t* h = out.data();
    StoreText(h + 0, "RIFF");
    Store32(h + 4, dataSize + 50);
    StoreText(h + 8, "WAVE");
    StoreText(h + 12, "fmt ");
    Store32(h + 16, 30);
    Store16(h + 20, 0x0055); // MPEG Layer-3
    Store16(h + 22, stereo ? 2 : 1);
    Store32(h + 24, sampleRate);
    Store32(h + 28, MulDiv(dataSize, 1000, durationMs));
    Store16(h + 32, 1);  // nBlockAlign
    Store16(h + 34, 0);  // wBitsPerSample
    Store16(h + 36, 12); // cbSize: the MPEG Layer-3 fields that follow
    Store16(h + 38, 1);  // wID: MPEG
    Store32(h + 40, 2);  // fdwFlags: padding off
    Store16(h + 44, blockSize);
    Store16(h + 46, 1); // nFramesPerBlock
    Store16(h + 48, 0); // nCodecDelay
    StoreText(h + 50, "data");
    Store32(h + 54, dataSize);
}

void BuildPcmFormat(std::span<uint8_t, PcmFormatSize> out, bool stereo, uint32_t sampleRate)
{
    const uint32_t channels = stereo ? 2 : 1;
    uint8_t* f = out.data();
    Store16(f + 0, 1); // PCM
    Store16(f + 2, channels);
    Store32(f + 4, sampleRate);
    Store32(f + 8, sampleRate * 2 * channels);
    Store16(f + 12, 2 * channels);
    Store16(f + 14, 16);
    Store16(f + 16, 0);
}

} // namespace zefrin
