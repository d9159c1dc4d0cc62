#include "volume.h"

#include "narrow.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace macos::detail {

namespace {

// The kernel marks f_flags as filled with this bit; glibc does not name it.
constexpr unsigned long ST_VALID = 0x0020;

bool hasOption(std::string_view options, std::string_view option) {
    while (!options.empty()) {
        size_t comma = options.find(',');
        if (options.substr(0, comma) == option) return true;
        if (comma == std::string_view::npos) break;
        options.remove_prefix(comma + 1);
    }
    return false;
}

} // namespace

std::optional<Volume> volumeOf(int fd) {
    Volume volume;
    struct statx stx;
    if (::fstatfs(fd, &volume.counts) != 0) return std::nullopt;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, STATX_MNT_ID, &stx) != 0)
        return std::nullopt;
    if (stx.stx_mask & STATX_MNT_ID) {
        if (auto entry = findMount(stx.stx_mnt_id)) volume.mount = std::move(*entry);
    }
    if (volume.mount.mountPoint.empty()) {
        // Without a mount id, the last mount of the same device is the one that shows.
        for (auto& entry : readMountTable())
            if (entry.major == stx.stx_dev_major && entry.minor == stx.stx_dev_minor)
                volume.mount = entry;
    }
    return volume;
}

NarrowedBlocks narrowBlockCounts(uint64_t bsize, uint64_t blocks, uint64_t bfree, uint64_t bavail) {
    constexpr uint64_t limit = std::numeric_limits<int32_t>::max();
    uint64_t largest = std::max({blocks, bfree, bavail});
    while (largest > limit && bsize != 0 && bsize <= limit / 2) {
        bsize *= 2;
        blocks /= 2;
        bfree /= 2;
        bavail /= 2;
        largest /= 2;
    }
    return {saturate<int32_t>(bsize), saturate<int32_t>(blocks), saturate<int32_t>(bfree),
            saturate<int32_t>(bavail)};
}

void copyName(char* field, size_t size, std::string_view text) {
    std::memset(field, 0, size);
    if (size == 0) return;
    size_t length = std::min(text.size(), size - 1);
    // Back off over UTF-8 continuation bytes so no character is cut in half.
    if (length < text.size())
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xc0) == 0x80)
            --length;
    std::memcpy(field, text.data(), length);
}

uint32_t macMountFlags(const Volume& volume) {
    uint32_t flags = 0;
    const auto& options = volume.mount.mountOptions;
    unsigned long linuxFlags = volume.counts.f_flags;
    bool valid = linuxFlags & ST_VALID;
    auto set = [&](bool on, uint32_t flag) {
        if (on) flags |= flag;
    };
    set(valid ? linuxFlags & ST_RDONLY : hasOption(options, "ro"), MNT_RDONLY);
    set(valid ? linuxFlags & ST_NOSUID : hasOption(options, "nosuid"), MNT_NOSUID);
    set(valid ? linuxFlags & ST_NODEV : hasOption(options, "nodev"), MNT_NODEV);
    set(valid ? linuxFlags & ST_NOEXEC : hasOption(options, "noexec"), MNT_NOEXEC);
    set(valid ? linuxFlags & ST_SYNCHRONOUS : hasOption(volume.mount.superOptions, "sync"),
        MNT_SYNCHRONOUS);
    set(valid ? linuxFlags & ST_NOATIME : hasOption(options, "noatime"), MNT_NOATIME);
    set(!isNetworkFileSystem(volume.mount.fsType), MNT_LOCAL);
    set(volume.mount.mountPoint == "/", MNT_ROOTFS);
    return flags;
}

dev_t volumeDevice(const Volume& volume) {
    return makeDev(volume.mount.major, volume.mount.minor);
}

void fillStatfsRecord(struct statfs& record, const Volume& volume, bool haveCounts) {
    record = {};
    const auto& fs = volume.counts;
    if (haveCounts) {
        // Linux counts blocks in fragments (f_frsize); f_bsize is the preferred I/O size.
        uint64_t fragment = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
        auto blocks = narrowBlockCounts(fragment, fs.f_blocks, fs.f_bfree, fs.f_bavail);
        record.f_bsize = blocks.bsize;
        record.f_iosize = saturate<int32_t>(fs.f_bsize);
        record.f_blocks = blocks.blocks;
        record.f_bfree = blocks.bfree;
        record.f_bavail = blocks.bavail;
        record.f_files = saturate<int32_t>(fs.f_files);
        record.f_ffree = saturate<int32_t>(fs.f_ffree);
    }
    uint32_t magic = static_cast<uint32_t>(fs.f_type);
    record.f_fsid.val[0] = volumeDevice(volume);
    record.f_fsid.val[1] = static_cast<int32_t>(magic);
    record.f_owner = 0;
    record.f_type = static_cast<int16_t>(magic & 0xffff);
    record.f_flags = static_cast<int32_t>(macMountFlags(volume));
    copyName(record.f_fstypename, sizeof record.f_fstypename, volume.mount.fsType);
    copyName(record.f_mntonname, sizeof record.f_mntonname, volume.mount.mountPoint);
    copyName(record.f_mntfromname, sizeof record.f_mntfromname, volume.mount.source);
}

} // namespace macos::detail
