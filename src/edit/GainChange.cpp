#include "GainChange.h"

namespace zefrin {

// clang-format off
//                                   stereo modes          mono
const uint8_t GainFieldCount[4][4]    = {{2, 2, 2, 1},     {0, 0, 0, 0}, {2, 2, 2, 1},     {4, 4, 4, 2}};
const uint8_t GainFieldFirstBit[4][4] = {{31, 31, 31, 30}, {0, 0, 0, 0}, {31, 31, 31, 30}, {41, 41, 41, 39}};
const uint8_t GainFieldStride[4][4]   = {{63, 63, 63, 63}, {0, 0, 0, 0}, {63, 63, 63, 63}, {59, 59, 59, 59}};
// clang-format on

void ApplyGainChange(const FrameHeader& reference, uint8_t* sideInfo, int delta)
{
    const unsigned version = reference.Version & 3;
    const unsigned mode = reference.ChannelMode & 3;
    const unsigned count = GainFieldCount[version][mode];
    unsigned bit = GainFieldFirstBit[version][mode];
    const unsigned stride = GainFieldStride[version][mode];
    for (unsigned n = 0; n < count; ++n, bit += stride) {
        uint8_t* at = sideInfo + bit / 8;
        unsigned word = (unsigned(at[0]) << 8) | at[1];
        const unsigned shift = 8 - bit % 8;
        int gain = int((word >> shift) & 0xFF);
        if (gain == 0)
            continue;
        gain += delta;
        gain = gain < 0 ? 0 : (gain > 255 ? 255 : gain);
        word = (word & ~(0xFFu << shift)) | (unsigned(gain) << shift);
        at[0] = uint8_t(word >> 8);
        at[1] = uint8_t(word);
    }
}

uint32_t GainFieldBytes(const FrameHeader& reference)
{
    const unsigned version = reference.Version & 3;
    const unsigned mode = reference.ChannelMode & 3;
    const unsigned count = GainFieldCount[version][mode];
    if (count == 0)
        return 0;
    const unsigned lastBit =
        GainFieldFirstBit[version][mode] + (count - 1) * GainFieldStride[version][mode];
    return lastBit / 8 + 2; // each field is read as a 16-bit word
}

} // namespace zefrin
