#include "bsd_flags.h"

#include <System/unistd.h>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace macos {

namespace {

constexpr uint32_t settableCommon = ATTR_CMN_MODTIME | ATTR_CMN_ACCTIME | ATTR_CMN_FNDRINFO |
                                    ATTR_CMN_OWNERID | ATTR_CMN_GRPID | ATTR_CMN_ACCESSMASK |
                                    ATTR_CMN_FLAGS;

// Reads the values in the order of their bits; a value that runs past the end fails the read.
class Values {
  public:
    Values(const void* buf, size_t size) : bytes_(static_cast<const uint8_t*>(buf)), size_(size) {}

    template <typename T> std::optional<T> read() {
        T value;
        if (!take(&value, sizeof value)) return std::nullopt;
        return value;
    }
    bool take(void* to, size_t length) {
        if (!bytes_ || length > size_ - at_) return false;
        std::memcpy(to, bytes_ + at_, length);
        at_ += (length + 3) & ~size_t{3};
        at_ = std::min(at_, size_);
        return true;
    }

  private:
    const uint8_t* bytes_;
    size_t size_;
    size_t at_ = 0;
};

struct Changes {
    std::optional<timespec> modified, accessed;
    std::optional<std::array<uint8_t, kFinderInfoLength>> finderInfo;
    std::optional<uint32_t> owner, group, mask, flags;
};

bool readChanges(Values& in, uint32_t bits, Changes& c) {
    bool ok = true;
    auto read = [&](uint32_t bit, auto& into, auto type) {
        if (!(bits & bit) || !ok) return;
        auto value = in.template read<decltype(type)>();
        if (value)
            into = *value;
        else
            ok = false;
    };
    read(ATTR_CMN_MODTIME, c.modified, timespec{});
    read(ATTR_CMN_ACCTIME, c.accessed, timespec{});
    read(ATTR_CMN_FNDRINFO, c.finderInfo, std::array<uint8_t, kFinderInfoLength>{});
    read(ATTR_CMN_OWNERID, c.owner, uint32_t{});
    read(ATTR_CMN_GRPID, c.group, uint32_t{});
    read(ATTR_CMN_ACCESSMASK, c.mask, uint32_t{});
    read(ATTR_CMN_FLAGS, c.flags, uint32_t{});
    return ok;
}

// Nanoseconds outside a second are no time; Linux would read two of them as "now" and
// "leave as is".
bool validTime(const std::optional<timespec>& t) {
    return !t || (t->tv_nsec >= 0 && t->tv_nsec < 1000000000);
}

struct ::timespec linuxTime(const std::optional<timespec>& t) {
    if (!t) return {0, UTIME_OMIT};
    return {t->tv_sec, t->tv_nsec};
}

int setFinderInfo(const char* path, bool follow, const std::array<uint8_t, kFinderInfoLength>& v) {
    // All zeros is no Finder info: the attribute goes.
    if (std::all_of(v.begin(), v.end(), [](uint8_t b) { return b == 0; })) {
        int r = follow ? ::removexattr(path, kFinderInfoAttributeName)
                       : ::lremovexattr(path, kFinderInfoAttributeName);
        return r == 0 || errno == ENODATA ? 0 : -1;
    }
    return follow ? ::setxattr(path, kFinderInfoAttributeName, v.data(), v.size(), 0)
                  : ::lsetxattr(path, kFinderInfoAttributeName, v.data(), v.size(), 0);
}

} // namespace

int setattrlist(const char* path, struct attrlist* attrList, void* attrBuf, size_t attrBufSize,
                uint32_t options) {
    if (!attrList || attrList->bitmapcount != ATTR_BIT_MAP_COUNT ||
        (attrList->commonattr & ~settableCommon) || attrList->volattr || attrList->dirattr ||
        attrList->fileattr || attrList->forkattr) {
        errno = EINVAL;
        return -1;
    }
    Values in(attrBuf, attrBuf ? attrBufSize : 0);
    Changes c;
    if (!readChanges(in, attrList->commonattr, c) || !validTime(c.modified) ||
        !validTime(c.accessed)) {
        errno = EINVAL;
        return -1;
    }
    bool follow = !(options & FSOPT_NOFOLLOW);
    int atFlags = follow ? 0 : AT_SYMLINK_NOFOLLOW;

    if (c.owner || c.group) {
        uid_t owner = c.owner.value_or(static_cast<uint32_t>(-1));
        gid_t group = c.group.value_or(static_cast<uint32_t>(-1));
        if (::fchownat(AT_FDCWD, path, owner, group, atFlags) != 0) return -1;
    }
    if (c.mask && ::fchmodat(AT_FDCWD, path, *c.mask & 07777u, atFlags) != 0) return -1;
    if (c.finderInfo && setFinderInfo(path, follow, *c.finderInfo) != 0) return -1;
    if (c.modified || c.accessed) {
        struct ::timespec times[2] = {linuxTime(c.accessed), linuxTime(c.modified)};
        if (::utimensat(AT_FDCWD, path, times, atFlags) != 0) return -1;
    }
    if (c.flags && detail::changeBsdFlags(path, *c.flags, follow) != 0) return -1;
    return 0;
}

} // namespace macos
