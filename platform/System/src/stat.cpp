#include "bsd_flags.h"
#include "narrow.h"

#include <System/stat.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace macos {

namespace {
timespec narrowTimestamp(const statx_timestamp& t) {
    return {detail::narrowTime(t.tv_sec), static_cast<int32_t>(t.tv_nsec)};
}
} // namespace

// One statx call. The inode number keeps its low 32 bits; the generation stays 0 because
// statx does not report it, and reading it would cost an open and an ioctl per call.
int lstat(const char* path, struct stat* sb) {
    struct statx stx;
    if (::statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &stx) !=
        0)
        return -1;
    *sb = {};
    sb->st_dev = detail::makeDev(stx.stx_dev_major, stx.stx_dev_minor);
    sb->st_ino = static_cast<ino_t>(stx.stx_ino);
    sb->st_mode = stx.stx_mode;
    sb->st_nlink = detail::saturate<nlink_t>(stx.stx_nlink);
    sb->st_uid = stx.stx_uid;
    sb->st_gid = stx.stx_gid;
    sb->st_rdev = detail::makeDev(stx.stx_rdev_major, stx.stx_rdev_minor);
    sb->st_atimespec = narrowTimestamp(stx.stx_atime);
    sb->st_mtimespec = narrowTimestamp(stx.stx_mtime);
    sb->st_ctimespec = narrowTimestamp(stx.stx_ctime);
    sb->st_size = static_cast<off_t>(stx.stx_size);
    sb->st_blocks = static_cast<blkcnt_t>(stx.stx_blocks);
    sb->st_blksize = stx.stx_blksize;
    sb->st_flags =
        detail::bsdFlagsFromStatxAttributes(stx.stx_attributes & stx.stx_attributes_mask);
    return 0;
}

} // namespace macos
