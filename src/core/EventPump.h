// What the engine asks of the program around it while a long loop runs: let pending user
// events be handled (the scanner every 1024 frames, the decoder every 128) and show progress.
// The window pumps its event queue, the command-line tool draws a progress line, tests do
// nothing or request a stop.
#pragma once

namespace zefrin {

class EventPump
{
  public:
    virtual ~EventPump() = default;
    // Lets pending user events run; an Esc handled here sets StopRequested.
    virtual void ProcessMessages() = 0;
    // The progress bar moved to `position` of 0..62 (called only when the value changes).
    virtual void ProgressChanged(int position) = 0;
};

// A pump that does nothing: for batch work and tests.
class NullEventPump final : public EventPump
{
  public:
    void ProcessMessages() override {}
    void ProgressChanged(int) override {}
};

} // namespace zefrin
