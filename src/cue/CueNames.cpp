#include "CueSplitter.h"

namespace zefrin {

namespace {

// Characters a file name may not hold, and what takes their place. A zero byte would end
// the name early for the system and is made a blank as well.
void AppendReplaced(std::string& out, char c)
{
    switch (c) {
    case '"':
        out += "''";
        break;
    case '*':
        out += 'x';
        break;
    case '/':
    case '\\':
        out += '-';
        break;
    case ':':
    case '?':
    case '|':
    case '\0':
        out += ' ';
        break;
    case '<':
        out += '[';
        break;
    case '>':
        out += ']';
        break;
    default:
        out += c;
        break;
    }
}

} // namespace

std::string SanitizeFileName(const std::string& name)
{
    if (name.empty())
        return name;
    std::string out;
    out.reserve(name.size() + 8);
    for (size_t i = 0; i + 1 < name.size(); ++i)
        AppendReplaced(out, name[i]);
    out += name.back();
    return out;
}

std::string SanitizeFolderName(const std::string& name)
{
    std::string out;
    out.reserve(name.size() + 8);
    for (const char c : name)
        AppendReplaced(out, c);
    if (out == "." || out == "..")
        return {};
    return out;
}

} // namespace zefrin
