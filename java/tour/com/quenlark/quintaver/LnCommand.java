package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import java.util.List;

/** {@code quintaver ln [-s] TARGET LINK}: a hard or symbolic link. */
final class LnCommand implements Command {
    @Override
    public String name() {
        return "ln";
    }

    @Override
    public String usage() {
        return "[-s] TARGET LINK";
    }

    @Override
    public String summary() {
        return "makes LINK a hard link of TARGET, or with -s a symbolic link to it";
    }

    @Override
    public int run(List<String> args) throws Failure {
        boolean symbolic = !args.isEmpty() && args.get(0).equals("-s");
        List<String> names = symbolic ? args.subList(1, args.size()) : args;
        if (names.size() != 2) {
            throw Failure.usage(this);
        }
        MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();
        int error = symbolic ? routines.symlink(names.get(0), names.get(1))
                : routines.link(names.get(0), names.get(1));
        if (error != 0) {
            throw new Failure(names.get(1) + ": " + Errors.describe(error));
        }
        System.out.println("  " + names.get(1) + (symbolic ? " -> " : " => ") + names.get(0));
        return 0;
    }
}
