#include "CueFiles.h"

#include "core/Errors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace zefrin {

namespace {

constexpr size_t ReadChunk = 65536;

void WriteAll(int handle, const uint8_t* data, size_t size, const std::string& failure)
{
    while (size > 0) {
        const ssize_t written = write(handle, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            close(handle);
            RaiseWithSystemError(failure, error);
        }
        data += written;
        size -= size_t(written);
    }
    if (close(handle) != 0)
        RaiseWithSystemError(failure);
}

std::string CreateFailure(const std::string& name)
{
    return "Can't create file \"" + name + "\"";
}

} // namespace

void WriteTextFile(const std::string& name, const std::string& text)
{
    const int handle = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (handle < 0)
        RaiseWithSystemError(CreateFailure(name));
    WriteAll(handle, reinterpret_cast<const uint8_t*>(text.data()), text.size(),
             CreateFailure(name));
}

bool WriteNewFile(const std::string& name, const uint8_t* data, size_t size)
{
    const int handle = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (handle < 0) {
        if (errno == EEXIST)
            return false;
        RaiseWithSystemError(CreateFailure(name));
    }
    try {
        WriteAll(handle, data, size, CreateFailure(name));
    } catch (...) {
        unlink(name.c_str());
        throw;
    }
    return true;
}

std::string ReadTextFile(const std::string& name)
{
    const std::string failure = "Failed to open the file \"" + name + "\"";
    const int handle = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0)
        RaiseWithSystemError(failure);
    std::string text;
    char buffer[ReadChunk];
    for (;;) {
        const ssize_t got = read(handle, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            close(handle);
            RaiseWithSystemError(failure, error);
        }
        if (got == 0)
            break;
        text.append(buffer, size_t(got));
    }
    close(handle);
    return text;
}

} // namespace zefrin
