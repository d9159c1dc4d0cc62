#include "bsd_flags.h"

#include <System/stat.h>
#include <linux/stat.h>

namespace macos::detail {

namespace {
struct FlagPair {
    uint64_t statxAttribute;
    uint32_t bsdFlag;
};

// Immutable and append-only need privilege on Linux, as the SF_ flags do on the Mac.
constexpr FlagPair statxFlags[] = {
    {STATX_ATTR_NODUMP, UF_NODUMP},
    {STATX_ATTR_IMMUTABLE, SF_IMMUTABLE},
    {STATX_ATTR_APPEND, SF_APPEND},
    {STATX_ATTR_COMPRESSED, UF_COMPRESSED},
};
} // namespace

uint32_t bsdFlagsFromStatxAttributes(uint64_t attributes) {
    uint32_t flags = 0;
    for (const auto& pair : statxFlags)
        if (attributes & pair.statxAttribute) flags |= pair.bsdFlag;
    return flags;
}

} // namespace macos::detail
