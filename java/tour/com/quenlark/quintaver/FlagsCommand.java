package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.AttributeList;
import com.quenlark.util.macos.macosx.BsdFlags;
import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import java.util.List;
import java.util.Map;

/** {@code quintaver flags PATH [+FLAG|-FLAG]...}: shows, sets and clears BSD flags. */
final class FlagsCommand implements Command {
    private static final Map<String, Integer> NAMES = Map.ofEntries(
            Map.entry("nodump", BsdFlags.UF_NODUMP),
            Map.entry("uimmutable", BsdFlags.UF_IMMUTABLE), Map.entry("uchg", BsdFlags.UF_IMMUTABLE),
            Map.entry("uappend", BsdFlags.UF_APPEND), Map.entry("uappnd", BsdFlags.UF_APPEND),
            Map.entry("opaque", BsdFlags.UF_OPAQUE), Map.entry("compressed", BsdFlags.UF_COMPRESSED),
            Map.entry("hidden", BsdFlags.UF_HIDDEN), Map.entry("archived", BsdFlags.SF_ARCHIVED),
            Map.entry("simmutable", BsdFlags.SF_IMMUTABLE), Map.entry("schg", BsdFlags.SF_IMMUTABLE),
            Map.entry("sappend", BsdFlags.SF_APPEND), Map.entry("sappnd", BsdFlags.SF_APPEND));

    @Override
    public String name() {
        return "flags";
    }

    @Override
    public String usage() {
        return "PATH [+nodump|-nodump|+schg|...]";
    }

    @Override
    public String summary() {
        return "the BSD flags of PATH; +FLAG sets, -FLAG clears";
    }

    @Override
    public int run(List<String> args) throws Failure {
        if (args.isEmpty()) {
            throw Failure.usage(this);
        }
        String path = args.get(0);
        MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();
        int flags = flagsOf(routines, path);
        if (args.size() > 1) {
            int wanted = flags;
            for (String change : args.subList(1, args.size())) {
                Integer flag = change.length() > 1 ? NAMES.get(change.substring(1)) : null;
                if (flag == null || (change.charAt(0) != '+' && change.charAt(0) != '-')) {
                    throw new Failure("unknown change '" + change + "' (known: +/- " + String.join(" ",
                            new java.util.TreeSet<>(NAMES.keySet())) + ")");
                }
                wanted = change.charAt(0) == '+' ? wanted | flag : wanted & ~flag;
            }
            if (routines.chflags(path, wanted) != 0) {
                throw new Failure(path + ": cannot set flags " + Format.flags(wanted)
                        + " (not permitted, or not kept by this file system)");
            }
            System.out.printf("  before   %s (0x%x)%n", Format.flags(flags), flags);
            flags = flagsOf(routines, path);
        }
        System.out.printf("  flags    %s (0x%x)%n", Format.flags(flags), flags);
        return 0;
    }

    // chflags follows a final symbolic link, so the flags shown are those of what it names: an
    // attribute-list read follows links the same way, and a loop of links ends in an error.
    private static int flagsOf(MacOSXNativeFileRoutines routines, String path) throws Failure {
        byte[] reply = new byte[8];
        int error = routines.getattrlist(path, reply, AttributeList.ATTR_CMN_FLAGS, 0, 0, 0, 0, 0);
        if (error != 0) {
            throw new Failure(path + ": " + Errors.describe(error));
        }
        return new AttributeList.Reader(reply).nextInt();
    }
}
