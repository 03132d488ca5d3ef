#include "Errors.h"

#include <cerrno>
#include <cstring>

namespace zefrin {

AssertionFailure::AssertionFailure(const char* unit, int line)
    : Error("Assertion failure (" + std::string(unit) + ", line " + std::to_string(line) + ")")
{
}

void RaiseWithSystemError(const std::string& message)
{
    RaiseWithSystemError(message, errno);
}

void RaiseWithSystemError(const std::string& message, int errorNumber)
{
    // The system's text, limited to 255 characters as the message box expects.
    std::string systemText = std::strerror(errorNumber);
    if (systemText.size() > 255)
        systemText.resize(255);
    throw SystemError(message + " - " + systemText);
}

std::string WithClosingPeriod(const std::string& text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        return text + ".";
    return text;
}

} // namespace zefrin
