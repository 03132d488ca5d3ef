#include "Crc16.h"

#include "BitReader.h"

#include <algorithm>
#include <array>

namespace zefrin {

namespace {

constexpr std::array<uint16_t, 256> BuildCrc16Table()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t value = uint16_t(i << 8);
        for (int step = 0; step < 8; ++step) {
            const bool out = (value & 0x8000) != 0;
            value = uint16_t(value << 1);
            if (out)
                value ^= 0x8005;
        }
        table[i] = value;
    }
    return table;
}

} // namespace

constexpr std::array<uint16_t, 256> Crc16Table = BuildCrc16Table();

void Crc16Update(const uint8_t* bytes, uint32_t count, uint16_t& crc)
{
    for (uint32_t i = 0; i < count; ++i)
        crc = uint16_t((crc << 8) ^ Crc16Table[((crc >> 8) ^ bytes[i]) & 0xFF]);
}

namespace {

void Crc16UpdateBits(const uint8_t* bytes, uint32_t bits, uint16_t& crc)
{
    Crc16Update(bytes, bits / 8, crc);
    if (bits % 8 == 0)
        return;
    const uint8_t last = bytes[bits / 8];
    for (uint32_t i = 0; i < bits % 8; ++i) {
        const bool bit = (last >> (7 - i)) & 1;
        const bool top = (crc & 0x8000) != 0;
        crc = uint16_t(crc << 1);
        if (top != bit)
            crc ^= 0x8005;
    }
}

// Bits of a Layer I or II frame that its CRC protects, counted from offset 6: the bit
// allocation and, for Layer II, the scale-factor selection of every allocated subband.
uint32_t ProtectedBitsLayerIorII(const FrameHeader& header, const uint8_t* frame, uint32_t limit)
{
    const uint32_t channels = header.ChannelMode == ChannelModeMono ? 1 : 2;
    const uint32_t modeExtension = (header.Raw >> 28) & 3;
    const uint8_t* p = frame + 6;
    if (header.Layer == LayerI) {
        uint32_t bound = header.ChannelMode == 1 ? 4 * (modeExtension + 1) : 32;
        if (channels == 1)
            bound = 32;
        return 4 * (bound * channels + (32 - bound));
    }
    // Layer II: the allocation table follows from the version, rate and bitrate per channel.
    int table;
    const uint32_t perChannel = header.Bitrate / channels;
    if (header.Version != VersionMpeg1)
        table = 4;
    else if ((header.SampleRate == 48000 && perChannel >= 56) ||
             (perChannel >= 56 && perChannel <= 80))
        table = 0;
    else if (header.SampleRate != 48000 && perChannel >= 96)
        table = 1;
    else if (header.SampleRate != 32000 && perChannel <= 48)
        table = 2;
    else
        table = 3;
    static const uint32_t SubbandLimit[5] = {27, 30, 8, 12, 30};
    const auto allocationBits = [table](uint32_t sb) -> uint32_t {
        if (table <= 1)
            return sb <= 10 ? 4 : (sb <= 22 ? 3 : 2);
        if (table <= 3)
            return sb <= 1 ? 4 : 3;
        return sb <= 3 ? 4 : (sb <= 10 ? 3 : 2);
    };
    const uint32_t limitSb = SubbandLimit[table];
    uint32_t bound = header.ChannelMode == 1 ? 4 * (modeExtension + 1) : limitSb;
    if (channels == 1 || bound > limitSb)
        bound = limitSb;
    uint32_t bit = 0;
    uint32_t allocated = 0;
    for (uint32_t sb = 0; sb < limitSb; ++sb) {
        const uint32_t n = allocationBits(sb);
        const uint32_t reads = sb < bound ? channels : 1;
        for (uint32_t ch = 0; ch < reads; ++ch) {
            if (bit + n > limit)
                return limit;
            if (ReadBits(p, limit / 8, bit, n) != 0)
                allocated += sb < bound ? 1 : channels;
            bit += n;
        }
    }
    return std::min(limit, bit + 2 * allocated);
}

} // namespace

uint16_t FrameCrc(const FrameHeader& header, const uint8_t* frame)
{
    uint16_t crc = 0xFFFF;
    Crc16Update(frame + 2, 2, crc);
    if (header.Layer == LayerIII) {
        Crc16Update(frame + 6, SideInfoSizeTable[header.Version & 3][header.ChannelMode & 3], crc);
    } else {
        // Layers I and II protect their bit allocation, not a side information; the bits
        // never reach past the frame.
        const uint32_t limit = header.FrameLength > 6 ? (header.FrameLength - 6) * 8 : 0;
        Crc16UpdateBits(frame + 6, ProtectedBitsLayerIorII(header, frame, limit), crc);
    }
    return uint16_t((crc >> 8) | (crc << 8));
}

} // namespace zefrin
