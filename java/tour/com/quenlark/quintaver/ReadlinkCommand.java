package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import java.util.List;

/** {@code quintaver readlink PATH}: the contents of a symbolic link. */
final class ReadlinkCommand implements Command {
    @Override
    public String name() {
        return "readlink";
    }

    @Override
    public String usage() {
        return "PATH";
    }

    @Override
    public String summary() {
        return "the text a symbolic link holds";
    }

    @Override
    public int run(List<String> args) throws Failure {
        if (args.size() != 1) {
            throw Failure.usage(this);
        }
        String target = new MacOSXNativeFileRoutines().readlink(args.get(0));
        if (target == null) {
            throw new Failure(args.get(0) + ": not a readable symbolic link");
        }
        System.out.println(target);
        return 0;
    }
}
