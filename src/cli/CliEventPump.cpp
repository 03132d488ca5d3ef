#include "CliEventPump.h"

#include <algorithm>
#include <string>
#include <unistd.h>

namespace zefrin {

void CliEventPump::ProgressChanged(int position)
{
    if (!m_enabled)
        return;
    // A position below the range hides the bar, as in the window.
    if (position < 0) {
        Finish();
        return;
    }
    constexpr int Width = 40;
    const int shown = std::clamp(position, 0, BarEnd);
    const int filled = shown * Width / BarEnd;
    m_err << "\r[" << std::string(size_t(filled), '#') << std::string(size_t(Width - filled), ' ')
          << "] " << shown * 100 / BarEnd << "%" << std::flush;
    m_lineShown = true;
}

void CliEventPump::Finish()
{
    if (!m_lineShown)
        return;
    // Carriage return, erase to the end of the line.
    m_err << "\r\x1b[K" << std::flush;
    m_lineShown = false;
}

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

} // namespace zefrin
