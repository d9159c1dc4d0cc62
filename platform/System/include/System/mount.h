// File-system statistics, the mount table and mounting, in the shapes of the 32-bit Mac
// platform: the 272-byte statistics record, filled from Linux statfs(2) and
// /proc/self/mountinfo, and mount flags in their Mac bits.
#pragma once
#include <System/attr.h>
#include <System/types.h>
#include <cstddef>

namespace macos {

inline constexpr size_t MFSNAMELEN = 15;
inline constexpr size_t MNAMELEN = 90;

// Block counts are in f_bsize units. A count that would not fit 32 bits is brought within them
// by doubling f_bsize (halving the counts) as often as needed, never by wrapping; the file
// counts, which cannot be rescaled, saturate. Names are cut to fit with their NUL (at a UTF-8
// character boundary). f_fsid is { device of the volume, Linux f_type }, f_type the low 16
// bits of the Linux f_type, f_owner 0 (Linux mounts belong to the system).
struct statfs {
    int16_t f_otype;
    int16_t f_oflags;
    int32_t f_bsize;
    int32_t f_iosize;
    int32_t f_blocks;
    int32_t f_bfree;
    int32_t f_bavail;
    int32_t f_files;
    int32_t f_ffree;
    fsid_t f_fsid;
    uid_t f_owner;
    int16_t f_reserved1;
    int16_t f_type;
    int32_t f_flags;
    int32_t f_reserved2[2];
    char f_fstypename[MFSNAMELEN];
    char f_mntonname[MNAMELEN];
    char f_mntfromname[MNAMELEN];
    char f_reserved3;
    int32_t f_reserved4[4];
};
static_assert(sizeof(struct statfs) == 272);
static_assert(offsetof(struct statfs, f_otype) == 0);
static_assert(offsetof(struct statfs, f_oflags) == 2);
static_assert(offsetof(struct statfs, f_bsize) == 4);
static_assert(offsetof(struct statfs, f_iosize) == 8);
static_assert(offsetof(struct statfs, f_blocks) == 12);
static_assert(offsetof(struct statfs, f_bfree) == 16);
static_assert(offsetof(struct statfs, f_bavail) == 20);
static_assert(offsetof(struct statfs, f_files) == 24);
static_assert(offsetof(struct statfs, f_ffree) == 28);
static_assert(offsetof(struct statfs, f_fsid) == 32);
static_assert(offsetof(struct statfs, f_owner) == 40);
static_assert(offsetof(struct statfs, f_reserved1) == 44);
static_assert(offsetof(struct statfs, f_type) == 46);
static_assert(offsetof(struct statfs, f_flags) == 48);
static_assert(offsetof(struct statfs, f_reserved2) == 52);
static_assert(offsetof(struct statfs, f_fstypename) == 60);
static_assert(offsetof(struct statfs, f_mntonname) == 75);
static_assert(offsetof(struct statfs, f_mntfromname) == 165);
static_assert(offsetof(struct statfs, f_reserved3) == 255);
static_assert(offsetof(struct statfs, f_reserved4) == 256);

// Mount flags (mount's flags, f_flags, ATTR_VOL_MOUNTFLAGS).
inline constexpr uint32_t MNT_RDONLY = 0x00000001;
inline constexpr uint32_t MNT_SYNCHRONOUS = 0x00000002;
inline constexpr uint32_t MNT_NOEXEC = 0x00000004;
inline constexpr uint32_t MNT_NOSUID = 0x00000008;
inline constexpr uint32_t MNT_NODEV = 0x00000010;
inline constexpr uint32_t MNT_UNION = 0x00000020;
inline constexpr uint32_t MNT_ASYNC = 0x00000040;
inline constexpr uint32_t MNT_DONTBROWSE = 0x00100000;
inline constexpr uint32_t MNT_IGNORE_OWNERSHIP = 0x00200000;
inline constexpr uint32_t MNT_NOATIME = 0x10000000;
// Reported by the system, never asked for.
inline constexpr uint32_t MNT_LOCAL = 0x00001000;
inline constexpr uint32_t MNT_QUOTA = 0x00002000;
inline constexpr uint32_t MNT_ROOTFS = 0x00004000;
// Requests of mount.
inline constexpr uint32_t MNT_UPDATE = 0x00010000;
inline constexpr uint32_t MNT_RELOAD = 0x00040000;
inline constexpr uint32_t MNT_FORCE = 0x00080000;

// getfsstat's choice: refresh every file system's counts, or use what needs no waiting.
inline constexpr int MNT_WAIT = 1;
inline constexpr int MNT_NOWAIT = 2;

// The statistics of the file system that holds path. 0, or -1 with errno set.
int statfs(const char* path, struct statfs* buf);

// One record per mounted file system, as many whole records as bufsize bytes hold; with a
// null buf, nothing is written. Returns the number of records written (or, with a null buf,
// the number of mounted file systems), or -1 with errno set. With MNT_WAIT every file
// system's counts are read afresh; with MNT_NOWAIT a network file system, which may not
// answer, keeps the counts of its last refresh in this process (zeros before the first).
int getfsstat(struct statfs* buf, int bufsize, int flags);

// Mounts a file system of the named type on dir. The argument block of a Linux file system is
// text, so it travels with its length, which bounds every read of it:
//     source device or name, NUL, mount(2) option string, NUL     (anything after is ignored)
// An empty source, or no block (data null), stands for the type name itself, as tmpfs and
// other file systems without a source want; no block also means no options. A block without
// both NULs fails with EINVAL. The types "hfs" and "msdos" stand for "hfsplus" and "vfat".
// Flags: MNT_RDONLY, MNT_NOSUID, MNT_NODEV, MNT_NOEXEC, MNT_SYNCHRONOUS, MNT_NOATIME map onto
// their MS_ counterparts, MNT_UPDATE onto MS_REMOUNT; MNT_FORCE, MNT_ASYNC, MNT_DONTBROWSE,
// MNT_IGNORE_OWNERSHIP and the flags the system reports (MNT_LOCAL, MNT_QUOTA, MNT_ROOTFS)
// change nothing here; any other bit fails with EINVAL. 0, or -1 with errno set.
int mount(const char* type, const char* dir, int flags, const void* data, size_t dataLength);

} // namespace macos
