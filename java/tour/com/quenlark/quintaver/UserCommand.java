package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import com.quenlark.util.macos.macosx.PasswdStructure;
import java.util.List;

/** {@code quintaver user NAME|UID}: an account record. */
final class UserCommand implements Command {
    @Override
    public String name() {
        return "user";
    }

    @Override
    public String usage() {
        return "NAME|UID";
    }

    @Override
    public String summary() {
        return "the account record of a user, by name or by id";
    }

    @Override
    public int run(List<String> args) throws Failure {
        if (args.size() != 1) {
            throw Failure.usage(this);
        }
        String who = args.get(0);
        PasswdStructure pw = new PasswdStructure();
        MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();
        int found = who.matches("\\d+")
                ? routines.getpwuid(Integer.parseUnsignedInt(who), pw)
                : routines.getpwnam(who, pw);
        if (found != 0) {
            throw new Failure("no such user: " + who);
        }
        System.out.println("  name     " + pw.pw_name);
        System.out.println("  passwd   " + pw.pw_passwd);
        System.out.println("  uid      " + Format.unsigned(pw.pw_uid));
        System.out.println("  gid      " + Format.unsigned(pw.pw_gid));
        System.out.println("  change   " + seconds(pw.pw_change_sec));
        System.out.println("  class    " + (pw.pw_class.isEmpty() ? "-" : pw.pw_class));
        System.out.println("  gecos    " + pw.pw_gecos);
        System.out.println("  dir      " + pw.pw_dir);
        System.out.println("  shell    " + pw.pw_shell);
        System.out.println("  expire   " + seconds(pw.pw_expire_sec));
        return 0;
    }

    private static String seconds(int value) {
        return value == 0 ? "never" : Format.time(value, 0);
    }
}
