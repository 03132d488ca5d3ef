// The texts the program shows, by key (multi-line messages) and by index (MessageStrings).
// A language file may replace any of them, so the engine always takes its texts from here.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace zefrin {

struct MessageTexts
{
    MessageTexts(); // the built-in English texts

    std::array<std::string, 17> MessageStrings;

    std::vector<std::string> MessageDlgWarnWhenMissingFH;
    std::vector<std::string> MessageDlgErrorMissingFH;
    std::vector<std::string> MessageDlgPreviewFailed;
    std::vector<std::string> MessageDlgAcmStreamOpenFailed;
    std::vector<std::string> MessageDlgRemovedBeginning;
    std::vector<std::string> MessageDlgUpdateWarning;
    std::vector<std::string> MessageDlgSaveWAVWithoutHeaderWarning;
    std::vector<std::string> MessageDlgAbortWriteWarning;
    std::vector<std::string> MessageDlgProcessingErrorAbortIgnore;
    std::vector<std::string> MessageDlgErrorCreatingLOGfile;
    std::vector<std::string> MessageDlg_mp3PROwarning;
};

// A multi-line message as one text: every line, the last one included, ends in a line break.
std::string JoinMessageLines(const std::vector<std::string>& lines);

} // namespace zefrin
