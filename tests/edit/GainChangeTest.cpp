// The global_gain rewrite of Layer III side information.
#include "edit/GainChange.h"

#include "support/TestSupport.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

using namespace zefrin;
using namespace zefrin::test;

namespace {

using SideInfo = std::array<uint8_t, 32>;

FrameHeader Reference(uint8_t version, uint8_t channelMode)
{
    SynthFrameShape shape;
    shape.Version = version;
    shape.ChannelMode = channelMode;
    FrameHeader header;
    EXPECT_TRUE(DecodeFrameHeader(header, SynthHeaderWord(shape)));
    return header;
}

// The 8 bits at `bit` (counted from the most significant bit of byte 0).
unsigned ReadField(const SideInfo& s, unsigned bit)
{
    const unsigned word = (unsigned(s[bit / 8]) << 8) | s[bit / 8 + 1];
    return (word >> (8 - bit % 8)) & 0xFF;
}

void WriteField(SideInfo& s, unsigned bit, unsigned value)
{
    unsigned word = (unsigned(s[bit / 8]) << 8) | s[bit / 8 + 1];
    const unsigned shift = 8 - bit % 8;
    word = (word & ~(0xFFu << shift)) | (value << shift);
    s[bit / 8] = uint8_t(word >> 8);
    s[bit / 8 + 1] = uint8_t(word);
}

// Side information of alternating bits, so that a stray write shows anywhere.
SideInfo Pattern()
{
    SideInfo s;
    s.fill(0xA5);
    return s;
}

struct Layout
{
    const char* Name;
    uint8_t Version;
    uint8_t ChannelMode;
    std::vector<unsigned> Bits;
};

const Layout Layouts[] = {
    {"MPEG-1 joint stereo", VersionMpeg1, 1, {41, 100, 159, 218}},
    {"MPEG-1 stereo", VersionMpeg1, 0, {41, 100, 159, 218}},
    {"MPEG-1 mono", VersionMpeg1, 3, {39, 98}},
    {"MPEG-2 stereo", VersionMpeg2, 0, {31, 94}},
    {"MPEG-2 mono", VersionMpeg2, 3, {30}},
    {"MPEG-2.5 dual channel", VersionMpeg25, 2, {31, 94}},
};

TEST(ApplyGainChange, ChangesEveryGainFieldAndNoOtherBit)
{
    for (const Layout& layout : Layouts) {
        SideInfo expected = Pattern();
        SideInfo s = Pattern();
        for (unsigned bit : layout.Bits) {
            WriteField(s, bit, 100);
            WriteField(expected, bit, 103);
        }
        ApplyGainChange(Reference(layout.Version, layout.ChannelMode), s.data(), 3);
        EXPECT_EQ(s, expected) << layout.Name;
    }
}

TEST(ApplyGainChange, ZeroStaysAndOthersAreLimitedToAByte)
{
    // MPEG-1 stereo fields hold 0, 3, 250 and 128.
    const unsigned bits[] = {41, 100, 159, 218};
    const struct
    {
        int Delta;
        unsigned After[4];
    } cases[] = {{8, {0, 11, 255, 136}}, {-8, {0, 0, 242, 120}}, {0, {0, 3, 250, 128}}};
    for (const auto& c : cases) {
        SideInfo s = Pattern();
        const unsigned before[] = {0, 3, 250, 128};
        for (int k = 0; k < 4; ++k)
            WriteField(s, bits[k], before[k]);
        ApplyGainChange(Reference(VersionMpeg1, 0), s.data(), c.Delta);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(ReadField(s, bits[k]), c.After[k]) << c.Delta << " field " << k;
    }
}

} // namespace
