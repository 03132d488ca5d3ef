// A small streaming JSON writer: objects and arrays nested by Begin/End calls, two-space
// indentation, strings made valid UTF-8 (ToUtf8) and escaped. The caller keeps keys and
// values in order; the writer only keeps track of commas and depth.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zefrin {

class JsonWriter
{
  public:
    explicit JsonWriter(std::ostream& out)
        : m_out(out)
    {
    }

    // Inside an object, every value is preceded by Key().
    JsonWriter& Key(std::string_view name);

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& String(std::string_view bytes);
    JsonWriter& Number(int64_t value);
    JsonWriter& Number(double value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Key and value in one call, for the many flat members.
    template <typename T> JsonWriter& Member(std::string_view name, const T& value)
    {
        Key(name);
        return Value(value);
    }

    // Ends the document with a line break.
    void Finish();

    // `bytes` as a JSON string literal, quotes included.
    static std::string Quote(std::string_view bytes);

  private:
    JsonWriter& Value(bool value) { return Bool(value); }
    JsonWriter& Value(double value) { return Number(value); }
    JsonWriter& Value(const std::string& value) { return String(value); }
    JsonWriter& Value(const char* value) { return String(value); }
    template <typename T> JsonWriter& Value(const T& value) { return Number(int64_t(value)); }

    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);

    std::ostream& m_out;
    std::vector<bool> m_hasMembers; // one per open object or array
    bool m_afterKey = false;
};

} // namespace zefrin
