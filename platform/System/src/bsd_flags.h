// The BSD file flags and their Linux inode-attribute counterparts: one table serves both
// directions, so a flag that chflags sets is the flag that lstat reports.
#pragma once
#include <cstdint>
#include <optional>

namespace macos::detail {

// st_flags from the attribute bits statx reports (STATX_ATTR_*).
uint32_t bsdFlagsFromStatxAttributes(uint64_t attributes);

// The inode flags (FS_*_FL) the BSD flags stand for, or nothing when a flag has no
// counterpart here.
std::optional<uint32_t> inodeFlagsFromBsdFlags(uint32_t bsdFlags);

// The inode flags that some BSD flag stands for: the bits chflags replaces.
uint32_t inodeFlagsWithBsdCounterpart();

// The BSD flags of an inode flag word (FS_IOC_GETFLAGS).
uint32_t bsdFlagsFromInodeFlags(uint32_t inodeFlags);

// chflags, optionally on a final symbolic link itself (which holds no flags: EOPNOTSUPP).
int changeBsdFlags(const char* path, uint32_t flags, bool followLinks);

} // namespace macos::detail
