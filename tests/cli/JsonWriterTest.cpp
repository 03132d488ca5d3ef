#include "cli/JsonWriter.h"

#include "cli/TextEncoding.h"

#include <gtest/gtest.h>
#include <sstream>

namespace zefrin {
namespace {

TEST(TextEncoding, KeepsUtf8AndReadsOtherBytesAsLatin1)
{
    struct Case
    {
        const char* Name;
        std::string Bytes;
        std::string Utf8;
    };
    const Case cases[] = {
        {"ascii", "Abc 123", "Abc 123"},
        {"utf8 two and three bytes", "Caf\xC3\xA9 \xE2\x82\xAC", "Caf\xC3\xA9 \xE2\x82\xAC"},
        {"utf8 four bytes", "\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"},
        {"latin1", "Caf\xE9", "Caf\xC3\xA9"},
        {"latin1 at the end of a would-be sequence", "\xC3", "\xC3\x83"},
        {"overlong slash", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
        {"mixed", "\xE9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ToUtf8(c.Bytes), c.Utf8);
    }
}

TEST(TextEncoding, PrintableTextHasNoControlCharacters)
{
    // ESC sequences, a C1 CSI as Latin-1 and as UTF-8, DEL, a tab.
    EXPECT_EQ(ToPrintableUtf8("a\x1b[2Jb\x9b"
                              "c\xC2\x9b"
                              "d\x7f\te"),
              "a?[2Jb?c?d??e");
    EXPECT_EQ(ToPrintableUtf8("one\ntwo\r\n"), "one?two??");
    EXPECT_EQ(ToPrintableUtf8("one\ntwo\n", true), "one\ntwo\n");
    EXPECT_EQ(ToPrintableUtf8("\xE9\xC3\xA9"), "\xC3\xA9\xC3\xA9");
}

TEST(JsonWriter, QuotesEveryStringAsValidJson)
{
    struct Case
    {
        std::string Bytes;
        std::string Json;
    };
    const Case cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\" \\ /", "\"say \\\"hi\\\" \\\\ /\""},
        {std::string("a\0b", 3), "\"a\\u0000b\""},
        {"line\nbreak\ttab\x1b", "\"line\\u000abreak\\u0009tab\\u001b\""},
        {"\x7f", "\"\\u007f\""},
        {"\x85", "\"\\u0085\""},      // a Latin-1 C1 control
        {"\xC2\x9B", "\"\\u009b\""},  // the same kind, as UTF-8
        {"\xE9", "\"\xC3\xA9\""},     // Latin-1
        {"\xC3\xA9", "\"\xC3\xA9\""}, // UTF-8
        {"\xC2\xA0", "\"\xC2\xA0\""}, // no-break space is no control
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Json);
        EXPECT_EQ(JsonWriter::Quote(c.Bytes), c.Json);
    }
}

TEST(JsonWriter, NestsWithCommasAndIndentation)
{
    std::ostringstream out;
    JsonWriter json(out);
    json.BeginObject();
    json.Member("Count", 3);
    json.Member("Flag", true);
    json.Key("Empty").BeginArray().EndArray();
    json.Key("List").BeginArray().Number(int64_t(-1)).Null().String("x").EndArray();
    json.Key("Inner").BeginObject().Member("Name", std::string("n")).EndObject();
    json.Member("Ratio", 0.5);
    json.Member("Unsigned", uint32_t(0xFFFFFFFF));
    json.EndObject();
    json.Finish();
    EXPECT_EQ(out.str(), "{\n"
                         "  \"Count\": 3,\n"
                         "  \"Flag\": true,\n"
                         "  \"Empty\": [],\n"
                         "  \"List\": [\n"
                         "    -1,\n"
                         "    null,\n"
                         "    \"x\"\n"
                         "  ],\n"
                         "  \"Inner\": {\n"
                         "    \"Name\": \"n\"\n"
                         "  },\n"
                         "  \"Ratio\": 0.5,\n"
                         "  \"Unsigned\": 4294967295\n"
                         "}\n");
}

} // namespace
} // namespace zefrin
