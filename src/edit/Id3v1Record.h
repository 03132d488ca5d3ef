// The ID3v1 record of a saved file: kept, created, filled from the file name, and updated
// field by field from the ID3 settings, in the stream model's own record.
#pragma once

#include "settings/SettingsRecord.h"

#include <array>
#include <cstdint>
#include <string>

namespace zefrin {

// Prepares `record` for writing. outId3v1Size is the writer's OutId3v1Size (Id3v1Size x
// TagsKept when the ID3v1 mode is not 0, else 0) and becomes 128 when a record is created.
// editName is the file name the window shows (for the mode that names from it). Returns the
// fill character used for padding (space or 0).
uint8_t PrepareId3v1(std::array<uint8_t, 128>& record, int32_t& outId3v1Size,
                     const SettingsRecord& settings, const std::string& editName);

} // namespace zefrin
