// Where the writer's bytes go: the caller's memory buffer, never past its end, or a file
// through one fixed buffer so that a file of small frames costs few system calls. Runs of
// untouched frames that lie back to back in the source are passed on as one piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zefrin {

class OutputSink
{
  public:
    // Memory output: at most `capacity` bytes at `memory`.
    OutputSink(uint8_t* memory, size_t capacity);
    // File output to the open descriptor `handle` (not owned).
    explicit OutputSink(int handle);

    // Output bytes that stay as they are. Pieces that continue the previous one in the
    // source are joined and written later, in one go.
    void Put(const uint8_t* bytes, size_t count);
    // Room for `count` bytes that the caller fills and alters in place (a frame whose gain
    // changes); valid until the next call.
    uint8_t* Reserve(size_t count);
    // Everything pending goes out.
    void Flush();

    // The file behind the mapped source at `view` (not owned): long runs of it are then
    // copied by the kernel from file to file, without passing through this process.
    void SetSourceFile(int handle, const uint8_t* view);

    int64_t Count() const { return m_count; }

  private:
    void FlushRun();
    void FlushBuffer();
    void WriteOut(const uint8_t* bytes, size_t count);
    bool CopyFromSource(const uint8_t* bytes, size_t count);
    void CheckRoom(size_t count) const;

    uint8_t* m_memory = nullptr;
    size_t m_capacity = 0;
    int m_handle = -1;
    int m_sourceHandle = -1;
    const uint8_t* m_sourceView = nullptr;
    std::unique_ptr<uint8_t[]> m_buffer;
    size_t m_buffered = 0;
    const uint8_t* m_run = nullptr; // pending bytes of the source, not yet copied
    size_t m_runLength = 0;
    int64_t m_count = 0; // bytes output so far, pending ones included
};

// Raised when an output to memory would not fit: the writer refuses instead of overrunning.
inline constexpr const char* MemoryOutputTooSmallText = "Output buffer too small";

} // namespace zefrin
