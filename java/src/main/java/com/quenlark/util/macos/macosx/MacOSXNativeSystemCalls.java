package com.quenlark.util.macos.macosx;

/**
 * The process's real and effective user and group ids. Ids are the platform's unsigned 32-bit
 * values carried bit for bit: an id with the top bit set is a negative {@code int}.
 *
 * <p>The setters change the credentials of the whole process, every thread included; they
 * return 0 on success and -1 when the system refuses the change.
 */
public final class MacOSXNativeSystemCalls {
    static {
        QuintaverLibrary.load();
    }

    private MacOSXNativeSystemCalls() {}

    public static native int setuid(int newUID);

    public static native int seteuid(int newEUID);

    public static native int setgid(int newGID);

    public static native int setegid(int newEGID);

    public static native int getuid();

    public static native int geteuid();

    public static native int getgid();

    public static native int getegid();
}
