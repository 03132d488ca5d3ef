// Access to the opened file: the whole file mapped into memory (read-only for analysis,
// writable for changes in place), and five helpers for sequential access to an open
// descriptor that turn every shortfall into an assertion failure (unit UnitMain).
#pragma once

#include "MessageTexts.h"

#include <cstdint>
#include <string>

namespace zefrin {

// One file mapped whole from offset 0. No descriptor survives the mapping: the view alone
// keeps it alive. Unmapping is the owner's job (the destructor, or Unmap()).
class SourceFile
{
  public:
    SourceFile() = default;
    SourceFile(SourceFile&& other) noexcept;
    SourceFile& operator=(SourceFile&& other) noexcept;
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    ~SourceFile();

    void Unmap();

    uint8_t* View = nullptr;
    uint32_t Size = 0;           // files of 4 GiB or more are not supported
    int64_t FileTimeSeconds = 0; // last-write time, when asked for
    int64_t FileTimeNanoseconds = 0;
};

// Maps the existing file `name`. A failed open raises MessageStrings text 8 (writable) or
// text 9 + ' "name"' (read-only) + " - " + the system's text; an empty file or a failed
// mapping raises "Failed to create file mapping" / "Failed to map view of file" likewise.
// With populate, every page is mapped at once (the scan reads them all); without, pages
// come as they are touched, or as PopulateRange asks.
SourceFile OpenAndMapFile(const std::string& name, bool writable, bool wantTime,
                          const MessageTexts& texts, bool populate = true);

// Maps the pages of one range of a mapped file ahead of use (a hint: failures are ignored).
void PopulateRange(const SourceFile& file, uint64_t offset, uint64_t count);

// Sequential access to an open descriptor (POSIX file descriptor).
void SeekFile(int handle, int64_t offset);
void TruncateFile(int handle);
void ReadExact(int handle, void* buffer, uint32_t count);
void WriteExact(int handle, const void* buffer, uint32_t count);
void CloseFile(int handle);

} // namespace zefrin
