// CRC-16 of MPEG audio frames: non-reflected, polynomial 0x8005, initial value 0xFFFF, no
// final XOR (ISO/IEC 11172-3). "123456789" gives 0xAEE7.
#pragma once

#include "FrameHeader.h"

#include <array>
#include <cstdint>

namespace zefrin {

extern const std::array<uint16_t, 256> Crc16Table;

// Updates the register over count bytes; a count of 0 leaves it unchanged.
void Crc16Update(const uint8_t* bytes, uint32_t count, uint16_t& crc);

// The CRC of the frame at `frame` with the sizes of `header`: header bytes 2-3, then from
// offset 6 the side information (Layer III) or the bit allocation and scale-factor selection
// (Layers I and II, as encoders protect them). The result has its bytes swapped so that it
// equals the stored big-endian word loaded little-endian from offset 4.
uint16_t FrameCrc(const FrameHeader& header, const uint8_t* frame);

// The stored CRC of a frame as FrameCrc returns it (offsets 4-5, little-endian load).
inline uint16_t StoredFrameCrc(const uint8_t* frame)
{
    return uint16_t(frame[4] | (frame[5] << 8));
}

inline void StoreFrameCrc(uint8_t* frame, uint16_t crc)
{
    frame[4] = uint8_t(crc);
    frame[5] = uint8_t(crc >> 8);
}

} // namespace zefrin
