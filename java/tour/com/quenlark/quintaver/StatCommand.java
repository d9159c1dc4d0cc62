package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import com.quenlark.util.macos.macosx.PasswdStructure;
import com.quenlark.util.macos.macosx.StatStructure;
import java.util.List;

/** {@code quintaver stat PATH}: every member of the file's status record. */
final class StatCommand implements Command {
    @Override
    public String name() {
        return "stat";
    }

    @Override
    public String usage() {
        return "PATH";
    }

    @Override
    public String summary() {
        return "the full status record of PATH (a final symbolic link itself)";
    }

    @Override
    public int run(List<String> args) throws Failure {
        if (args.size() != 1) {
            throw Failure.usage(this);
        }
        String path = args.get(0);
        StatStructure st = new StatStructure();
        int error = new MacOSXNativeFileRoutines().lstat(path, st);
        if (error != 0) {
            throw new Failure(path + ": " + Errors.describe(error));
        }
        print(path, st);
        return 0;
    }

    static void print(String path, StatStructure st) {
        System.out.println("  file     " + path);
        System.out.printf("  mode     %s (0%o)%n", Format.mode(st.st_mode), st.st_mode);
        System.out.printf("  dev      0x%08x   rdev 0x%08x%n", st.st_dev, st.st_rdev);
        System.out.println("  ino      " + Format.unsigned(st.st_ino));
        System.out.println("  nlink    " + st.st_nlink);
        System.out.println("  uid      " + Format.unsigned(st.st_uid) + owner(st.st_uid));
        System.out.println("  gid      " + Format.unsigned(st.st_gid) + group(st.st_gid));
        System.out.println("  size     " + st.st_size + " bytes");
        System.out.println("  blocks   " + st.st_blocks + " (512 bytes each)");
        System.out.println("  blksize  " + Format.unsigned(st.st_blksize));
        System.out.println("  atime    " + Format.time(st.st_atime, st.st_atimensec));
        System.out.println("  mtime    " + Format.time(st.st_mtime, st.st_mtimensec));
        System.out.println("  ctime    " + Format.time(st.st_ctime, st.st_ctimensec));
        System.out.printf("  flags    %s (0x%x)%n", Format.flags(st.st_flags), st.st_flags);
        System.out.println("  gen      " + Format.unsigned(st.st_gen));
    }

    private static String owner(int uid) {
        PasswdStructure pw = new PasswdStructure();
        return new MacOSXNativeFileRoutines().getpwuid(uid, pw) == 0 ? " (" + pw.pw_name + ")" : "";
    }

    private static String group(int gid) {
        String name = Groups.name(gid);
        return name != null ? " (" + name + ")" : "";
    }
}
