#include "MessageTexts.h"

namespace zefrin {

MessageTexts::MessageTexts()
    : MessageStrings{
          "- no file opened -",
          "- done -",
          "- no tag found -",
          "- none -",
          "Failed to find a valid MPEG header - this is not an MP3 file!",
          "File too big",
          "Check Zefrin FAQ for more info.",
          "",
          "Access to file is denied (read only?)",
          "Failed to open the file",
          "Error analyzing this file - probably not an MPEG audio file",
          "yes",
          "no",
          "bad",
          "Error writing file!",
          "Nothing to preview.",
          "Do you want to exit Zefrin?",
      }
    , MessageDlgWarnWhenMissingFH{
          "This file has one or more missing frame headers and might be corrupted.",
          "Make sure to check the trimmed result (using 'save as') before committing any changes.",
          "",
          "Note: to disable this warning in the future, uncheck the option 'Display a warning "
          "when opening a file with missing frame header(s)'.",
      }
    , MessageDlgErrorMissingFH{
          "This file appears to be seriously corrupted.",
          "Make sure to check the result (using 'save as') before committing any changes.",
      }
    , MessageDlgPreviewFailed{
          "The preview failed - the playback output might be busy, or your system might be "
          "missing the ACM MP3 decoder.",
          "Do you want to try to use an external player instead?",
      }
    , MessageDlgAcmStreamOpenFailed{
          "acmStreamOpen failed",
          "",
          "Try (re)installing the Fraunhofer IIS MPEG Layer-3 Audio Decoder ACM Component",
      }
    , MessageDlgRemovedBeginning{
          "This file seems heavily damaged, at least at the beginning.",
          "",
          "Zefrin will automatically skip part of the beginning when editing and permanently "
          "delete that part if the file is saved.",
      }
    , MessageDlgUpdateWarning{
          "The file '%s' is going to be updated.",
          "Do you want to continue?",
          "",
          "Note: to disable this warning in the future, uncheck the option 'Ask before "
          "overwriting a file'.",
      }
    , MessageDlgSaveWAVWithoutHeaderWarning{
          "The file '%s' is going to be saved without WAV header, since the option setting "
          "'Save with .WAV extension' is currently un-checked.",
          "Such a file may need to be renamed manually from '.WAV' to '.MP3' before playback "
          "is possible.",
          "",
          "Do you want to continue anyway?",
      }
    , MessageDlgAbortWriteWarning{
          "Aborting the write process might leave the MP3 file in an unknown state and is not "
          "recommended.",
          "Abort anyway?",
      }
    , MessageDlgProcessingErrorAbortIgnore{
          "Error processing '%s'",
          "%s",
          "",
          "Do you want to 'Abort' (i.e. stop the batch processing) or 'Ignore' the error (i.e. "
          "skip this file and continue the batch)?",
      }
    , MessageDlgErrorCreatingLOGfile{
          "Error creating LOG file '%s'",
      }
    , MessageDlg_mp3PROwarning{
          "mp3PRO files are not completely streamable, so trimming the beginning can prevent "
          "an mp3PRO aware decoder to sync-up with the mp3PRO info. The file will still play "
          "but quality may be slightly degraded at the beginning, so make sure you check the "
          "result.",
          "",
          "Note: to disable this warning in the future, uncheck the option 'Display a warning "
          "when trimming the beginning of mp3PRO files' in Options/Silence.",
      }
{
}

std::string JoinMessageLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

} // namespace zefrin
