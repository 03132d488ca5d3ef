#include "Crc16.h"

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

constexpr std::array<uint16_t, 256> Table = BuildCrc16Table();

} // namespace

const uint16_t Crc16Table[256] = {
#define ZEFRIN_ROW(i) Table[i], Table[i + 1], Table[i + 2], Table[i + 3], Table[i + 4],           \
                      Table[i + 5], Table[i + 6], Table[i + 7]
    ZEFRIN_ROW(0),   ZEFRIN_ROW(8),   ZEFRIN_ROW(16),  ZEFRIN_ROW(24),  ZEFRIN_ROW(32),
    ZEFRIN_ROW(40),  ZEFRIN_ROW(48),  ZEFRIN_ROW(56),  ZEFRIN_ROW(64),  ZEFRIN_ROW(72),
    ZEFRIN_ROW(80),  ZEFRIN_ROW(88),  ZEFRIN_ROW(96),  ZEFRIN_ROW(104), ZEFRIN_ROW(112),
    ZEFRIN_ROW(120), ZEFRIN_ROW(128), ZEFRIN_ROW(136), ZEFRIN_ROW(144), ZEFRIN_ROW(152),
    ZEFRIN_ROW(160), ZEFRIN_ROW(168), ZEFRIN_ROW(176), ZEFRIN_ROW(184), ZEFRIN_ROW(192),
    ZEFRIN_ROW(200), ZEFRIN_ROW(208), ZEFRIN_ROW(216), ZEFRIN_ROW(224), ZEFRIN_ROW(232),
    ZEFRIN_ROW(240), ZEFRIN_ROW(248),
#undef ZEFRIN_ROW
};

void Crc16Update(const uint8_t* bytes, uint32_t count, uint16_t& crc)
{
    for (uint32_t i = 0; i < count; ++i)
        crc = uint16_t((crc << 8) ^ Table[((crc >> 8) ^ bytes[i]) & 0xFF]);
}

uint16_t FrameCrc(const FrameHeader& header, const uint8_t* frame)
{
    uint16_t crc = 0xFFFF;
    Crc16Update(frame + 2, 2, crc);
    Crc16Update(frame + 6, SideInfoSizeTable[header.Version & 3][header.ChannelMode & 3], crc);
    return uint16_t((crc >> 8) | (crc << 8));
}

} // namespace zefrin
