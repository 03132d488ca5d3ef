#include "AudioFixtures.h"

#include <algorithm>
#include <cstring>

namespace zefrin::test {

std::vector<WalkedFrame> WalkFrames(const Bytes& file)
{
    std::vector<WalkedFrame> frames;
    size_t at = 0;
    if (file.size() >= 10 && std::memcmp(file.data(), "ID3", 3) == 0) {
        at = 10 + ((size_t(file[6] & 0x7F) << 21) | (size_t(file[7] & 0x7F) << 14) |
                   (size_t(file[8] & 0x7F) << 7) | size_t(file[9] & 0x7F));
    }
    while (at + 4 <= file.size()) {
        WalkedFrame frame;
        frame.Offset = uint32_t(at);
        const uint32_t raw = LoadHeaderWord(file.data() + at);
        if ((raw & SyncMask) != SyncMask || !DecodeFrameHeader(frame.Header, raw) ||
            at + frame.Header.FrameLength > file.size())
            break;
        frames.push_back(frame);
        at += frame.Header.FrameLength;
    }
    return frames;
}

bool IsInfoFrame(const Bytes& file, const WalkedFrame& frame)
{
    const auto begin = file.begin() + frame.Offset;
    // The tag sits right after the side information, well inside the first 64 bytes.
    const auto end = begin + std::min<uint32_t>(frame.Header.FrameLength, 64);
    for (const char* tag : {"Xing", "Info"}) {
        if (std::search(begin, end, tag, tag + 4) != end)
            return true;
    }
    return false;
}

void LoadFrames(StreamModel& model, const Bytes& file)
{
    std::vector<WalkedFrame> frames = WalkFrames(file);
    if (!frames.empty() && IsInfoFrame(file, frames.front()))
        frames.erase(frames.begin());
    model.Info.FrameCount = int32_t(frames.size());
    if (!frames.empty())
        model.Info.Reference = frames.front().Header;
    for (size_t i = 0; i < frames.size(); ++i) {
        FrameRecord& record = model.Frames[uint32_t(i)];
        record = FrameRecord{};
        record.Offset = frames[i].Offset;
        record.Length = frames[i].Header.FrameLength;
        record.HeaderSize = uint16_t(frames[i].Header.HeaderSize);
        record.Level = -1;
    }
}

std::filesystem::path MakeMp3(const TempDir& dir, const std::string& name, const PcmShape& shape,
                              const std::string& options)
{
    const auto wav = dir / (name + ".wav");
    WritePcmWav(wav, shape);
    return EncodeWithLame(wav, dir / (name + ".mp3"), options);
}

} // namespace zefrin::test
