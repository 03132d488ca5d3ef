#include "OutputSink.h"

#include "core/Errors.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace zefrin {

namespace {

constexpr size_t BufferSize = size_t(1) << 20;
// A pending run is written once it reaches this size, so that progress keeps moving.
constexpr size_t MaxRun = size_t(16) << 20;

} // namespace

OutputSink::OutputSink(uint8_t* memory, size_t capacity)
    : m_memory(memory)
    , m_capacity(capacity)
{
}

OutputSink::OutputSink(int handle)
    : m_handle(handle)
    , m_buffer(new uint8_t[BufferSize])
{
}

void OutputSink::CheckRoom(size_t count) const
{
    if (m_memory != nullptr && count > m_capacity - size_t(m_count))
        throw Error(std::string(MemoryOutputTooSmallText) + " (" + std::to_string(m_capacity) +
                    " bytes)");
}

void OutputSink::Put(const uint8_t* bytes, size_t count)
{
    if (count == 0)
        return;
    CheckRoom(count);
    if (m_memory != nullptr) {
        std::memcpy(m_memory + m_count, bytes, count);
        m_count += int64_t(count);
        return;
    }
    if (m_run != nullptr && m_run + m_runLength == bytes && m_runLength < MaxRun) {
        m_runLength += count;
    } else {
        FlushRun();
        m_run = bytes;
        m_runLength = count;
    }
    m_count += int64_t(count);
}

uint8_t* OutputSink::Reserve(size_t count)
{
    CheckRoom(count);
    if (m_memory != nullptr) {
        uint8_t* at = m_memory + m_count;
        m_count += int64_t(count);
        return at;
    }
    FlushRun();
    if (count > BufferSize - m_buffered)
        FlushBuffer();
    ZEFRIN_ASSERT("UnitMain", count <= BufferSize);
    uint8_t* at = m_buffer.get() + m_buffered;
    m_buffered += count;
    m_count += int64_t(count);
    return at;
}

void OutputSink::FlushRun()
{
    if (m_run == nullptr)
        return;
    const uint8_t* run = m_run;
    const size_t length = m_runLength;
    m_run = nullptr;
    m_runLength = 0;
    if (length <= BufferSize - m_buffered) {
        std::memcpy(m_buffer.get() + m_buffered, run, length);
        m_buffered += length;
        return;
    }
    FlushBuffer();
    if (length < BufferSize / 2) {
        std::memcpy(m_buffer.get(), run, length);
        m_buffered = length;
        return;
    }
    if (!CopyFromSource(run, length))
        WriteOut(run, length); // straight from the source
}

void OutputSink::FlushBuffer()
{
    if (m_buffered > 0)
        WriteOut(m_buffer.get(), m_buffered);
    m_buffered = 0;
}

void OutputSink::Flush()
{
    if (m_memory != nullptr)
        return;
    FlushRun();
    FlushBuffer();
}

void OutputSink::SetSourceFile(int handle, const uint8_t* view)
{
    m_sourceHandle = handle;
    m_sourceView = view;
}

// False when the kernel cannot copy between these files; nothing has been written then.
bool OutputSink::CopyFromSource(const uint8_t* bytes, size_t count)
{
    if (m_sourceHandle < 0)
        return false;
    loff_t from = loff_t(bytes - m_sourceView);
    bool first = true;
    while (count > 0) {
        const ssize_t n = copy_file_range(m_sourceHandle, &from, m_handle, nullptr, count, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && first &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
             errno == EBADF)) {
            m_sourceHandle = -1;
            return false;
        }
        if (n <= 0)
            RaiseWithSystemError("Can't write destination file", n < 0 ? errno : ENOSPC);
        first = false;
        bytes += n;
        count -= size_t(n);
    }
    return true;
}

void OutputSink::WriteOut(const uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t n = write(m_handle, bytes, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            RaiseWithSystemError("Can't write destination file", n < 0 ? errno : ENOSPC);
        bytes += n;
        count -= size_t(n);
    }
}

} // namespace zefrin
