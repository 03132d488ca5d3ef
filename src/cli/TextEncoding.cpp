#include "TextEncoding.h"

#include <cstdint>

namespace zefrin {

namespace {

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none (overlong forms,
// surrogates and values above U+10FFFF are not well-formed).
size_t Utf8SequenceLength(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    }
    return length;
}

template <typename OnCodeUnit> std::string Convert(std::string_view bytes, OnCodeUnit onControl)
{
    std::string result;
    result.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F)
                onControl(result, byte);
            else
                result += char(byte);
            ++i;
            continue;
        }
        const size_t length = Utf8SequenceLength(bytes, i);
        if (length == 2 && byte == 0xC2 && static_cast<uint8_t>(bytes[i + 1]) < 0xA0) {
            onControl(result, static_cast<uint8_t>(bytes[i + 1])); // a C1 control
            i += 2;
        } else if (length > 0) {
            result.append(bytes.substr(i, length));
            i += length;
        } else if (byte < 0xA0) {
            onControl(result, byte); // ISO-8859-1 has its C1 controls here
            ++i;
        } else {
            result += char(0xC0 | (byte >> 6));
            result += char(0x80 | (byte & 0x3F));
            ++i;
        }
    }
    return result;
}

} // namespace

std::string ToUtf8(std::string_view bytes)
{
    return Convert(bytes, [](std::string& out, uint8_t code) {
        if (code < 0x80) {
            out += char(code);
        } else {
            out += char(0xC2);
            out += char(code);
        }
    });
}

std::string ToPrintableUtf8(std::string_view bytes, bool keepLineBreaks)
{
    return Convert(bytes, [keepLineBreaks](std::string& out, uint8_t code) {
        out += keepLineBreaks && code == '\n' ? '\n' : '?';
    });
}

} // namespace zefrin
