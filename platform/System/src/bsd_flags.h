// The BSD file flags and their Linux inode-attribute counterparts.
#pragma once
#include <cstdint>

namespace macos::detail {

// st_flags from the attribute bits statx reports (STATX_ATTR_*).
uint32_t bsdFlagsFromStatxAttributes(uint64_t attributes);

} // namespace macos::detail
