package com.quenlark.util.macos.macosx;

/**
 * A file status record, member by member. Unsigned 32-bit members (inode, ids, block size,
 * flags, generation) arrive bit for bit, so values with the top bit set are negative; use
 * {@link Integer#toUnsignedLong(int)} to read them. Times are seconds since 1970 UTC plus
 * nanoseconds.
 */
public class StatStructure {
    public int st_dev;
    public int st_ino;
    /** File type and permission bits. */
    public int st_mode;
    public int st_nlink;
    public int st_uid;
    public int st_gid;
    public int st_rdev;
    public int st_atime;
    public int st_atimensec;
    public int st_mtime;
    public int st_mtimensec;
    public int st_ctime;
    public int st_ctimensec;
    public long st_size;
    /** Allocated size in 512-byte blocks. */
    public long st_blocks;
    public int st_blksize;
    /** BSD file flags: the bits of {@link BsdFlags}. */
    public int st_flags;
    public int st_gen;

    public static final int S_IFMT = 0170000;
    public static final int S_IFIFO = 0010000;
    public static final int S_IFCHR = 0020000;
    public static final int S_IFDIR = 0040000;
    public static final int S_IFBLK = 0060000;
    public static final int S_IFREG = 0100000;
    public static final int S_IFLNK = 0120000;
    public static final int S_IFSOCK = 0140000;

    /** The file-type bits of {@link #st_mode}. */
    public int fileType() {
        return st_mode & S_IFMT;
    }
}
