#include "SavedFileOracles.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <sstream>

namespace zefrin::test {

namespace fs = std::filesystem;

namespace {

// python3 on PATH may be an interpreter without mutagen; the system's own one has it.
std::string SystemPython(const std::string& script, const fs::path& file)
{
    return "/usr/bin/env -i PATH=/usr/bin:/bin python3 -c " + ShellQuote(script) + " " +
           ShellQuote(file.string());
}

// "key=value" lines into a map; later keys win.
std::map<std::string, std::string> KeyValueLines(const std::string& text)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

uint32_t Bits(const uint8_t* bytes, uint32_t& bit, int count)
{
    uint32_t value = 0;
    for (int n = 0; n < count; ++n, ++bit)
        value = (value << 1) | ((bytes[bit >> 3] >> (7 - (bit & 7))) & 1);
    return value;
}

} // namespace

std::vector<std::string> Mp3valComplaints(const fs::path& path)
{
    const CommandResult r = RunCommand("mp3val " + ShellQuote(path.string()));
    if (r.ExitCode != 0)
        return {"mp3val failed: " + r.Err};
    std::vector<std::string> complaints;
    std::istringstream lines(r.Out);
    std::string line;
    while (std::getline(lines, line)) {
        const bool complaint = line.rfind("WARNING", 0) == 0 || line.rfind("PROBLEM", 0) == 0 ||
                               line.rfind("ERROR", 0) == 0;
        if (complaint && !Contains(line, "No supported tags in the file") &&
            !Contains(line, "This is a RIFF file, not MPEG stream"))
            complaints.push_back(line);
    }
    return complaints;
}

std::string FfprobeFormatAndCodec(const fs::path& path)
{
    const CommandResult r =
        RunCommand("ffprobe -v error -select_streams a:0 -show_entries "
                   "format=format_name:stream=codec_name -of default=noprint_wrappers=1 " +
                   ShellQuote(path.string()));
    const auto values = KeyValueLines(r.Out);
    const auto format = values.find("format_name");
    const auto codec = values.find("codec_name");
    if (r.ExitCode != 0 || format == values.end() || codec == values.end())
        return "ffprobe failed: " + r.Err;
    return format->second + "/" + codec->second;
}

DecodedPcm DecodeWithMpg123(const fs::path& path, int channels)
{
    const CommandResult r =
        RunCommand("mpg123 -q --no-gapless -e s16 -s " + ShellQuote(path.string()));
    DecodedPcm pcm;
    pcm.Channels = channels;
    pcm.Ok = r.ExitCode == 0 && r.Out.size() % (2 * size_t(channels)) == 0;
    pcm.Samples.resize(r.Out.size() / 2);
    std::memcpy(pcm.Samples.data(), r.Out.data(), pcm.Samples.size() * 2);
    return pcm;
}

MutagenXing ReadXingWithMutagen(const fs::path& path)
{
    static const std::string script = R"(import sys
from mutagen.mp3 import MP3
from mutagen.mp3._util import XingHeader, XingHeaderError
info = MP3(sys.argv[1]).info
with open(sys.argv[1], "rb") as f:
    f.seek(info.frame_offset + XingHeader.get_offset(info))
    try:
        x = XingHeader(f)
    except XingHeaderError:
        print("found=0")
        sys.exit(0)
print("found=1")
print("info=%d" % x.is_info)
print("offset=%d" % info.frame_offset)
print("frames=%d" % x.frames)
print("bytes=%d" % x.bytes)
print("toc=" + " ".join(str(v) for v in x.toc))
)";
    const CommandResult r = RunCommand(SystemPython(script, path));
    MutagenXing xing;
    const auto values = KeyValueLines(r.Out);
    if (r.ExitCode != 0 || values.count("found") == 0) {
        ADD_FAILURE() << "mutagen: " << r.Err;
        return xing;
    }
    xing.Found = values.at("found") == "1";
    if (!xing.Found)
        return xing;
    xing.IsInfo = values.at("info") == "1";
    xing.FrameOffset = std::stol(values.at("offset"));
    xing.Frames = std::stol(values.at("frames"));
    xing.Bytes = std::stol(values.at("bytes"));
    std::istringstream toc(values.at("toc"));
    for (int entry; toc >> entry;)
        xing.Toc.push_back(entry);
    return xing;
}

