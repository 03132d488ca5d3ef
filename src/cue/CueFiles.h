// The small files of the cue sheet commands: the cue sheet written, read back, or taken out
// of the ID3v2 tag for the time of a split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zefrin {

// Creates or replaces `name` with `text`. Raises a SystemError naming the file.
void WriteTextFile(const std::string& name, const std::string& text);

// Creates `name` with `size` bytes, never replacing a file: false when a file of that name
// already exists. Other failures raise a SystemError naming the file, and remove what was
// created.
bool WriteNewFile(const std::string& name, const uint8_t* data, size_t size);

// The whole file. Raises a SystemError naming the file when it cannot be read.
std::string ReadTextFile(const std::string& name);

} // namespace zefrin
