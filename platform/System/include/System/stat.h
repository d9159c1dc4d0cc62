// The Mac file status record and the BSD file flags, filled from Linux statx.
#pragma once
#include <System/types.h>

namespace macos {

struct stat {
    dev_t st_dev;
    ino_t st_ino;
    mode_t st_mode;
    nlink_t st_nlink;
    uid_t st_uid;
    gid_t st_gid;
    dev_t st_rdev;
    timespec st_atimespec;
    timespec st_mtimespec;
    timespec st_ctimespec;
    off_t st_size;
    blkcnt_t st_blocks;
    blksize_t st_blksize;
    uint32_t st_flags;
    uint32_t st_gen;
    int32_t st_lspare;
    int64_t st_qspare[2];
};

// Status of the object named by path, not following a final symbolic link.
// 0, or -1 with errno set.
int lstat(const char* path, struct stat* sb);

// Replaces the BSD flags of the object named by path (following a final symbolic link) with
// flags. 0, or -1 with errno set: EOPNOTSUPP for a flag without a Linux inode-flag counterpart
// or for an object that is neither a regular file nor a directory, EPERM where the caller may
// not change them.
int chflags(const char* path, uint32_t flags);

// BSD file flags (st_flags, chflags).
inline constexpr uint32_t UF_SETTABLE = 0x0000ffff;
inline constexpr uint32_t UF_NODUMP = 0x00000001;
inline constexpr uint32_t UF_IMMUTABLE = 0x00000002;
inline constexpr uint32_t UF_APPEND = 0x00000004;
inline constexpr uint32_t UF_OPAQUE = 0x00000008;
inline constexpr uint32_t UF_COMPRESSED = 0x00000020;
inline constexpr uint32_t UF_HIDDEN = 0x00008000;
inline constexpr uint32_t SF_SETTABLE = 0xffff0000;
inline constexpr uint32_t SF_ARCHIVED = 0x00010000;
inline constexpr uint32_t SF_IMMUTABLE = 0x00020000;
inline constexpr uint32_t SF_APPEND = 0x00040000;

} // namespace macos
