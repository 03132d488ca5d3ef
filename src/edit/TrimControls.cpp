#include "TrimControls.h"

#include "TrimFigures.h"
#include "core/FileInformation.h"
#include "core/FrameHeader.h"

#include <algorithm>
#include <optional>

namespace zefrin {

namespace {

constexpr size_t MaxTextLength = 6;
// Set only by Refresh (which sets every bit): keeps the time spins from answering the
// values it puts into them.
constexpr uint32_t RefreshGuardBit = 16;

constexpr int Begin = int(TrimValue::Begin);
constexpr int End = int(TrimValue::End);
constexpr int EndPosition = int(TrimValue::EndPosition);
constexpr int Duration = int(TrimValue::Duration);

// An optional sign and at least one digit, nothing else.
std::optional<int32_t> ParseInteger(const std::string& text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return std::nullopt;
    int32_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0'); // at most six characters: no overflow
    }
    return negative ? -value : value;
}

} // namespace

TrimControls::TrimControls(const StreamModel& model, const SettingsRecord& settings,
                           EditState& state)
    : m_model(model)
    , m_settings(settings)
    , m_state(state)
{
}

int32_t TrimControls::Value(TrimValue which) const
{
    return ParseInteger(m_text[int(which)]).value_or(-1);
}

const std::string& TrimControls::Text(TrimValue which) const
{
    return m_text[int(which)];
}

uint32_t TrimControls::Seconds(TrimValue which) const
{
    return m_seconds[int(which)];
}

const std::string& TrimControls::Label(TrimValue which) const
{
    return m_label[int(which)];
}

void TrimControls::SetText(TrimValue which, const std::string& text)
{
    const int i = int(which);
    std::string typed = text.substr(0, MaxTextLength);
    // A number outside the limits is brought inside them at once: a stale -5 or 99999 would
    // otherwise reach the size figures and the save as a trimming point.
    const std::optional<int32_t> number = ParseInteger(typed);
    if (number && (*number < 0 || *number > m_maxFrames))
        typed = std::to_string(std::clamp(*number, 0, m_maxFrames));
    m_text[i] = typed;
    FrameChanged(i);
}

void TrimControls::SetFrames(TrimValue which, int32_t frames)
{
    SetValue(int(which), frames);
}

void TrimControls::SetSeconds(TrimValue which, uint32_t seconds)
{
    const int i = int(which);
    seconds = std::min(seconds, m_maxSeconds);
    // The time spin reports a change of its total only.
    if (seconds == m_seconds[i])
        return;
    m_seconds[i] = seconds;
    if ((m_guard & ((1u << i) | RefreshGuardBit)) != 0)
        return;
    SetValue(i, SecondsToFrames(m_model.Info.Reference, seconds));
}

void TrimControls::Refresh(bool open)
{
    const StreamInfo& info = m_model.Info;
    const bool resetOnEnable = m_settings.CheckBoxResetTrimmingPointsWhenOpen != 0;
    m_guard = ~0u;
    m_state.FileOpen = open;
    // Enabling a time spin sets it to 0 and disabling it clears it, both of which read 0.
    if (resetOnEnable)
        std::fill(std::begin(m_seconds), std::end(m_seconds), 0u);

    if (open) {
        if (m_text[Begin].empty()) {
            SetValue(Begin, 0);
            SetValue(End, 0);
            m_seconds[Begin] = 0;
            m_seconds[End] = 0;
        }
        m_maxSeconds = m_model.DurationSeconds;
        m_maxFrames = info.FrameCount;
        // Points kept from a longer file must fit this one, as the begin handler fits them.
        int32_t begin = Value(TrimValue::Begin);
        if (begin > m_maxFrames) {
            SetValue(Begin, m_maxFrames);
            begin = m_maxFrames;
        }
        int32_t end = Value(TrimValue::End);
        if (end > m_maxFrames - std::max(begin, 0)) {
            SetValue(End, m_maxFrames - std::max(begin, 0));
            end = Value(TrimValue::End);
        }
        SetValue(EndPosition, int64_t(info.FrameCount) - end);
        SetValue(Duration, int64_t(info.FrameCount) - begin - end);
        m_mp3ProWarningShown = false;
        m_mp3ProWarningDue = false;
    } else if (resetOnEnable) {
        // The next opening then starts from 0.
        for (int i = 0; i < 4; ++i) {
            m_text[i].clear();
            FrameChanged(i);
        }
    }

    for (int i = 0; i < 4; ++i)
        UpdateLabel(i);
    m_guard = 0;
}

bool TrimControls::TakeMp3ProWarning()
{
    const bool due = m_mp3ProWarningDue;
    m_mp3ProWarningDue = false;
    return due;
}

void TrimControls::SetValue(int which, int64_t frames)
{
    m_text[which] = std::to_string(std::clamp<int64_t>(frames, 0, m_maxFrames));
    FrameChanged(which);
}

void TrimControls::FrameChanged(int which)
{
    const FrameHeader& reference = m_model.Info.Reference;
    if (reference.SampleRate == 0)
        return;
    const uint32_t bit = 1u << which;
    m_guard ^= bit;
    const int32_t v = ParseInteger(m_text[which]).value_or(-1);
    if (v >= 0)
        m_seconds[which] = FramesToSeconds(reference, uint32_t(v));
    UpdateLabel(which);

    if (v < 0 || m_guard != bit) {
        // Not the user's own change: the handler that made it adjusts the rest.
        Update();
    } else {
        const int32_t frameCount = m_model.Info.FrameCount;
        const int32_t begin = Value(TrimValue::Begin);
        const int32_t end = Value(TrimValue::End);
        switch (which) {
        case Begin:
            if (end >= 0 && v + end > frameCount) {
                SetValue(End, frameCount - v);
                // The end handler, not being the user's change, leaves its position alone;
                // without this the end position would still show the old end.
                SetValue(EndPosition, v);
            }
            SetValue(Duration, int64_t(frameCount) - v - end);
            break;
        case End:
            if (begin >= 0 && begin + v > frameCount)
                SetValue(Begin, frameCount - v);
            SetValue(EndPosition, frameCount - v);
            SetValue(Duration, int64_t(frameCount) - v - begin);
            break;
        case EndPosition:
            if (begin >= 0 && begin > v)
                SetValue(Begin, v);
            SetValue(End, frameCount - v);
            SetValue(Duration, int64_t(v) - begin);
            break;
        case Duration:
            if (begin >= 0) {
                const int32_t newEnd = std::max(0, frameCount - v - begin);
                SetValue(End, newEnd);
                SetValue(EndPosition, frameCount - newEnd);
                SetValue(Begin, frameCount - v - newEnd);
            }
            break;
        }
    }
    m_guard ^= bit;
}

void TrimControls::UpdateLabel(int which)
{
    const FrameHeader& reference = m_model.Info.Reference;
    const int32_t v = ParseInteger(m_text[which]).value_or(-1);
    if (v >= 0 && reference.SampleRate != 0)
        m_label[which] = "(" + FormatSeconds(reference, uint32_t(v), 2) + ")";
    else
        m_label[which].clear();

    if (which == Begin && m_model.Info.Mp3Pro &&
        m_settings.CheckBoxWarnWhenTrimBeginning_mp3PRO != 0 && !m_mp3ProWarningShown && v > 0) {
        m_mp3ProWarningShown = true;
        m_mp3ProWarningDue = true;
    }
}

void TrimControls::Update()
{
    UpdateDiskSpaceSavingDisplay(m_state, m_model, m_settings, Value(TrimValue::Begin),
                                 Value(TrimValue::End));
}

} // namespace zefrin
