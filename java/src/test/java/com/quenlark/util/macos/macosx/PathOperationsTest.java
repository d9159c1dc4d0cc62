package com.quenlark.util.macos.macosx;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.quenlark.testsupport.ChildJvm;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.PosixFilePermissions;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Links, renames, link contents, times, modes, owners and BSD flags through the natives. */
class PathOperationsTest {
    private static final int EEXIST = 17;
    private static final int ENOENT = 2;

    private final MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();

    @TempDir
    Path dir;

    private String file(String name, String contents) throws Exception {
        Path p = dir.resolve(name);
        Files.writeString(p, contents);
        return p.toString();
    }

    private StatStructure lstat(String path) {
        StatStructure st = new StatStructure();
        assertEquals(0, routines.lstat(path, st), path);
        return st;
    }

    @Test
    void hardLinksShareTheObjectAndRefuseAnExistingName() throws Exception {
        String a = file("a", "one");
        String b = dir.resolve("b").toString();
        assertEquals(0, routines.link(a, b));
        assertEquals(lstat(a).st_ino, lstat(b).st_ino);
        assertEquals(2, lstat(a).st_nlink);

        String c = file("c", "other");
        assertEquals(EEXIST, routines.link(a, c));
        assertEquals("other", Files.readString(Path.of(c)), "the existing name is untouched");
        assertEquals(ENOENT, routines.link(dir.resolve("missing").toString(), dir.resolve("d").toString()));
    }

    @Test
    void symbolicLinksKeepTheirTextAndReadBackWhole() throws Exception {
        String link = dir.resolve("rel").toString();
        assertEquals(0, routines.symlink("../some/where", link));
        assertEquals("../some/where", routines.readlink(link));
        assertEquals(EEXIST, routines.symlink("x", link));

        String longTarget = "d/".repeat(511) + "x"; // 1023 bytes
        String longLink = dir.resolve("long").toString();
        assertEquals(0, routines.symlink(longTarget, longLink));
        assertEquals(longTarget, routines.readlink(longLink));

        String tooLong = "d/".repeat(512); // 1024 bytes: may not fit with its terminator
        String tooLongLink = dir.resolve("toolong").toString();
        assertEquals(0, routines.symlink(tooLong, tooLongLink));
        assertNull(routines.readlink(tooLongLink), "never a cut-short target");

        assertNull(routines.readlink(file("plain", "x")));
        assertNull(routines.readlink(dir.resolve("missing").toString()));
    }

    @Test
    void linkTextThatIsNotModifiedUtf8ArrivesWhole() throws Exception {
        // A character beyond U+FFFF and a stray Latin-1 byte, made by the shell so that no
        // Java encoding stands between the bytes and the link.
        String link = dir.resolve("bytes").toString();
        Process ln = new ProcessBuilder("bash", "-c",
                "ln -s \"$(printf 'smile-\\xf0\\x9f\\x98\\x80-caf\\xe9')\" \"$0\"", link)
                .redirectErrorStream(true).start();
        assertEquals(0, ln.waitFor(), new String(ln.getInputStream().readAllBytes()));
        assertEquals("smile-\uD83D\uDE00-caf\uFFFD", routines.readlink(link));
    }

    @Test
    void renameReplacesTheTargetAndReportsAMissingSource() throws Exception {
        String src = file("src", "new");
        String dest = file("dest", "old");
        assertEquals(0, routines.rename(src, dest));
        assertEquals("new", Files.readString(Path.of(dest)));
        assertFalse(Files.exists(Path.of(src)));
        assertEquals(ENOENT, routines.rename(src, dest));
    }

