#include "JsonWriter.h"

#include "TextEncoding.h"

#include <cmath>
#include <cstdio>

namespace zefrin {

JsonWriter& JsonWriter::Key(std::string_view name)
{
    BeforeValue();
    m_out << Quote(name) << ": ";
    m_afterKey = true;
    return *this;
}

void JsonWriter::BeforeValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasMembers.empty())
        return;
    if (m_hasMembers.back())
        m_out << ',';
    m_hasMembers.back() = true;
    m_out << '\n' << std::string(2 * m_hasMembers.size(), ' ');
}

void JsonWriter::Open(char bracket)
{
    BeforeValue();
    m_out << bracket;
    m_hasMembers.push_back(false);
}

void JsonWriter::Close(char bracket)
{
    const bool hadMembers = m_hasMembers.back();
    m_hasMembers.pop_back();
    if (hadMembers)
        m_out << '\n' << std::string(2 * m_hasMembers.size(), ' ');
    m_out << bracket;
}

JsonWriter& JsonWriter::BeginObject()
{
    Open('{');
    return *this;
}

JsonWriter& JsonWriter::EndObject()
{
    Close('}');
    return *this;
}

JsonWriter& JsonWriter::BeginArray()
{
    Open('[');
    return *this;
}

JsonWriter& JsonWriter::EndArray()
{
    Close(']');
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view bytes)
{
    BeforeValue();
    m_out << Quote(bytes);
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t value)
{
    BeforeValue();
    m_out << value;
    return *this;
}

JsonWriter& JsonWriter::Number(double value)
{
    BeforeValue();
    // JSON has no infinity or NaN.
    if (!std::isfinite(value)) {
        m_out << "null";
        return *this;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    m_out << text;
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value)
{
    BeforeValue();
    m_out << (value ? "true" : "false");
    return *this;
}

JsonWriter& JsonWriter::Null()
{
    BeforeValue();
    m_out << "null";
    return *this;
}

void JsonWriter::Finish()
{
    m_out << '\n';
}

std::string JsonWriter::Quote(std::string_view bytes)
{
    const std::string text = ToUtf8(bytes);
    std::string quoted = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        unsigned code = 0x100; // none to escape
        if (c < 0x20 || c == 0x7F)
            code = c;
        else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)
            code = static_cast<unsigned char>(text[++i]); // a C1 control, U+0080..U+009F
        if (code < 0x100) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", code);
            quoted += escape;
        } else if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += char(c);
        } else {
            quoted += char(c);
        }
    }
    return quoted + "\"";
}

} // namespace zefrin
