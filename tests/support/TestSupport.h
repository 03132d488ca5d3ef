// Shared test helpers: temporary folders, files, running outside tools, and fixtures made at
// test time (PCM with sox-free synthesis, encoded by lame and twolame; frames built by hand).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zefrin::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempDir
{
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

  private:
    std::filesystem::path m_path;
};

Bytes ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes);
std::string ReadFileText(const std::filesystem::path& path);
void WriteFileText(const std::filesystem::path& path, const std::string& text);

struct CommandResult
{
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};
// Runs a shell command line; stdout and stderr are captured separately.
CommandResult RunCommand(const std::string& commandLine);
// Quotes a text for the shell.
std::string ShellQuote(const std::string& text);

// Synthesised 16-bit PCM, written as a WAV file: a sine of `frequency` Hz at `amplitude`
// (0..32767), with `silenceBefore`/`silenceAfter` seconds of digital silence around it.
struct PcmShape
{
    uint32_t SampleRate = 44100;
    int Channels = 2;
    double Seconds = 2.0;
    double Frequency = 440.0;
    int Amplitude = 8000;
    double SilenceBefore = 0.0;
    double SilenceAfter = 0.0;
};
void WritePcmWav(const std::filesystem::path& path, const PcmShape& shape);

// Encodes a WAV file with lame or twolame; `options` are the encoder's own options.
// Fails the current test (and returns an empty path) when the encoder fails.
std::filesystem::path EncodeWithLame(const std::filesystem::path& wav,
                                     const std::filesystem::path& mp3, const std::string& options);
std::filesystem::path EncodeWithTwolame(const std::filesystem::path& wav,
                                        const std::filesystem::path& mp2,
                                        const std::string& options);

// Frames built by hand: a valid header word (file order) with the given fields and a payload.
struct SynthFrameShape
{
    uint8_t Version = 3;     // raw version bits
    uint8_t Layer = 1;       // raw layer bits
    int BitrateIndex = 9;    // 128 kbit/s for MPEG-1 Layer III
    int SampleRateIndex = 0; // 44100 Hz for MPEG-1
    uint8_t ChannelMode = 1; // joint stereo
    bool Crc = false;        // protection bit clear, a correct CRC stored
    bool Padding = false;
    bool RandomPayload = true;   // pseudo-random main data (never judged silent)
    uint8_t Fill = 0x55;         // payload byte after the side information when not random
    uint32_t Seed = 1;           // seed of the pseudo-random payload
    bool SilentSideInfo = false; // all side information zero (no Huffman data)
};
uint32_t SynthHeaderWord(const SynthFrameShape& shape);
// One frame; with Crc its CRC is computed and stored. Side information is filled with a
// non-zero pattern unless SilentSideInfo.
Bytes SynthFrame(const SynthFrameShape& shape);
// `count` frames of the same shape, one after another.
Bytes SynthStream(const SynthFrameShape& shape, int count);

void Append(Bytes& to, const Bytes& from);

// The number of audio packets ffprobe counts in a file.
long FfprobePacketCount(const std::filesystem::path& path);

// 16-bit interleaved PCM of the whole file as mpg123 decodes it (its default gapless mode);
// a failed decode is a test failure.
std::vector<int16_t> DecodeWithMpg123(const std::filesystem::path& path);

// The highest absolute sample between two times (seconds) of 44.1 kHz stereo PCM.
int PeakSample(const std::vector<int16_t>& pcm, double from, double to);

} // namespace zefrin::test
