// A name/value store divided into sections: where the settings and the window positions
// persist. Two back ends implement it: the per-user store (UserSettingsStore) and ini files
// (IniSettingsStore); tests use an in-memory one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zefrin {

class SettingsStore
{
  public:
    virtual ~SettingsStore() = default;

    // A missing value, or one that is no number, gives `defaultValue`.
    virtual int32_t ReadInteger(const std::string& section, const std::string& name,
                                int32_t defaultValue) const = 0;
    // A missing value gives `defaultValue`.
    virtual std::string ReadString(const std::string& section, const std::string& name,
                                   const std::string& defaultValue) const = 0;
    virtual void WriteInteger(const std::string& section, const std::string& name,
                              int32_t value) = 0;
    virtual void WriteString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;

    // Makes what was written permanent. Raises an Error carrying the system's text when the
    // back end cannot be written; the values stay pending, so a later Flush may retry.
    virtual void Flush() {}
};

// The text-to-integer rule the stores share. Blanks around the number are ignored; decimal
// text may carry a minus sign; with `allowHex`, "0x" or "0X" followed by 1 to 8 hexadecimal
// digits is accepted too. Values from -2^31 to 2^32-1 are taken and wrapped to 32 bits, as a
// 32-bit register value would be; anything else (empty text, trailing characters, a value out
// of range) is no number and gives nothing.
std::optional<int32_t> ParseSettingInteger(std::string_view text, bool allowHex);

// Setting names, sections and keys compare without regard to the case of ASCII letters.
bool SameLetters(std::string_view a, std::string_view b);

} // namespace zefrin
