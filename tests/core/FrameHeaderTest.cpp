#include "core/FrameHeader.h"

#include "core/Crc16.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace zefrin;
using zefrin::test::SynthFrameShape;
using zefrin::test::SynthHeaderWord;

namespace {

struct LengthCase
{
    const char* Name;
    SynthFrameShape Shape;
    uint32_t FrameLength;
    uint32_t HeaderSize;
    uint32_t SideInfoEnd;
};

SynthFrameShape Shape(uint8_t version, uint8_t layer, int bitrate, int rate, uint8_t mode, bool crc,
                      bool padding)
{
    SynthFrameShape s;
    s.Version = version;
    s.Layer = layer;
    s.BitrateIndex = bitrate;
    s.SampleRateIndex = rate;
    s.ChannelMode = mode;
    s.Crc = crc;
    s.Padding = padding;
    return s;
}

} // namespace

TEST(FrameHeader, DerivedSizes)
{
    const LengthCase cases[] = {
        {"MPEG-1 L3 128k 44.1k", Shape(3, 1, 9, 0, 1, false, false), 417, 4, 36},
        {"MPEG-1 L3 128k 44.1k padded", Shape(3, 1, 9, 0, 1, false, true), 418, 4, 36},
        {"MPEG-1 L3 32k 32k", Shape(3, 1, 1, 2, 0, false, false), 144, 4, 36},
        {"MPEG-1 L1 32k 44.1k: slots of 4", Shape(3, 3, 1, 0, 0, false, false), 32, 4, 36},
        {"MPEG-1 L1 padded adds one slot", Shape(3, 3, 1, 0, 0, false, true), 36, 4, 36},
        {"MPEG-2 L3 8k 22.05k", Shape(2, 1, 1, 0, 0, false, false), 26, 4, 21},
        {"MPEG-2 L2 uses 1152 samples", Shape(2, 2, 1, 0, 0, false, false), 52, 4, 21},
        {"MPEG-1 stereo CRC", Shape(3, 1, 9, 0, 0, true, false), 417, 6, 38},
        {"MPEG-1 mono CRC", Shape(3, 1, 9, 0, 3, true, false), 417, 6, 23},
        {"MPEG-2 stereo CRC", Shape(2, 1, 8, 0, 0, true, false), 208, 6, 23},
        {"MPEG-2 mono CRC", Shape(2, 1, 8, 0, 3, true, false), 208, 6, 15},
        {"MPEG-1 mono", Shape(3, 1, 9, 0, 3, false, false), 417, 4, 21},
        {"MPEG-2 mono", Shape(2, 1, 8, 0, 3, false, false), 208, 4, 13},
        {"MPEG-2.5 L3 8k 8k", Shape(0, 1, 1, 2, 3, false, false), 72, 4, 13},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FrameHeader h;
        ASSERT_TRUE(DecodeFrameHeader(h, SynthHeaderWord(c.Shape)));
        EXPECT_EQ(h.FrameLength, c.FrameLength);
        EXPECT_EQ(h.HeaderSize, c.HeaderSize);
        EXPECT_EQ(h.SideInfoEnd, c.SideInfoEnd);
        EXPECT_EQ(h.HasCrc, c.Shape.Crc);
        EXPECT_EQ(h.Version, c.Shape.Version);
        EXPECT_EQ(h.Layer, c.Shape.Layer);
    }
}

TEST(FrameHeader, RejectsReservedFields)
{
    const uint32_t good = SynthHeaderWord(Shape(3, 1, 9, 0, 1, false, false));
    FrameHeader h;
    ASSERT_TRUE(DecodeFrameHeader(h, good));
    const struct
    {
        const char* Name;
        uint32_t Raw;
    } cases[] = {
        {"version 01", (good & ~VersionMask) | (1u << 11)},
        {"layer 00", good & ~LayerMask},
        {"sample-rate index 3", good | SampleRateMask},
        {"bitrate index 0 (free format)", good & ~BitrateMask},
        {"bitrate index 15", good | BitrateMask},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_FALSE(DecodeFrameHeader(h, c.Raw));
    }
}

TEST(FrameHeader, TimeConversions)
{
    FrameHeader h;
    ASSERT_TRUE(DecodeFrameHeader(h, SynthHeaderWord(Shape(3, 1, 9, 0, 1, false, false))));
    EXPECT_EQ(FramesToSeconds(h, 1000), 26u);
    EXPECT_EQ(FramesToMilliseconds(h, 1000), 26122u);
    EXPECT_EQ(SecondsToFrames(h, 26), 996u);
    EXPECT_EQ(MillisecondsToFrames(h, 26122), 999u);
    // An hour and more does not overflow the intermediate products.
    EXPECT_EQ(FramesToMilliseconds(h, 200000), 5224489u);

    FrameHeader invalid;
    EXPECT_EQ(SecondsToFrames(invalid, 10), 1u);
}

TEST(FrameHeader, Arithmetic)
{
    EXPECT_EQ(MulDivCeil(16382, 100, 16383), 100u);
    EXPECT_EQ(MulDivCeil(1, 100, 16383), 1u);
    EXPECT_EQ(MulDiv(4000000000u, 3, 4), 3000000000u);
    EXPECT_EQ(SwapBytes32(0x11223344), 0x44332211u);
    EXPECT_EQ(CompareBytes("LYRICS200", "LYRICS200", 9), -1);
    EXPECT_EQ(CompareBytes("LYRICS200", "LYRICS201", 9), 8);
}

TEST(Crc16, TableAndCheckValues)
{
    EXPECT_EQ(Crc16Table[1], 0x8005);
    EXPECT_EQ(Crc16Table[255], 0x0202);
    const auto crcOf = [](const char* text) {
        uint16_t crc = 0xFFFF;
        Crc16Update(reinterpret_cast<const uint8_t*>(text), uint32_t(std::strlen(text)), crc);
        return crc;
    };
    EXPECT_EQ(crcOf("123456789"), 0xAEE7);
    EXPECT_EQ(crcOf("abc"), 0x44D8);
    uint16_t crc = 0x1234;
    Crc16Update(nullptr, 0, crc);
    EXPECT_EQ(crc, 0x1234);
}

TEST(Crc16, FrameCrcCoversHeaderHalfAndSideInformation)
{
    for (uint8_t mode : {uint8_t(0), uint8_t(3)}) {
        for (uint8_t version : {uint8_t(3), uint8_t(2)}) {
            SCOPED_TRACE(testing::Message() << "version " << int(version) << " mode " << int(mode));
            SynthFrameShape shape = Shape(version, 1, 8, 0, mode, true, false);
            auto frame = zefrin::test::SynthFrame(shape);
            FrameHeader h;
            ASSERT_TRUE(DecodeFrameHeader(h, LoadHeaderWord(frame.data())));
            EXPECT_EQ(FrameCrc(h, frame.data()), StoredFrameCrc(frame.data()));

            // Main data is not covered; the last side-information byte and byte 2 are.
            auto changed = frame;
            changed[h.SideInfoEnd] ^= 0xFF;
            EXPECT_EQ(FrameCrc(h, changed.data()), StoredFrameCrc(frame.data()));
            changed = frame;
            changed[h.SideInfoEnd - 1] ^= 0x01;
            EXPECT_NE(FrameCrc(h, changed.data()), StoredFrameCrc(frame.data()));
            changed = frame;
            changed[2] ^= 0x10;
            EXPECT_NE(FrameCrc(h, changed.data()), StoredFrameCrc(frame.data()));
        }
    }
}
