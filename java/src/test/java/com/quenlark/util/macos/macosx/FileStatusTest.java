package com.quenlark.util.macos.macosx;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.quenlark.testsupport.ChildJvm;
import java.io.RandomAccessFile;
import java.lang.reflect.Field;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class FileStatusTest {
    private final MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();

    @TempDir
    Path dir;

    private StatStructure lstat(Path path) {
        StatStructure st = new StatStructure();
        assertEquals(0, routines.lstat(path.toString(), st), "lstat " + path);
        return st;
    }

    @Test
    void regularFileMatchesWhatJavaSees() throws Exception {
        Path file = Files.writeString(dir.resolve("plain"), "twelve bytes");
        StatStructure st = lstat(file);
        Map<String, Object> unix = Files.readAttributes(file, "unix:*", LinkOption.NOFOLLOW_LINKS);
        assertEquals(StatStructure.S_IFREG, st.fileType());
        assertEquals((int) (long) (Long) unix.get("ino"), st.st_ino);
        assertEquals(unix.get("mode"), st.st_mode);
        assertEquals(unix.get("nlink"), st.st_nlink);
        assertEquals(unix.get("uid"), st.st_uid);
        assertEquals(unix.get("gid"), st.st_gid);
        assertEquals(12L, st.st_size);
        FileTime mtime = (FileTime) unix.get("lastModifiedTime");
        assertEquals(mtime.to(TimeUnit.SECONDS), st.st_mtime);
        assertEquals(mtime.toInstant().getNano(), st.st_mtimensec);
        assertTrue(st.st_blksize > 0);
    }

    @Test
    void symbolicLinkIsDescribedItself() throws Exception {
        String target = "a/target/that/does/not/exist";
        Path link = Files.createSymbolicLink(dir.resolve("link"), Path.of(target));
        StatStructure st = lstat(link);
        assertEquals(StatStructure.S_IFLNK, st.fileType());
        assertEquals(target.length(), st.st_size);
    }

    @Test
    void failureReturnsTheErrorNumberAndChangesNoField() throws Exception {
        StatStructure st = new StatStructure();
        int sentinel = 0x5a5a5a5a;
        for (Field f : StatStructure.class.getDeclaredFields()) {
            if (f.getType() == int.class && !java.lang.reflect.Modifier.isStatic(f.getModifiers())) {
                f.setInt(st, sentinel);
            } else if (f.getType() == long.class) {
                f.setLong(st, sentinel);
            }
        }
        Path plain = Files.createFile(dir.resolve("file"));
        assertEquals(2, routines.lstat(dir.resolve("missing").toString(), st), "ENOENT");
        assertEquals(20, routines.lstat(plain + "/below", st), "ENOTDIR");
        assertEquals(36, routines.lstat(dir + "/" + "n".repeat(300), st), "ENAMETOOLONG");
        int fields = 0;
        for (Field f : StatStructure.class.getDeclaredFields()) {
            if (!java.lang.reflect.Modifier.isStatic(f.getModifiers())) {
                assertEquals(sentinel, ((Number) f.get(st)).longValue(), f.getName());
                fields++;
            }
        }
        assertEquals(18, fields);
    }

    @Test
    void nullArgumentsAreRefusedWithoutCrashing() throws Exception {
        assertEquals(14, routines.lstat(null, new StatStructure()), "EFAULT");
        assertEquals(14, routines.lstat(dir.toString(), null), "EFAULT");
    }

    @Test
    void sparseFileOfThreeGibibytesHasItsFullSize() throws Exception {
        Path file = dir.resolve("sparse");
        try (RandomAccessFile raf = new RandomAccessFile(file.toFile(), "rw")) {
            raf.setLength(3L << 30);
        }
        StatStructure st = lstat(file);
        assertEquals(3L << 30, st.st_size);
        assertTrue(st.st_blocks < 1024, "sparse: few blocks allocated, got " + st.st_blocks);
    }

    @Test
    void timeBefore1970IsNegative() throws Exception {
        Path file = Files.createFile(dir.resolve("old"));
        long seconds = -365L * 86400 * 10;
        Files.setLastModifiedTime(file, FileTime.from(seconds, TimeUnit.SECONDS));
        assertEquals(seconds, lstat(file).st_mtime);
    }

    @Test
    void ownerWithTheTopBitSetArrivesNegative() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root to chown a file to uid 3000000000");
        Path file = Files.createFile(dir.resolve("owned"));
        int uid = (int) 3_000_000_000L;
        Files.setAttribute(file, "unix:uid", uid, LinkOption.NOFOLLOW_LINKS);
        Files.setAttribute(file, "unix:gid", uid, LinkOption.NOFOLLOW_LINKS);
        StatStructure st = lstat(file);
        assertTrue(st.st_uid < 0);
        assertEquals(uid, st.st_uid);
        assertEquals(uid, st.st_gid);
    }

    @Test
    void nodumpAttributeShowsAsUfNodump() throws Exception {
        Path file = Files.createFile(dir.resolve("nodump"));
        Process chattr = new ProcessBuilder("chattr", "+d", file.toString()).redirectErrorStream(true).start();
        String said = new String(chattr.getInputStream().readAllBytes());
        assumeTrue(chattr.waitFor() == 0, "the file system under " + dir + " keeps no nodump attribute: " + said);
        StatStructure st = lstat(file);
        assertEquals(BsdFlags.UF_NODUMP, st.st_flags & BsdFlags.UF_NODUMP);
        assertEquals(0, lstat(Files.createFile(dir.resolve("dumped"))).st_flags);
    }
}
