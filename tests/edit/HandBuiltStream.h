// A stream model filled in by hand, as the scanner and the opening would leave it, without a
// file behind it: frames of one shape, each followed by `gap` bytes that belong to no frame.
#pragma once

#include "core/FrameHeader.h"
#include "core/StreamModel.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <memory>

namespace zefrin::test {

inline constexpr uint32_t ConstantBitrateBits = 0xFFFDFFFF;

inline std::unique_ptr<StreamModel>
HandBuiltStream(int32_t frameCount, const SynthFrameShape& shape = {}, uint32_t gap = 0)
{
    auto model = std::make_unique<StreamModel>();
    StreamInfo& info = model->Info;
    EXPECT_TRUE(DecodeFrameHeader(info.Reference, SynthHeaderWord(shape)));
    info.SilentFrameHeader = info.Reference;
    info.SeekFrameHeader = info.Reference;
    info.ConstantBits = ConstantBitrateBits;
    info.FrameCount = frameCount;
    const uint32_t length = info.Reference.FrameLength;
    for (int32_t i = 0; i <= frameCount; ++i) {
        FrameRecord& record = model->Frames[uint32_t(i)];
        record = FrameRecord{};
        record.Offset = uint32_t(i) * (length + gap);
        record.Length = length;
        record.HeaderSize = uint16_t(info.Reference.HeaderSize);
    }
    info.FileSize = int64_t(frameCount) * (length + gap);
    model->DurationSeconds = FramesToSeconds(info.Reference, uint32_t(frameCount));
    return model;
}

} // namespace zefrin::test
