package com.quenlark.util.macos.macosx;

/**
 * The child JVM of the file-routine tests: runs one native, after dropping to an unprivileged
 * user where asked, and prints its result as "result=N".
 */
public final class FileRoutinesChild {
    private FileRoutinesChild() {}

    public static void main(String[] args) {
        MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();
        int at = 0;
        if (args[at].equals("--as")) {
            int uid = Integer.parseInt(args[at + 1]);
            if (MacOSXNativeSystemCalls.setgid(uid) != 0 || MacOSXNativeSystemCalls.setuid(uid) != 0) {
                System.out.println("could not drop to " + uid);
                System.exit(3);
            }
            at += 2;
        }
        int result;
        switch (args[at]) {
            case "chflags":
                result = routines.chflags(args[at + 1], Integer.parseInt(args[at + 2]));
                break;
            case "mount":
                result = routines.mount("tmpfs", args[at + 1], 0, null);
                break;
            case "statfs":
                result = routines.statfs(args[at + 1], args[at + 2].equals("null")
                        ? null : new byte[Integer.parseInt(args[at + 2])]);
                break;
            case "statfs-oom":
            case "getfsstat-oom":
            case "mount-oom": {
                // An array the VM cannot copy out once the address space is capped.
                byte[] big = new byte[1 << 30];
                if (args[at].equals("mount-oom")) {
                    byte[] block = StatfsRecord.mountArguments("", "size=1m");
                    System.arraycopy(block, 0, big, 0, block.length);
                }
                capAddressSpace();
                result = args[at].equals("statfs-oom") ? routines.statfs(args[at + 1], big)
                        : args[at].equals("getfsstat-oom") ? routines.getfsstat(big, StatfsRecord.MNT_NOWAIT)
                        : routines.mount("tmpfs", args[at + 1], 0, big);
                break;
            }
            default:
                throw new IllegalArgumentException(args[at]);
        }
        System.out.flush();
        System.err.flush();
        System.out.println("result=" + result);
    }

    // Leaves this process a quarter GiB of address space beyond what it maps now.
    private static void capAddressSpace() {
        try {
            long mapped = 0;
            for (String line : java.nio.file.Files.readAllLines(java.nio.file.Path.of("/proc/self/status"))) {
                if (line.startsWith("VmSize:")) {
                    mapped = Long.parseLong(line.replaceAll("[^0-9]", "")) * 1024;
                }
            }
            Process p = new ProcessBuilder("prlimit", "--pid", Long.toString(ProcessHandle.current().pid()),
                    "--as=" + (mapped + (256L << 20))).inheritIO().start();
            if (p.waitFor() != 0) {
                throw new IllegalStateException("prlimit failed");
            }
        } catch (java.io.IOException | InterruptedException e) {
            throw new IllegalStateException(e);
        }
    }
}
