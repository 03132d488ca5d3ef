#include "CueFiles.h"
#include "CueSheetGenerator.h"
#include "CueSplitter.h"
#include "core/Errors.h"
#include "core/FrameHeader.h"
#include "edit/TrimFigures.h"

#include <cstdio>
#include <string_view>

namespace zefrin {

namespace {

// Blanks and control characters, as they are stripped from both ends of every line.
bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Stripped(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool StartsWith(std::string_view line, std::string_view keyword)
{
    return line.substr(0, keyword.size()) == keyword;
}

// The value after a keyword: the text between double quotes, or the word itself when it is
// not quoted (cutting a character from both ends of an unquoted value would shorten it).
std::string Value(std::string_view line, std::string_view keyword)
{
    const std::string_view value = Stripped(line.substr(keyword.size()));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return std::string(value.substr(1, value.size() - 2));
    return std::string(value);
}

// "TRACK nn AUDIO": the line without its 7th and 8th characters.
bool IsTrackLine(std::string_view line)
{
    return line.size() == 14 && line.substr(0, 6) == "TRACK " && line.substr(8) == " AUDIO";
}

// A two-digit field of the INDEX time at `position` (counted from 0).
uint32_t TimeField(std::string_view line, size_t position)
{
    const std::string_view field = position < line.size() ? line.substr(position, 2) : "";
    bool digits = !field.empty();
    uint32_t value = 0;
    for (const char c : field) {
        digits = digits && c >= '0' && c <= '9';
        value = value * 10 + uint32_t(c - '0');
    }
    if (!digits)
        throw Error("'" + std::string(field) + "' is not a valid integer value");
    return value;
}

std::string TwoDigits(int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

class CueSheetReader
{
  public:
    CueSheetReader(const StreamModel& model, const SettingsRecord& settings, const EditState& state)
        : m_model(model)
        , m_extension(SaveAsWav(model, settings, state) ? ".wav" : ".mp3")
    {
    }

    void Line(std::string_view line);
    CueSheet Sheet;

  private:
    void Index(std::string_view line);

    const StreamModel& m_model;
    const std::string m_extension;
    bool m_fileSeen = false;
    std::string m_title;
    std::string m_performer; // pending until the track's INDEX 01
};

void CueSheetReader::Line(std::string_view line)
{
    if (IsTrackLine(line)) {
        const int number = int(Sheet.Tracks.size()) + 1;
        if (number > MaxCueTracks)
            throw Error("invalid CUE file - too many tracks");
        if (line.substr(6, 2) != TwoDigits(number))
            throw Error("invalid CUE file");
    } else if (StartsWith(line, "TITLE ")) {
        (m_fileSeen ? m_title : Sheet.AlbumTitle) = Value(line, "TITLE ");
    } else if (StartsWith(line, "PERFORMER ")) {
        if (!m_fileSeen) {
            Sheet.AlbumPerformer = Value(line, "PERFORMER ");
        } else {
            if (!m_performer.empty())
                throw Error("CUE PERFORMER found after INDEX");
            m_performer = Value(line, "PERFORMER ");
        }
    } else if (StartsWith(line, "INDEX 01 ")) {
        Index(line);
    } else if (StartsWith(line, "FILE ")) {
        m_fileSeen = true;
    }
}

void CueSheetReader::Index(std::string_view line)
{
    // The table holds 99 tracks; a longer sheet is refused whole, before any track is written.
    const size_t k = Sheet.Tracks.size();
    if (k >= size_t(MaxCueTracks))
        throw Error("invalid CUE file - too many tracks");

    const uint32_t minutes = TimeField(line, 9);
    const uint32_t seconds = TimeField(line, 12);
    const uint32_t hundredths = TimeField(line, 15);
    const uint32_t milliseconds = (minutes * 60 + seconds) * 1000 + hundredths * 10;
    const auto start = int32_t(MillisecondsToFrames(m_model.Info.Reference, milliseconds));
    if (k > 0 && Sheet.Tracks[k - 1].StartFrame >= start)
        throw Error("invalid CUE file - bad index order");
    if (start > m_model.Info.FrameCount)
        throw Error("invalid CUE file - index out of range");

    const std::string prefix = m_performer.empty() ? std::string() : m_performer + " - ";
    const std::string name = TwoDigits(int(k) + 1) + " " + prefix + m_title;
    CueTrack track;
    track.Name = SanitizeFileName(std::string(Stripped(name)) + m_extension);
    track.StartFrame = start;
    Sheet.Tracks.push_back(track);

    // A track without a TITLE line of its own is not named after the track before it.
    m_title.clear();
    m_performer.clear();
}

} // namespace

CueSheet ReadCueSheet(const std::string& cueName, const StreamModel& model,
                      const SettingsRecord& settings, const EditState& state)
{
    const std::string text = ReadTextFile(cueName);
    CueSheetReader reader(model, settings, state);
    size_t at = 0;
    while (at < text.size()) {
        // Lines end in CR LF, LF or CR alike.
        const size_t stop = text.find_first_of("\r\n", at);
        const size_t end = stop == std::string::npos ? text.size() : stop;
        reader.Line(Stripped(std::string_view(text).substr(at, end - at)));
        at = end + 1;
    }
    return reader.Sheet;
}

} // namespace zefrin
