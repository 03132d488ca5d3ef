// Fixtures of the decoding tests: lame/twolame files made at test time, their frames found by
// a plain header walk (independent of the scanner), and a stream model holding them.
#pragma once

#include "core/FrameHeader.h"
#include "core/StreamModel.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zefrin::test {

struct WalkedFrame
{
    uint32_t Offset = 0;
    FrameHeader Header;
};

// Every frame from the first header after an ID3v2 tag, stepping by frame length, up to the
// first place that is not a complete frame.
std::vector<WalkedFrame> WalkFrames(const Bytes& file);

// True when the frame carries a LAME/Xing information tag instead of audio.
bool IsInfoFrame(const Bytes& file, const WalkedFrame& frame);

// Puts the audio frames of the file (the information frame left out, as the scanner does)
// into the model's frame table, with the first one as reference.
void LoadFrames(StreamModel& model, const Bytes& file);

// A WAV file of `shape` encoded with lame `options` in `dir`; empty path on failure.
std::filesystem::path MakeMp3(const TempDir& dir, const std::string& name, const PcmShape& shape,
                              const std::string& options);

} // namespace zefrin::test
