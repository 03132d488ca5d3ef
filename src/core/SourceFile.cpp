#include "SourceFile.h"

#include "Errors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zefrin {

SourceFile::SourceFile(SourceFile&& other) noexcept
    : View(other.View)
    , Size(other.Size)
    , FileTimeSeconds(other.FileTimeSeconds)
    , FileTimeNanoseconds(other.FileTimeNanoseconds)
{
    other.View = nullptr;
    other.Size = 0;
}

SourceFile& SourceFile::operator=(SourceFile&& other) noexcept
{
    if (this != &other) {
        Unmap();
        View = other.View;
        Size = other.Size;
        FileTimeSeconds = other.FileTimeSeconds;
        FileTimeNanoseconds = other.FileTimeNanoseconds;
        other.View = nullptr;
        other.Size = 0;
    }
    return *this;
}

SourceFile::~SourceFile()
{
    Unmap();
}

void SourceFile::Unmap()
{
    if (View != nullptr)
        munmap(View, Size);
    View = nullptr;
    Size = 0;
}

SourceFile OpenAndMapFile(const std::string& name, bool writable, bool wantTime,
                          const MessageTexts& texts, bool populate)
{
    const int fd = open(name.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        if (writable)
            RaiseWithSystemError(texts.MessageStrings[8]);
        RaiseWithSystemError(texts.MessageStrings[9] + " \"" + name + "\"");
    }
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        close(fd);
        RaiseWithSystemError("Failed to create file mapping", error);
    }
    SourceFile file;
    if (wantTime) {
        file.FileTimeSeconds = st.st_mtim.tv_sec;
        file.FileTimeNanoseconds = st.st_mtim.tv_nsec;
    }
    // Only the low 32 bits of the size count; an empty mapping cannot be made.
    const auto size = uint32_t(uint64_t(st.st_size) & 0xFFFFFFFFu);
    if (size == 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        RaiseWithSystemError("Failed to create file mapping", size == 0 ? EINVAL : ENODEV);
    }
    // Every page is read by the scan: populating the mapping at once costs far less than
    // taking the page faults one by one.
    void* view = mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ,
                      MAP_SHARED | (populate ? MAP_POPULATE : 0), fd, 0);
    const int error = errno;
    close(fd);
    if (view == MAP_FAILED)
        RaiseWithSystemError("Failed to map view of file", error);
    file.View = static_cast<uint8_t*>(view);
    file.Size = size;
    return file;
}

void PopulateRange(const SourceFile& file, uint64_t offset, uint64_t count)
{
    if (file.View == nullptr || offset >= file.Size)
        return;
    count = std::min<uint64_t>(count, file.Size - offset);
    const uint64_t page = uint64_t(sysconf(_SC_PAGESIZE));
    const uint64_t start = offset / page * page;
#ifdef MADV_POPULATE_READ
    if (madvise(file.View + start, size_t(offset + count - start), MADV_POPULATE_READ) == 0)
        return;
#endif
    madvise(file.View + start, size_t(offset + count - start), MADV_WILLNEED);
}

void SeekFile(int handle, int64_t offset)
{
    ZEFRIN_ASSERT("UnitMain", lseek(handle, offset, SEEK_SET) == offset);
}

void TruncateFile(int handle)
{
    const off_t position = lseek(handle, 0, SEEK_CUR);
    ZEFRIN_ASSERT("UnitMain", position >= 0 && ftruncate(handle, position) == 0);
}

void ReadExact(int handle, void* buffer, uint32_t count)
{
    auto* at = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = read(handle, at + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        ZEFRIN_ASSERT("UnitMain", n > 0);
        done += uint32_t(n);
    }
}

void WriteExact(int handle, const void* buffer, uint32_t count)
{
    const auto* at = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = write(handle, at + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        ZEFRIN_ASSERT("UnitMain", n > 0);
        done += uint32_t(n);
    }
}

void CloseFile(int handle)
{
    close(handle);
}

} // namespace zefrin
