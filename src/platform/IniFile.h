// Ini files: the settings export file Zefrin.ini and the language files. IniFile holds one
// file's lines in memory and follows the classic profile-file rules; IniSettingsStore is the
// settings store over such a file.
#pragma once

#include "settings/SettingsStore.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zefrin {

// Reading: a line "[name]" opens a section; within it, "key=value" lines hold the values.
// Section and key names are compared without regard to letter case; blanks around names and
// values are ignored; one pair of double quotes enclosing the whole value is removed; a value
// is read up to 2047 characters. Lines starting with ';' are comments; a key before the first
// section belongs to none. When a section or key occurs twice, the first occurrence counts.
// Writing replaces the key's line where the key exists and otherwise adds the key at the end
// of its section (adding the section at the end of the file); all other lines, comments
// included, stay as they were.
class IniFile
{
  public:
    static constexpr size_t ValueLimit = 2047;

    IniFile() = default;
    static IniFile FromText(std::string_view text);
    // A missing file gives an empty one (it is created when saved). Raises an Error with the
    // system's text when the file exists but cannot be read.
    static IniFile Load(const std::filesystem::path& path);

    // The value as read by the rules above, or nothing when the key is missing.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& defaultValue) const;

    // Stores the value as given (no quotes are added). Raises an Error for a name or value that
    // would not read back as itself: a line break anywhere, an empty key, a key holding '=' or
    // starting with '[' or ';', a section name holding ']'.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    // The file's text; line breaks as in the loaded file (LF for a new one), a final one
    // included.
    std::string Text() const;

    // Replaces the file at `path` with Text(): written to a temporary file in the same folder
    // and renamed over it, so a failure leaves the old file whole. A symbolic link is followed.
    // Raises an Error with the system's text on failure.
    void Save(const std::filesystem::path& path) const;

  private:
    std::optional<size_t> FindKeyLine(std::string_view section, std::string_view key) const;

    std::vector<std::string> m_lines; // without their line breaks
    std::string m_lineBreak = "\n";
};

// The settings store over an ini file. The file is read when the store is made; writes collect
// in memory and reach the disk at Flush (which WriteSettings calls). Integers are written as
// decimal text and read in decimal or "0x" hexadecimal; a value that is no number gives the
// default. A text that the reading rules would change (blanks at either end, or enclosing
// quotes of its own) is written inside one more pair of quotes, so every text reads back as
// written.
class IniSettingsStore : public SettingsStore
{
  public:
    // Raises an Error when the file exists but cannot be read.
    explicit IniSettingsStore(std::filesystem::path path);
    // Flushes pending writes; a failure here goes unreported, so callers that write call
    // Flush themselves.
    ~IniSettingsStore() override;
    IniSettingsStore(const IniSettingsStore&) = delete;
    IniSettingsStore& operator=(const IniSettingsStore&) = delete;

    int32_t ReadInteger(const std::string& section, const std::string& name,
                        int32_t defaultValue) const override;
    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& defaultValue) const override;
    void WriteInteger(const std::string& section, const std::string& name, int32_t value) override;
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    void Flush() override;

    const IniFile& File() const { return m_file; }

  private:
    std::filesystem::path m_path;
    IniFile m_file;
    bool m_pending = false;
};

} // namespace zefrin