    @Test
    void utimesSetsBothTimesAsLstatShows() throws Exception {
        String f = file("times", "");
        assertEquals(0, routines.utimes(f, 0, 0, 0, 0));
        StatStructure st = lstat(f);
        assertEquals(0, st.st_atime);
        assertEquals(0, st.st_mtime);

        assertEquals(0, routines.utimes(f, 1_000_000_000, 250_000, 1_500_000_000, 999_999));
        st = lstat(f);
        assertEquals(1_000_000_000, st.st_atime);
        assertEquals(250_000_000, st.st_atimensec);
        assertEquals(1_500_000_000, st.st_mtime);
        assertEquals(999_999_000, st.st_mtimensec);

        assertEquals(-1, routines.utimes(dir.resolve("missing").toString(), 0, 0, 0, 0));
    }

    @Test
    void chmodUsesTheLow16BitsOnly() throws Exception {
        String f = file("mode", "");
        assertEquals(0, routines.chmod(f, 0x7fff0000 | 0640));
        assertEquals(0640, lstat(f).st_mode & 07777);
        assertEquals("rw-r-----", PosixFilePermissions.toString(Files.getPosixFilePermissions(Path.of(f))));
        assertEquals(-1, routines.chmod(dir.resolve("missing").toString(), 0644));
    }

    @Test
    void chownWithMinusOneChangesNothingAndAnOwnerChangeNeedsRoot() throws Exception {
        String f = file("owner", "");
        StatStructure before = lstat(f);
        assertEquals(0, routines.chown(f, -1, -1));
        StatStructure after = lstat(f);
        assertEquals(before.st_uid, after.st_uid);
        assertEquals(before.st_gid, after.st_gid);
        assertEquals(-1, routines.chown(dir.resolve("missing").toString(), 0, 0));

        assumeTrue(ChildJvm.isRoot(), "needs root: changing a file's owner");
        assertEquals(0, routines.chown(f, 65534, 65534));
        assertEquals(65534, lstat(f).st_uid);
        assertEquals(65534, lstat(f).st_gid);
    }

    private boolean inodeFlagsWork(String f) {
        return routines.chflags(f, BsdFlags.UF_NODUMP) == 0;
    }

    @Test
    void chflagsSetsFlagsThatLstatReadsBack() throws Exception {
        String f = file("flags", "");
        assumeTrue(inodeFlagsWork(f), "needs a file system with inode flags under " + dir);
        assertEquals(BsdFlags.UF_NODUMP, lstat(f).st_flags);
        assertEquals(0, routines.chflags(f, 0));
        assertEquals(0, lstat(f).st_flags);
        assertEquals(-1, routines.chflags(f, BsdFlags.UF_HIDDEN), "a flag Linux cannot keep");
        assertEquals(-1, routines.chflags(dir.resolve("missing").toString(), 0));

        assumeTrue(ChildJvm.isRoot(), "needs root: the immutable flag");
        assertEquals(0, routines.chflags(f, BsdFlags.SF_IMMUTABLE | BsdFlags.UF_NODUMP));
        assertEquals(BsdFlags.SF_IMMUTABLE | BsdFlags.UF_NODUMP, lstat(f).st_flags);
        assertEquals(-1, routines.chmod(f, 0600), "an immutable file keeps its mode");
        assertEquals(0, routines.chflags(f, 0));
    }

    @Test
    void chflagsOnAFileTheCallerMayNotChangeGivesMinusOne() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root: a child that drops to user 65534");
        String f = file("root-owned", "");
        assumeTrue(inodeFlagsWork(f), "needs a file system with inode flags under " + dir);
        assertEquals(0, routines.chflags(f, 0));
        // The child must reach the file: the temp directory is root's own.
        Files.setPosixFilePermissions(dir, PosixFilePermissions.fromString("rwxr-xr-x"));
        ChildJvm.Result r = ChildJvm.run(FileRoutinesChild.class, "--as", "65534", "chflags", f,
                Integer.toString(BsdFlags.UF_NODUMP));
        assertTrue(r.output().contains("result=-1"), r.output());
        assertEquals(0, lstat(f).st_flags);
        assertTrue(Files.exists(Path.of(f), LinkOption.NOFOLLOW_LINKS));
    }
}
