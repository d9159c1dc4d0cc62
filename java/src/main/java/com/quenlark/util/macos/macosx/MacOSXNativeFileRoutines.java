package com.quenlark.util.macos.macosx;

/**
 * File status, account records and the other BSD file calls that {@code java.nio.file} does
 * not offer. Each method makes one system call; failures come back as status values, never
 * as exceptions.
 */
public class MacOSXNativeFileRoutines {
    static {
        QuintaverLibrary.load();
    }

    /**
     * Fills {@code returnStruct} with the status of {@code file}, not following a final
     * symbolic link.
     *
     * @return 0, or the system's error number; on failure no field changes
     */
    public native int lstat(String file, StatStructure returnStruct);

    /**
     * Fills {@code passwordStructure} with the account record of {@code user}.
     *
     * @return 0 when the account was found, -1 when not (no field changes)
     */
    public native int getpwnam(String user, PasswdStructure passwordStructure);

    /**
     * Fills {@code passwordStructure} with the account record of {@code userID}.
     *
     * @return 0 when the account was found, -1 when not (no field changes)
     */
    public native int getpwuid(int userID, PasswdStructure passwordStructure);

    /**
     * Makes {@code newStr} a further name (hard link) of {@code existingStr}.
     *
     * @return 0, or the system's error number
     */
    public native int link(String existingStr, String newStr);

    /**
     * Makes {@code newStr} a symbolic link whose contents are the text {@code existingStr},
     * unresolved (a relative text stays relative to the link's directory).
     *
     * @return 0, or the system's error number
     */
    public native int symlink(String existingStr, String newStr);

    /**
     * Renames {@code srcStr} to {@code destStr}, replacing an existing {@code destStr} in one step.
     *
     * @return 0, or the system's error number
     */
    public native int rename(String srcStr, String destStr);

    /**
     * The contents of the symbolic link {@code file}, up to 1023 bytes.
     *
     * @return the contents, or null when {@code file} is no symbolic link, cannot be read, or
     *     holds no contents or contents of 1024 bytes or more
     */
    public native String readlink(String file);

    /**
     * Sets the access and modification times of {@code filePathString}, in seconds and
     * microseconds since 1970.
     *
     * @return 0, or -1 on failure
     */
    public native int utimes(String filePathString, int accessSecs, int accessUSecs, int modifySecs,
            int modifyUSecs);

    /**
     * Sets the permission bits of {@code filePathString} to the low 16 bits of {@code mode}.
     *
     * @return 0, or -1 on failure
     */
    public native int chmod(String filePathString, int mode);

    /**
     * Sets the owner and group of {@code filePathString}; -1 leaves either unchanged.
     *
     * @return 0, or -1 on failure
     */
    public native int chown(String filePathString, int uid, int gid);

    /**
     * Replaces the BSD flags of {@code filePathString} (see {@link BsdFlags}) with {@code flags}.
     *
     * @return 0, or -1 on failure (also for a flag this system cannot keep)
     */
    public native int chflags(String filePathString, int flags);

    /**
     * Reads the attributes of {@code file} that the five groups ask for into {@code infoBuf},
     * in the reply layout that {@link AttributeList} describes.
     *
     * @param options {@link AttributeList#FSOPT_NOFOLLOW} for a final symbolic link itself
     * @return 0, or the system's error number
     */
    public native int getattrlist(String file, byte[] infoBuf, int commonFlags, int volumeFlags,
            int dirFlags, int fileFlags, int forkFlags, int options);

    /**
     * Sets the attributes of {@code file} that the five groups name from the values in
     * {@code infoBuf}, laid out as in a reply but without its leading length.
     *
     * @return 0, or the system's error number
     */
    public native int setattrlist(String file, byte[] infoBuf, int commonFlags, int volumeFlags,
            int dirFlags, int fileFlags, int forkFlags, int options);

    /**
     * Writes the statistics record of the file system that holds {@code volumePathString} into
     * the first {@link StatfsRecord#SIZE} bytes of {@code bufArray}.
     *
     * @return 0; the system's error number; or -1 when {@code bufArray} is null or too short
     */
    public native int statfs(String volumePathString, byte[] bufArray);

    /**
     * Writes one statistics record per mounted file system, as many whole records as
     * {@code bufArray} holds.
     *
     * @param bufArray the records, or null to count the mounted file systems
     * @param flags {@link StatfsRecord#MNT_WAIT} or {@link StatfsRecord#MNT_NOWAIT}
     * @return the number of records written (with null, of mounted file systems), or -1
     */
    public native int getfsstat(byte[] bufArray, int flags);

    /**
     * Mounts a file system of type {@code typeString} on {@code mountDirString}.
     *
     * @param flags the mount flags of {@link StatfsRecord} ({@code MNT_RDONLY}...)
     * @param dataArray the argument block: the source, a NUL, the option string, a NUL (see
     *     {@link StatfsRecord#mountArguments}); null for none
     * @return 0, or the system's error number
     */
    public native int mount(String typeString, String mountDirString, int flags, byte[] dataArray);
}
