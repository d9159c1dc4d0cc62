package com.quenlark.util.macos.macosx;

/**
 * The BSD file flags of {@link StatStructure#st_flags} and
 * {@link MacOSXNativeFileRoutines#chflags}. On Linux they are kept as inode flags: nodump,
 * immutable, append-only and compressed have counterparts (both immutable flags, and both
 * append flags, are one Linux flag each, read back as the {@code SF_} one and needing root to
 * change); the others cannot be set.
 */
public final class BsdFlags {
    public static final int UF_SETTABLE = 0x0000ffff;
    public static final int UF_NODUMP = 0x00000001;
    public static final int UF_IMMUTABLE = 0x00000002;
    public static final int UF_APPEND = 0x00000004;
    public static final int UF_OPAQUE = 0x00000008;
    public static final int UF_COMPRESSED = 0x00000020;
    public static final int UF_HIDDEN = 0x00008000;
    public static final int SF_SETTABLE = 0xffff0000;
    public static final int SF_ARCHIVED = 0x00010000;
    public static final int SF_IMMUTABLE = 0x00020000;
    public static final int SF_APPEND = 0x00040000;

    private BsdFlags() {}
}
