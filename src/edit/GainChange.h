// The lossless volume change of Layer III: every granule carries an 8-bit global_gain in the
// side information, and one step scales the decoded amplitude by 2^(1/4) (1.5 dB).
#pragma once

#include "core/FrameHeader.h"

#include <cstdint>

namespace zefrin {

// Global-gain field layout by [version][channel mode]: count (granules x channels), first
// bit and stride, in bits from the most significant bit of the first side-information byte.
extern const uint8_t GainFieldCount[4][4];
extern const uint8_t GainFieldFirstBit[4][4];
extern const uint8_t GainFieldStride[4][4];

// Adds delta steps to every global_gain field of one frame whose side information starts at
// sideInfo, laid out for the stream's reference header. A gain of 0 stays 0; others are
// limited to 0..255. No other bit changes: the caller recomputes a CRC.
void ApplyGainChange(const FrameHeader& reference, uint8_t* sideInfo, int delta);

// Bytes of side information that ApplyGainChange reads and writes for the reference layout:
// a frame shorter than its header plus these is left alone.
uint32_t GainFieldBytes(const FrameHeader& reference);

} // namespace zefrin
