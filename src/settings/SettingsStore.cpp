#include "SettingsStore.h"

#include <cctype>
#include <charconv>

namespace zefrin {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::optional<int32_t> ParseSettingInteger(std::string_view text, bool allowHex)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;

    int base = 10;
    if (allowHex && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        if (text.size() > 8)
            return std::nullopt;
        base = 16;
    }
    // from_chars takes a minus sign but no plus sign; hexadecimal digits may not be signed.
    if (base == 16 && (text.front() == '-' || text.front() == '+'))
        return std::nullopt;

    int64_t value = 0;
    const char* end = text.data() + text.size();
    auto [last, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || last != end)
        return std::nullopt;
    if (value < INT32_MIN || value > int64_t(UINT32_MAX))
        return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

bool SameLetters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace zefrin
