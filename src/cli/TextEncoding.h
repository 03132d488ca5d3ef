// Texts from the file (tag fields) are arbitrary bytes: ISO-8859-1 in the older tags, UTF-8
// in some newer ones, control characters in damaged ones. Before they reach a terminal or a
// JSON document they are made valid UTF-8 here.
#pragma once

#include <string>
#include <string_view>

namespace zefrin {

// Every well-formed UTF-8 sequence is kept; every other byte is taken as ISO-8859-1 and
// re-encoded, so the result is always valid UTF-8 and plain Latin-1 texts read right.
std::string ToUtf8(std::string_view bytes);

// ToUtf8, with every control character (C0, DEL and C1) replaced by '?': a tag must not be
// able to send escape sequences to the terminal. Line breaks are kept when `keepLineBreaks`.
std::string ToPrintableUtf8(std::string_view bytes, bool keepLineBreaks = false);

} // namespace zefrin