MutagenTags ReadTagsWithMutagen(const fs::path& path)
{
    static const std::string script = R"(import sys
from mutagen.id3 import ID3, ID3NoHeaderError
from mutagen.id3._id3v1 import find_id3v1
try:
    tag = ID3(sys.argv[1], load_v1=False)
    for key in ("TIT2", "TPE1", "TLEN"):
        if key in tag:
            print("v2.%s=%s" % (key, tag[key].text[0]))
except ID3NoHeaderError:
    pass
with open(sys.argv[1], "rb") as f:
    record, offset = find_id3v1(f)
print("v1=%d" % (record is not None))
for key in ("TIT2", "TPE1", "TALB"):
    if record is not None and key in record:
        print("v1.%s=%s" % (key, record[key].text[0]))
)";
    const CommandResult r = RunCommand(SystemPython(script, path));
    MutagenTags tags;
    const auto values = KeyValueLines(r.Out);
    tags.Ok = r.ExitCode == 0 && values.count("v1") != 0;
    if (!tags.Ok) {
        ADD_FAILURE() << "mutagen: " << r.Err;
        return tags;
    }
    tags.HasId3v1 = values.at("v1") == "1";
    for (const auto& [key, value] : values) {
        if (key.rfind("v2.", 0) == 0)
            tags.Id3v2[key.substr(3)] = value;
        else if (key.rfind("v1.", 0) == 0)
            tags.Id3v1[key.substr(3)] = value;
    }
    return tags;
}

std::vector<WalkedFrame> WalkFrames(const Bytes& file, size_t start, size_t end)
{
    std::vector<WalkedFrame> frames;
    size_t at = start;
    while (at + 4 <= end) {
        WalkedFrame frame;
        frame.Offset = at;
        const uint32_t raw = LoadHeaderWord(file.data() + at);
        if ((raw & 0xE0FF) != 0xE0FF || !DecodeFrameHeader(frame.Header, raw) ||
            frame.Header.FrameLength == 0 || at + frame.Header.FrameLength > end)
            break;
        frames.push_back(frame);
        at += frame.Header.FrameLength;
    }
    return frames;
}

size_t AudioStart(const Bytes& file)
{
    if (file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0) {
        for (size_t at = 12; at + 8 <= file.size();) {
            const uint32_t size = file[at + 4] | (file[at + 5] << 8) | (file[at + 6] << 16) |
                                  (uint32_t(file[at + 7]) << 24);
            if (std::memcmp(file.data() + at, "data", 4) == 0)
                return at + 8;
            at += 8 + size + (size & 1);
        }
        return file.size();
    }
    if (file.size() >= 10 && std::memcmp(file.data(), "ID3", 3) == 0)
        return 10 + ((file[6] & 0x7F) << 21 | (file[7] & 0x7F) << 14 | (file[8] & 0x7F) << 7 |
                     (file[9] & 0x7F));
    return 0;
}

std::vector<int> GlobalGains(const uint8_t* frame, const FrameHeader& header)
{
    const bool mpeg1 = header.Version == VersionMpeg1;
    const int channels = header.ChannelMode == ChannelModeMono ? 1 : 2;
    const int granules = mpeg1 ? 2 : 1;
    const uint8_t* side = frame + header.HeaderSize;
    uint32_t bit = 0;
    if (mpeg1)
        bit += 9 + (channels == 1 ? 5 : 3) + 4 * channels; // main_data_begin, private, scfsi
    else
        bit += 8 + (channels == 1 ? 1 : 2); // main_data_begin, private
    // Per granule and channel: part2_3_length 12, big_values 9, global_gain 8, then the rest
    // of the granule's fields: 59 bits in all for MPEG-1, 63 for the lower sample rates.
    const int granuleBits = mpeg1 ? 59 : 63;
    std::vector<int> gains;
    for (int g = 0; g < granules; ++g) {
        for (int c = 0; c < channels; ++c) {
            uint32_t at = bit + 21;
            gains.push_back(int(Bits(side, at, 8)));
            bit += uint32_t(granuleBits);
        }
    }
    return gains;
}

} // namespace zefrin::test
