// The WAV (RIFF) wrapper around MP3 data: measuring the header in front of the audio of a
// WAV-embedded MP3, writing the header of such a file (format tag 0x55, MPEG Layer-3), and the
// 16-bit PCM format block that describes decoded audio. All numbers are little-endian.
#pragma once

#include <cstdint>
#include <span>

namespace zefrin {

inline constexpr uint32_t Mp3WavHeaderSize = 58;
inline constexpr uint32_t PcmFormatSize = 18; // a WAVEFORMATEX with cbSize 0

// The length of a WAV header ("RIFF", "WAVE", "fmt " chunk, then directly the "data" chunk
// header) at the start of the data, or 0. The format tag and the chunk lengths other than the
// format chunk's are not looked at: whatever follows is scanned as MPEG audio.
uint32_t ProbeWavHeader(const uint8_t* data, uint32_t size);

// Writes the 58-byte header of an MP3-in-WAV file whose data chunk holds `dataSize` bytes of
// `frameCount` frames lasting `durationMs`. Throws an AssertionFailure (Unit_MP3_RIFF) when a
// count is zero, the average frame size does not fit 16 bits, or the file would not fit RIFF's
// 32-bit length.
void BuildMp3WavHeader(std::span<uint8_t, Mp3WavHeaderSize> out, bool stereo, uint32_t sampleRate,
                       uint32_t dataSize, uint32_t frameCount, uint32_t durationMs);

// Writes the 18-byte PCM format block: 16-bit samples, one or two channels.
void BuildPcmFormat(std::span<uint8_t, PcmFormatSize> out, bool stereo, uint32_t sampleRate);

} // namespace zefrin
