package com.quenlark.util.macos.macosx;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import com.quenlark.testsupport.ChildJvm;
import org.junit.jupiter.api.Test;

/** The identity setters change the whole process, so each case runs in a child JVM. */
class IdentityTest {
    /** Prints "label=value" lines of identity calls; the parent checks them. */
    public static final class Child {
        public static void main(String[] args) {
            switch (args[0]) {
                case "drop" -> {
                    say("setgid", MacOSXNativeSystemCalls.setgid(65534));
                    say("setuid", MacOSXNativeSystemCalls.setuid(65534));
                    ids();
                    say("setuidBack", MacOSXNativeSystemCalls.setuid(0));
                    say("seteuidBack", MacOSXNativeSystemCalls.seteuid(0));
                    ids();
                }
                case "effective" -> {
                    say("setegid", MacOSXNativeSystemCalls.setegid((int) 3_000_000_000L));
                    say("seteuid", MacOSXNativeSystemCalls.seteuid((int) 3_000_000_000L));
                    ids();
                    say("seteuidBack", MacOSXNativeSystemCalls.seteuid(0));
                    ids();
                }
                default -> throw new IllegalArgumentException(args[0]);
            }
        }

        private static void ids() {
            System.out.println("ids=" + MacOSXNativeSystemCalls.getuid() + "," + MacOSXNativeSystemCalls.geteuid()
                    + "," + MacOSXNativeSystemCalls.getgid() + "," + MacOSXNativeSystemCalls.getegid());
        }

        private static void say(String label, int value) {
            System.out.println(label + "=" + value);
        }
    }

    @Test
    void rootProcessReadsZero() {
        assumeTrue(ChildJvm.isRoot(), "needs a JVM run by root");
        assertEquals(0, MacOSXNativeSystemCalls.getuid());
        assertEquals(0, MacOSXNativeSystemCalls.geteuid());
    }

    @Test
    void droppingToAnUnprivilegedIdIsFinal() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root to drop to another user");
        ChildJvm.Result r = ChildJvm.run(Child.class, "drop");
        assertEquals(0, r.exitCode(), r.output());
        assertEquals(String.join("\n",
                "setgid=0", "setuid=0", "ids=65534,65534,65534,65534",
                "setuidBack=-1", "seteuidBack=-1", "ids=65534,65534,65534,65534"), r.output().trim());
    }

    @Test
    void idsWithTheTopBitSetCrossAsNegativeInts() throws Exception {
        assumeTrue(ChildJvm.isRoot(), "needs root to take an effective id");
        int big = (int) 3_000_000_000L;
        ChildJvm.Result r = ChildJvm.run(Child.class, "effective");
        assertEquals(0, r.exitCode(), r.output());
        assertEquals(String.join("\n",
                "setegid=0", "seteuid=0", "ids=0," + big + ",0," + big,
                "seteuidBack=0", "ids=0,0,0," + big), r.output().trim());
    }
}
