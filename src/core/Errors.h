// Failures of the program are exceptions that carry the message text to show.
#pragma once

#include <stdexcept>
#include <string>

namespace zefrin {

// A failure with the text the user sees ("File too big (100%)...", "Stopped at user request").
class Error : public std::runtime_error
{
  public:
    explicit Error(const std::string& text)
        : std::runtime_error(text)
    {
    }
};

// An internal consistency check that valid data never trips. The text names the source
// unit and the line: "Assertion failure (UnitMain, line 120)".
class AssertionFailure : public Error
{
  public:
    AssertionFailure(const char* unit, int line);
};

// An input/output failure: the text ends in the system's own text after " - ".
class SystemError : public Error
{
  public:
    using Error::Error;
};

// Raises a SystemError whose text is message + " - " + the system's text for errno.
[[noreturn]] void RaiseWithSystemError(const std::string& message);
// The same for an explicit error number.
[[noreturn]] void RaiseWithSystemError(const std::string& message, int errorNumber);

// Adds the period of the message box rule: a "." follows when the text's last character
// sorts after "." in character-code order.
std::string WithClosingPeriod(const std::string& text);

} // namespace zefrin

#define ZEFRIN_ASSERT(unit, condition)                                                             \
    do {                                                                                           \
        if (!(condition))                                                                          \
            throw ::zefrin::AssertionFailure(unit, __LINE__);                                      \
    } while (false)
