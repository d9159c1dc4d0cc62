#include "bsd_flags.h"

#include <System/stat.h>
#include <linux/fs.h>
#include <linux/stat.h>

namespace macos::detail {

namespace {
struct FlagRow {
    uint32_t bsdFlag;
    uint64_t statxAttribute;
    uint32_t inodeFlag;
};

// Linux has one immutable and one append-only bit, and both need privilege, as the SF_ flags
// do on the Mac; so they read back as SF_, while UF_IMMUTABLE and UF_APPEND set the same bits.
// The reading direction takes the first row of each inode flag.
constexpr FlagRow flagTable[] = {
    {UF_NODUMP, STATX_ATTR_NODUMP, FS_NODUMP_FL},
    {SF_IMMUTABLE, STATX_ATTR_IMMUTABLE, FS_IMMUTABLE_FL},
    {UF_IMMUTABLE, STATX_ATTR_IMMUTABLE, FS_IMMUTABLE_FL},
    {SF_APPEND, STATX_ATTR_APPEND, FS_APPEND_FL},
    {UF_APPEND, STATX_ATTR_APPEND, FS_APPEND_FL},
    {UF_COMPRESSED, STATX_ATTR_COMPRESSED, FS_COMPR_FL},
};
} // namespace

uint32_t bsdFlagsFromStatxAttributes(uint64_t attributes) {
    uint32_t flags = 0;
    uint64_t seen = 0;
    for (const auto& row : flagTable) {
        if ((attributes & row.statxAttribute) && !(seen & row.statxAttribute)) flags |= row.bsdFlag;
        seen |= row.statxAttribute;
    }
    return flags;
}

uint32_t bsdFlagsFromInodeFlags(uint32_t inodeFlags) {
    uint32_t flags = 0;
    uint32_t seen = 0;
    for (const auto& row : flagTable) {
        if ((inodeFlags & row.inodeFlag) && !(seen & row.inodeFlag)) flags |= row.bsdFlag;
        seen |= row.inodeFlag;
    }
    return flags;
}

std::optional<uint32_t> inodeFlagsFromBsdFlags(uint32_t bsdFlags) {
    uint32_t inodeFlags = 0;
    uint32_t mapped = 0;
    for (const auto& row : flagTable) {
        if (bsdFlags & row.bsdFlag) {
            inodeFlags |= row.inodeFlag;
            mapped |= row.bsdFlag;
        }
    }
    if (mapped != bsdFlags) return std::nullopt;
    return inodeFlags;
}

uint32_t inodeFlagsWithBsdCounterpart() {
    uint32_t all = 0;
    for (const auto& row : flagTable)
        all |= row.inodeFlag;
    return all;
}

} // namespace macos::detail
