#include "FileNameLength.h"

#include "core/FileInformation.h"

namespace zefrin {

bool LooksLikeLength(const std::string& text, int first, int last)
{
    if (last - first <= 3 || first < 1 || size_t(last) > text.size())
        return false;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    for (int at = first; at <= last; ++at) {
        const char c = text[size_t(at - 1)];
        if (c == 'h')
            ++hours;
        else if (c == 'm')
            ++minutes;
        else if (c == 's')
            ++seconds;
        else if (c != ' ' && c != '.' && (c < '0' || c > '9'))
            return false;
    }
    if (hours > 1 || minutes > 1 || seconds > 1)
        return false;
    // "3m 07s" has no hours; "1h 02" has hours and not both minutes and seconds.
    return (minutes == 1 && seconds == 1) != (hours == 1);
}

LengthInsertion InsertLengthIntoFileName(const std::string& name, const FrameHeader& reference,
                                         uint32_t outputFrames)
{
    // The writer passes the opened file's whole path: only its last part is the name, so a
    // folder's '.' or parentheses are never taken for the file's.
    const size_t slash = name.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    LengthInsertion result;
    std::string& text = result.NewName;
    text = name;

    size_t start = nameStart;
    for (;;) {
        const size_t open = text.find('(', start);
        if (open == std::string::npos)
            break;
        const size_t close = text.find(')', open + 1);
        if (close == std::string::npos)
            break;
        if (LooksLikeLength(text, int(open) + 2, int(close))) {
            text.erase(open, close - open + 1);
            start = open;
        } else {
            start = open + 1;
        }
    }

    const size_t dot = text.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return result;
    text.insert(dot, " (" + FormatLengthForFileName(reference, outputFrames) + ")");

    for (size_t twoSpaces = text.find("  ", nameStart); twoSpaces != std::string::npos;
         twoSpaces = text.find("  ", twoSpaces))
        text.erase(twoSpaces, 1);
    result.Done = true;
    return result;
}

} // namespace zefrin
