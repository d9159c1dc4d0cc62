package com.quenlark.util.macos.macosx;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;

/**
 * The 272-byte file-system statistics record of {@link MacOSXNativeFileRoutines#statfs} and
 * {@code getfsstat}, in the machine's byte order, and the flags of those calls and of
 * {@code mount}. Block counts are in units of {@link #bsize}; a Linux file system too large for
 * 32-bit counts reports a larger block size instead.
 */
public final class StatfsRecord {
    /** The size of one record. */
    public static final int SIZE = 272;

    public static final int MNT_WAIT = 1;
    public static final int MNT_NOWAIT = 2;

    public static final int MNT_RDONLY = 0x00000001;
    public static final int MNT_SYNCHRONOUS = 0x00000002;
    public static final int MNT_NOEXEC = 0x00000004;
    public static final int MNT_NOSUID = 0x00000008;
    public static final int MNT_NODEV = 0x00000010;
    public static final int MNT_LOCAL = 0x00001000;
    public static final int MNT_ROOTFS = 0x00004000;
    public static final int MNT_UPDATE = 0x00010000;
    public static final int MNT_FORCE = 0x00080000;
    public static final int MNT_NOATIME = 0x10000000;

    public final int bsize, iosize, blocks, bfree, bavail, files, ffree;
    public final int fsid0, fsid1, owner, type, flags;
    public final String fstypename, mntonname, mntfromname;

    private StatfsRecord(ByteBuffer b) {
        int base = b.position();
        bsize = b.getInt(base + 4);
        iosize = b.getInt(base + 8);
        blocks = b.getInt(base + 12);
        bfree = b.getInt(base + 16);
        bavail = b.getInt(base + 20);
        files = b.getInt(base + 24);
        ffree = b.getInt(base + 28);
        fsid0 = b.getInt(base + 32);
        fsid1 = b.getInt(base + 36);
        owner = b.getInt(base + 40);
        type = b.getShort(base + 46);
        flags = b.getInt(base + 48);
        fstypename = text(b, base + 60, 15);
        mntonname = text(b, base + 75, 90);
        mntfromname = text(b, base + 165, 90);
    }

    /** The record at {@code offset} in {@code buffer}. */
    public static StatfsRecord parse(byte[] buffer, int offset) {
        ByteBuffer b = ByteBuffer.wrap(buffer).order(ByteOrder.nativeOrder());
        b.position(offset);
        return new StatfsRecord(b);
    }

    /** Bytes in all, free, and available to unprivileged users. */
    public long totalBytes() {
        return Integer.toUnsignedLong(blocks) * bsize;
    }

    public long freeBytes() {
        return Integer.toUnsignedLong(bfree) * bsize;
    }

    public long availableBytes() {
        return Integer.toUnsignedLong(bavail) * bsize;
    }

    /**
     * The argument block of {@code mount} on this system: the source device or name, a NUL, the
     * mount option string (as {@code mount -o} takes it), a NUL. An empty source stands for
     * the type name.
     */
    public static byte[] mountArguments(String source, String options) {
        byte[] s = source.getBytes(StandardCharsets.UTF_8);
        byte[] o = options.getBytes(StandardCharsets.UTF_8);
        byte[] block = new byte[s.length + o.length + 2];
        System.arraycopy(s, 0, block, 0, s.length);
        System.arraycopy(o, 0, block, s.length + 1, o.length);
        return block;
    }

    private static String text(ByteBuffer b, int at, int size) {
        int length = 0;
        while (length < size && b.get(at + length) != 0) {
            length++;
        }
        return new String(b.array(), at, length, StandardCharsets.UTF_8);
    }
}
