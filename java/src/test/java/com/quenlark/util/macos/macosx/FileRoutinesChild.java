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
            default:
                throw new IllegalArgumentException(args[at]);
        }
        System.out.flush();
        System.err.flush();
        System.out.println("result=" + result);
    }
}
