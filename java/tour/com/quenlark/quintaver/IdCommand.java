package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import com.quenlark.util.macos.macosx.MacOSXNativeSystemCalls;
import com.quenlark.util.macos.macosx.PasswdStructure;
import java.util.List;

/** {@code quintaver id}: the process's real and effective user and group. */
final class IdCommand implements Command {
    @Override
    public String name() {
        return "id";
    }

    @Override
    public String usage() {
        return "";
    }

    @Override
    public String summary() {
        return "real and effective user and group ids of this process, with names";
    }

    @Override
    public int run(List<String> args) throws Failure {
        if (!args.isEmpty()) {
            throw Failure.usage(this);
        }
        System.out.println("real user       " + user(MacOSXNativeSystemCalls.getuid()));
        System.out.println("effective user  " + user(MacOSXNativeSystemCalls.geteuid()));
        System.out.println("real group      " + group(MacOSXNativeSystemCalls.getgid()));
        System.out.println("effective group " + group(MacOSXNativeSystemCalls.getegid()));
        return 0;
    }

    private static String user(int uid) {
        PasswdStructure pw = new PasswdStructure();
        int found = new MacOSXNativeFileRoutines().getpwuid(uid, pw);
        return Format.unsigned(uid) + (found == 0 ? " (" + pw.pw_name + ")" : "");
    }

    private static String group(int gid) {
        String name = Groups.name(gid);
        return Format.unsigned(gid) + (name != null ? " (" + name + ")" : "");
    }
}
