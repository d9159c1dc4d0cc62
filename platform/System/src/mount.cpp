#include <System/mount.h>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mount.h>

namespace macos {

namespace {

struct FlagPair {
    uint32_t mac;
    unsigned long linuxFlag;
};

constexpr FlagPair mountFlags[] = {
    {MNT_RDONLY, MS_RDONLY},  {MNT_NOSUID, MS_NOSUID},           {MNT_NODEV, MS_NODEV},
    {MNT_NOEXEC, MS_NOEXEC},  {MNT_SYNCHRONOUS, MS_SYNCHRONOUS}, {MNT_NOATIME, MS_NOATIME},
    {MNT_UPDATE, MS_REMOUNT},
};

// Accepted without effect: Linux has no counterpart that changes what the caller sees, or the
// system reports them itself (a caller may pass back the flags it read).
constexpr uint32_t flagsWithoutEffect = MNT_FORCE | MNT_ASYNC | MNT_DONTBROWSE |
                                        MNT_IGNORE_OWNERSHIP | MNT_LOCAL | MNT_QUOTA | MNT_ROOTFS;

std::string_view linuxType(std::string_view macType) {
    if (macType == "hfs") return "hfsplus";
    if (macType == "msdos") return "vfat";
    return macType;
}

} // namespace

int mount(const char* type, const char* dir, int flags, const void* data, size_t dataLength) {
    uint32_t macFlags = static_cast<uint32_t>(flags);
    unsigned long linuxFlags = 0;
    uint32_t known = flagsWithoutEffect;
    for (const auto& pair : mountFlags) {
        if (macFlags & pair.mac) linuxFlags |= pair.linuxFlag;
        known |= pair.mac;
    }
    if (macFlags & ~known) {
        errno = EINVAL;
        return -1;
    }

    std::string fsType(linuxType(type));
    std::string source = fsType;
    std::string options;
    bool haveOptions = false;
    if (data) {
        // source NUL options NUL, never read past dataLength.
        const char* bytes = static_cast<const char*>(data);
        const char* end = bytes + dataLength;
        const char* sourceEnd = static_cast<const char*>(std::memchr(bytes, 0, dataLength));
        const char* optionsEnd =
            sourceEnd ? static_cast<const char*>(std::memchr(sourceEnd + 1, 0, end - sourceEnd - 1))
                      : nullptr;
        if (!optionsEnd) {
            errno = EINVAL;
            return -1;
        }
        if (sourceEnd > bytes) source.assign(bytes, sourceEnd);
        options.assign(sourceEnd + 1, optionsEnd);
        haveOptions = !options.empty();
    }
    return ::mount(source.c_str(), dir, fsType.c_str(), linuxFlags,
                   haveOptions ? options.c_str() : nullptr);
}

} // namespace macos
