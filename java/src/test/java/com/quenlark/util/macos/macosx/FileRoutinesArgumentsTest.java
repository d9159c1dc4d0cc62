package com.quenlark.util.macos.macosx;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import org.junit.jupiter.api.Test;

/**
 * Null and empty arguments where the natives need something get the native's failure value
 * (EFAULT for the error-number style, -1 for the raw style, null for readlink) and never reach
 * the system with a bad pointer.
 */
class FileRoutinesArgumentsTest {
    private static final int EFAULT = 14;
    private static final int EINVAL = 22;
    private static final int ERANGE = 34;

    private final MacOSXNativeFileRoutines r = new MacOSXNativeFileRoutines();

    @Test
    void nullPathsGetTheFailureValueOfTheirStyle() {
        assertEquals(EFAULT, r.link(null, "/tmp/x"));
        assertEquals(EFAULT, r.symlink("x", null));
        assertEquals(EFAULT, r.rename(null, null));
        assertNull(r.readlink(null));
        assertEquals(-1, r.utimes(null, 0, 0, 0, 0));
        assertEquals(-1, r.chmod(null, 0644));
        assertEquals(-1, r.chown(null, -1, -1));
        assertEquals(-1, r.chflags(null, 0));
        assertEquals(EFAULT, r.getattrlist(null, new byte[64], AttributeList.ATTR_CMN_NAME, 0, 0, 0, 0, 0));
        assertEquals(EFAULT, r.setattrlist(null, new byte[64], 0, 0, 0, 0, 0, 0));
        assertEquals(EFAULT, r.statfs(null, new byte[StatfsRecord.SIZE]));
        assertEquals(EFAULT, r.mount(null, "/tmp", 0, null));
        assertEquals(EFAULT, r.mount("tmpfs", null, 0, null));
    }

    @Test
    void missingAndEmptyBuffers() {
        assertEquals(EFAULT, r.getattrlist("/", null, AttributeList.ATTR_CMN_NAME, 0, 0, 0, 0, 0));
        assertEquals(ERANGE, r.getattrlist("/", new byte[0], AttributeList.ATTR_CMN_NAME, 0, 0, 0, 0, 0));
        assertEquals(EFAULT, r.setattrlist("/", null, 0, 0, 0, 0, 0, 0));
        assertEquals(0, r.getfsstat(new byte[0], StatfsRecord.MNT_NOWAIT));
        assertEquals(EINVAL, r.mount("tmpfs", "/nonexistent", 0, new byte[0]), "a block without its NULs");
    }
}
