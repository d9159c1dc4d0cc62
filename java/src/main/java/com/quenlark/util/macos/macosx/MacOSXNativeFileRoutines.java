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
}
