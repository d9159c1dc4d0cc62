#include "volume.h"

#include <System/mount.h>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace macos {

namespace {

// The counts of network file systems from their last refresh, for MNT_NOWAIT.
std::mutex cacheLock;
std::map<uint64_t, struct ::statfs> lastCounts;

// Counts of the mount itself: a mount hidden under a later one on the same directory cannot
// be reached by path and keeps zero counts.
bool readCounts(const detail::MountEntry& entry, struct ::statfs& counts) {
    int fd = ::open(entry.mountPoint.c_str(), O_PATH | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct statx stx;
    bool same = ::statx(fd, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, STATX_MNT_ID, &stx) == 0 &&
                (!(stx.stx_mask & STATX_MNT_ID) || stx.stx_mnt_id == entry.id);
    bool ok = same && ::fstatfs(fd, &counts) == 0;
    ::close(fd);
    return ok;
}

void fillRecord(struct statfs& record, const detail::MountEntry& entry, bool refresh) {
    detail::Volume volume;
    volume.mount = entry;
    bool network = detail::isNetworkFileSystem(entry.fsType);
    bool haveCounts = false;
    if (refresh || !network) {
        haveCounts = readCounts(entry, volume.counts);
        if (haveCounts && network) {
            std::lock_guard lock(cacheLock);
            lastCounts[entry.id] = volume.counts;
        }
    } else {
        std::lock_guard lock(cacheLock);
        auto cached = lastCounts.find(entry.id);
        if (cached != lastCounts.end()) {
            volume.counts = cached->second;
            haveCounts = true;
        }
    }
    detail::fillStatfsRecord(record, volume, haveCounts);
}

} // namespace

int getfsstat(struct statfs* buf, int bufsize, int flags) {
    if (buf && bufsize < 0) {
        errno = EINVAL;
        return -1;
    }
    errno = 0;
    auto table = detail::readMountTable();
    if (table.empty()) {
        if (errno == 0) errno = EIO;
        return -1;
    }
    if (!buf) return static_cast<int>(table.size());

    // As on the Mac, anything but a bare MNT_NOWAIT reads the counts afresh.
    bool refresh = !(flags & MNT_NOWAIT) || (flags & MNT_WAIT);
    size_t room = static_cast<size_t>(bufsize) / sizeof(struct statfs);
    size_t count = std::min(room, table.size());
    for (size_t i = 0; i < count; ++i)
        fillRecord(buf[i], table[i], refresh);
    return static_cast<int>(count);
}

} // namespace macos
