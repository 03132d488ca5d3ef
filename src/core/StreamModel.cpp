#include "StreamModel.h"

namespace zefrin {

FrameTable::FrameTable(uint32_t capacity)
    : m_records(new FrameRecord[capacity < 16 ? 16 : capacity])
    , m_capacity(capacity < 16 ? 16 : capacity)
{
    // Left uninitialised on purpose: a table sized for an hour-long file only costs the
    // pages that the scan writes.
}

} // namespace zefrin
