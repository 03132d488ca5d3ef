// The event pump of the command-line tool. There is no event queue to serve; progress of the
// long loops is drawn as one line on the terminal, and nothing at all is written when the
// error stream is a file or a pipe, so that scripts see only the real messages there.
#pragma once

#include "core/EventPump.h"

#include <ostream>

namespace zefrin {

class CliEventPump final : public EventPump
{
  public:
    // `enabled` is decided by the caller (stderr is a terminal): the pump cannot tell that
    // from an ostream.
    CliEventPump(std::ostream& err, bool enabled)
        : m_err(err)
        , m_enabled(enabled)
    {
    }
    ~CliEventPump() override { Finish(); }
    CliEventPump(const CliEventPump&) = delete;
    CliEventPump& operator=(const CliEventPump&) = delete;

    void ProcessMessages() override {}
    void ProgressChanged(int position) override;
    // Erases the progress line, so that the next message starts on a clean line.
    void Finish();

    // The bar's range, as in the window.
    static constexpr int BarEnd = 62;

  private:
    std::ostream& m_err;
    bool m_enabled;
    bool m_lineShown = false;
};

// True when standard error is a terminal.
bool StandardErrorIsTerminal();

} // namespace zefrin
