package com.quenlark.util.macos.macosx;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.quenlark.testsupport.ChildJvm;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.Test;

class UserRecordsTest {
    private final MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();

    /** An account of /etc/passwd: name, uid, gid, home, shell. */
    record Account(String name, int uid, int gid, String dir, String shell) {}

    static List<Account> accounts() throws Exception {
        List<Account> all = new ArrayList<>();
        for (String line : Files.readAllLines(Path.of("/etc/passwd"))) {
            String[] f = line.split(":", -1);
            if (f.length == 7) {
                all.add(new Account(f[0], Integer.parseUnsignedInt(f[2]), Integer.parseUnsignedInt(f[3]), f[5], f[6]));
            }
        }
        return all;
    }

    static void assertRecord(Account expected, PasswdStructure pw) {
        assertEquals(expected.name(), pw.pw_name);
        assertEquals(expected.uid(), pw.pw_uid);
        assertEquals(expected.gid(), pw.pw_gid);
        assertEquals(expected.dir(), pw.pw_dir);
        assertEquals(expected.shell(), pw.pw_shell);
        assertEquals("", pw.pw_class);
    }

    @Test
    void rootByIdAndByName() throws Exception {
        Account root = new Account("root", 0, 0, "/root", accounts().get(0).shell());
        PasswdStructure byId = new PasswdStructure();
        assertEquals(0, routines.getpwuid(0, byId));
        assertRecord(root, byId);
        PasswdStructure byName = new PasswdStructure();
        assertEquals(0, routines.getpwnam("root", byName));
        assertRecord(root, byName);
        assertEquals(byId.pw_passwd, byName.pw_passwd);
    }

    @Test
    void unknownAccountsGiveMinusOneAndChangeNothing() {
        PasswdStructure pw = new PasswdStructure();
        pw.pw_name = "untouched";
        pw.pw_uid = 77;
        pw.pw_change_sec = 78;
        pw.pw_expire_sec = 79;
        assertEquals(-1, routines.getpwnam("no-such-user-quintaver", pw));
        assertEquals(-1, routines.getpwuid(0x7ffffff0, pw));
        assertEquals(-1, routines.getpwnam(null, pw));
        assertEquals(-1, routines.getpwuid(0, null));
        assertEquals("untouched", pw.pw_name);
        assertEquals(77, pw.pw_uid);
        assertEquals(78, pw.pw_change_sec);
        assertEquals(79, pw.pw_expire_sec);
        assertNull(pw.pw_passwd);
        assertNull(pw.pw_class);
        assertNull(pw.pw_gecos);
        assertNull(pw.pw_dir);
        assertNull(pw.pw_shell);
        assertEquals(0, pw.pw_gid);
    }

    @Test
    void sixteenThreadsEachGetTheirOwnRecord() throws Exception {
        List<Account> accounts = accounts();
        ExecutorService pool = Executors.newFixedThreadPool(16);
        try {
            List<Future<?>> results = new ArrayList<>();
            for (int t = 0; t < 16; t++) {
                int offset = t;
                results.add(pool.submit(() -> {
                    for (int i = 0; i < 400; i++) {
                        Account a = accounts.get((offset + i) % accounts.size());
                        PasswdStructure pw = new PasswdStructure();
                        int found = (i & 1) == 0 ? routines.getpwuid(a.uid(), pw) : routines.getpwnam(a.name(), pw);
                        assertEquals(0, found, a.name());
                        if (pw.pw_name.equals(a.name())) {
                            assertRecord(a, pw);
                        } else {
                            assertEquals(a.uid(), pw.pw_uid, "another account with the same uid");
                        }
                    }
                    return null;
                }));
            }
            for (Future<?> f : results) {
                f.get();
            }
        } finally {
            pool.shutdownNow();
        }
    }

    @Test
    void accountWithTopBitUidShadowTimesAndAForeignComment() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root to add a test account");
        String name = "qvtest" + ProcessHandle.current().pid() % 100000;
        long uid = 3_000_000_123L;
        // The comment holds a character beyond U+FFFF and a stray Latin-1 byte: account
        // records are bytes, not modified UTF-8. The shell makes them, so no Java encoding
        // stands between the bytes and the record.
        run("bash", "-c", "useradd -M -N -u " + uid + " -s /bin/false"
                + " -c \"$(printf 'Zo\\xc3\\xab \\xf0\\x9f\\x98\\x80 \\xe9x')\" " + name);
        try {
            // Password changed on day 20000, valid for 90 days; account expires on day 20999.
            run("chage", "-d", "2024-10-04", "-M", "90", "-E", "2027-06-30", name);
            PasswdStructure pw = new PasswdStructure();
            assertEquals(0, routines.getpwuid((int) uid, pw));
            assertEquals(name, pw.pw_name);
            assertEquals("Zo\u00eb \uD83D\uDE00 \uFFFDx", pw.pw_gecos);
            assertEquals((int) uid, pw.pw_uid);
            assertEquals((20000 + 90) * 86400, pw.pw_change_sec);
            assertEquals(20999 * 86400, pw.pw_expire_sec);
            PasswdStructure byName = new PasswdStructure();
            assertEquals(0, routines.getpwnam(name, byName));
            assertEquals((int) uid, byName.pw_uid);
        } finally {
            run("userdel", name);
        }
    }

    private static void run(String... command) throws Exception {
        Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
        String output = new String(p.getInputStream().readAllBytes());
        assertEquals(0, p.waitFor(), String.join(" ", command) + ": " + output);
    }
}
