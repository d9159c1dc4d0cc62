package com.quenlark.util.macos.macosx;

import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;

/**
 * The attribute bits, options and reply layout of {@link MacOSXNativeFileRoutines#getattrlist}
 * and {@code setattrlist}.
 *
 * <p>A reply starts with its length as a 32-bit value (the length field included), then the
 * requested attributes in bit order, group by group (common, volume, directory, file), each
 * 4-byte aligned, in the machine's byte order. Times are two 32-bit values (seconds,
 * nanoseconds), sizes 64 bits, ids and counts 32 bits. A name or other text is an attribute
 * reference: a signed 32-bit offset counted from the reference itself and an unsigned 32-bit
 * length that includes the text's NUL. Directory attributes come only for directories and file
 * attributes only for other objects. A buffer too small is filled as far as it goes.
 * {@link Reader} walks a reply.
 */
public final class AttributeList {
    public static final int FSOPT_NOFOLLOW = 0x00000001;
    public static final int FSOPT_REPORT_FULLSIZE = 0x00000004;

    public static final int ATTR_CMN_NAME = 0x00000001;
    public static final int ATTR_CMN_DEVID = 0x00000002;
    public static final int ATTR_CMN_FSID = 0x00000004;
    public static final int ATTR_CMN_OBJTYPE = 0x00000008;
    public static final int ATTR_CMN_OBJID = 0x00000020;
    public static final int ATTR_CMN_OBJPERMANENTID = 0x00000040;
    public static final int ATTR_CMN_PAROBJID = 0x00000080;
    public static final int ATTR_CMN_CRTIME = 0x00000200;
    public static final int ATTR_CMN_MODTIME = 0x00000400;
    public static final int ATTR_CMN_CHGTIME = 0x00000800;
    public static final int ATTR_CMN_ACCTIME = 0x00001000;
    public static final int ATTR_CMN_FNDRINFO = 0x00004000;
    public static final int ATTR_CMN_OWNERID = 0x00008000;
    public static final int ATTR_CMN_GRPID = 0x00010000;
    public static final int ATTR_CMN_ACCESSMASK = 0x00020000;
    public static final int ATTR_CMN_FLAGS = 0x00040000;
    public static final int ATTR_CMN_USERACCESS = 0x00200000;
    public static final int ATTR_CMN_FILEID = 0x02000000;
    public static final int ATTR_CMN_PARENTID = 0x04000000;
    public static final int ATTR_CMN_RETURNED_ATTRS = 0x80000000;

    public static final int ATTR_VOL_FSTYPE = 0x00000001;
    public static final int ATTR_VOL_SIZE = 0x00000004;
    public static final int ATTR_VOL_SPACEFREE = 0x00000008;
    public static final int ATTR_VOL_SPACEAVAIL = 0x00000010;
    public static final int ATTR_VOL_MINALLOCATION = 0x00000020;
    public static final int ATTR_VOL_ALLOCATIONCLUMP = 0x00000040;
    public static final int ATTR_VOL_IOBLOCKSIZE = 0x00000080;
    public static final int ATTR_VOL_OBJCOUNT = 0x00000100;
    public static final int ATTR_VOL_FILECOUNT = 0x00000200;
    public static final int ATTR_VOL_DIRCOUNT = 0x00000400;
    public static final int ATTR_VOL_MAXOBJCOUNT = 0x00000800;
    public static final int ATTR_VOL_MOUNTPOINT = 0x00001000;
    public static final int ATTR_VOL_NAME = 0x00002000;
    public static final int ATTR_VOL_MOUNTFLAGS = 0x00004000;
    public static final int ATTR_VOL_MOUNTEDDEVICE = 0x00008000;
    /** Must accompany every request for volume attributes. */
    public static final int ATTR_VOL_INFO = 0x80000000;

    public static final int ATTR_DIR_LINKCOUNT = 0x00000001;
    public static final int ATTR_DIR_ENTRYCOUNT = 0x00000002;
    public static final int ATTR_DIR_MOUNTSTATUS = 0x00000004;
    public static final int DIR_MNTSTATUS_MNTPOINT = 0x00000001;

    public static final int ATTR_FILE_LINKCOUNT = 0x00000001;
    public static final int ATTR_FILE_TOTALSIZE = 0x00000002;
    public static final int ATTR_FILE_ALLOCSIZE = 0x00000004;
    public static final int ATTR_FILE_IOBLOCKSIZE = 0x00000008;
    public static final int ATTR_FILE_DEVTYPE = 0x00000020;
    public static final int ATTR_FILE_DATALENGTH = 0x00000200;
    public static final int ATTR_FILE_DATAALLOCSIZE = 0x00000400;
    public static final int ATTR_FILE_RSRCLENGTH = 0x00001000;
    public static final int ATTR_FILE_RSRCALLOCSIZE = 0x00002000;

    /** Object types of {@code ATTR_CMN_OBJTYPE}. */
    public static final int VNON = 0, VREG = 1, VDIR = 2, VBLK = 3, VCHR = 4, VLNK = 5, VSOCK = 6,
            VFIFO = 7;

    /** The length of {@code ATTR_CMN_FNDRINFO}. */
    public static final int FINDER_INFO_LENGTH = 32;

    private AttributeList() {}

    /** Reads a reply, or builds the values of a set request, one attribute after another. */
    public static final class Reader {
        private final ByteBuffer bytes;

        /** A reader of a reply: positioned after its length field. */
        public Reader(byte[] reply) {
            bytes = ByteBuffer.wrap(reply).order(ByteOrder.nativeOrder());
            bytes.position(4);
        }

        /** The reply's length field. */
        public int length() {
            return bytes.getInt(0);
        }

        public int nextInt() {
            return bytes.getInt();
        }

        public long nextLong() {
            return bytes.getLong();
        }

        /** A time value: {seconds, nanoseconds} since 1970. */
        public int[] nextTimespec() {
            return new int[] {bytes.getInt(), bytes.getInt()};
        }

        public byte[] nextBytes(int length) {
            byte[] out = new byte[length];
            bytes.get(out);
            bytes.position((bytes.position() + 3) & ~3);
            return out;
        }

        /** The text an attribute reference points to, without its NUL. */
        public String nextReference() {
            int at = bytes.position();
            int offset = bytes.getInt();
            int length = bytes.getInt();
            int start = at + offset;
            int textLength = Math.max(0, length - 1);
            return new String(bytes.array(), start, textLength, StandardCharsets.UTF_8);
        }
    }
}
