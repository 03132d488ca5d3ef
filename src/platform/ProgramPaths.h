// Where the program keeps its files: the program folder (settings export file, language
// files), the preview file, and the settings export and import through Zefrin.ini.
#pragma once

#include "settings/SettingsRecord.h"

#include <filesystem>
#include <string>

namespace zefrin {

// The folder of the running executable, ending with '/'; fixed at the first call.
const std::string& ProgramFolder();

// The preview clip file, fixed at the first call: "Zefrin.preview.mp3" in the user's data
// folder ($XDG_DATA_HOME, usually ~/.local/share, standing in for the application-data
// folder); where that is missing and cannot be made, the documents folder, then the home
// folder, then the temporary folder.
const std::string& PreviewFilePath();
// The same rule, worked out anew at each call (the environment may have changed).
std::string FindPreviewFilePath();

// ProgramFolder() + "Zefrin.ini".
std::string SettingsExportPath();

// Writes every setting into section "Zefrin" of the ini file at `path`, keeping the file's
// other sections and keys. Raises an Error with the system's text when it cannot be written.
void ExportSettings(const SettingsRecord& record, const std::filesystem::path& path);

// Reads the settings from the ini file at `path`; keys missing from the file leave the
// record's values, texts longer than 30 characters are cut. Raises an Error (path followed by
// " not found") when there is no such file, rather than importing nothing in silence.
void ImportSettings(SettingsRecord& record, const std::filesystem::path& path);

} // namespace zefrin
