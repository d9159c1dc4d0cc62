package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import com.quenlark.util.macos.macosx.StatfsRecord;
import java.util.ArrayList;
import java.util.List;

/** {@code quintaver mounts}: the table of mounted file systems from getfsstat, like df. */
final class MountsCommand implements Command {
    private static final String[] FLAG_NAMES = {
        "rdonly", "sync", "noexec", "nosuid", "nodev"
    };

    @Override
    public String name() {
        return "mounts";
    }

    @Override
    public String usage() {
        return "";
    }

    @Override
    public String summary() {
        return "every mounted file system: device, mount point, type, flags, sizes";
    }

    @Override
    public int run(List<String> args) throws Failure {
        if (!args.isEmpty()) {
            throw Failure.usage(this);
        }
        MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();
        int count = routines.getfsstat(null, StatfsRecord.MNT_NOWAIT);
        if (count < 0) {
            throw new Failure("cannot read the mount table");
        }
        // Room for a few more, in case something is mounted in between.
        byte[] buf = new byte[(count + 4) * StatfsRecord.SIZE];
        int written = routines.getfsstat(buf, StatfsRecord.MNT_WAIT);
        if (written < 0) {
            throw new Failure("cannot read the mount table");
        }
        System.out.printf("%-24s %8s %8s %8s %4s  %-10s %-22s %s%n", "device", "size", "used", "avail",
                "use%", "type", "mounted on", "flags");
        for (int i = 0; i < written; i++) {
            StatfsRecord r = StatfsRecord.parse(buf, i * StatfsRecord.SIZE);
            long size = r.totalBytes();
            long used = size - r.freeBytes();
            long usable = used + r.availableBytes();
            String percent = usable > 0 ? (int) Math.ceil(100.0 * used / usable) + "%" : "-";
            System.out.printf("%-24s %8s %8s %8s %4s  %-10s %-22s %s%n", r.mntfromname, human(size),
                    human(used), human(r.availableBytes()), percent, r.fstypename, r.mntonname,
                    flags(r.flags));
        }
        return 0;
    }

    static String flags(int flags) {
        List<String> names = new ArrayList<>();
        for (int bit = 0; bit < FLAG_NAMES.length; bit++) {
            if ((flags & (1 << bit)) != 0) {
                names.add(FLAG_NAMES[bit]);
            }
        }
        if ((flags & StatfsRecord.MNT_LOCAL) != 0) {
            names.add("local");
        }
        if ((flags & StatfsRecord.MNT_ROOTFS) != 0) {
            names.add("rootfs");
        }
        if ((flags & StatfsRecord.MNT_NOATIME) != 0) {
            names.add("noatime");
        }
        return names.isEmpty() ? "-" : String.join(",", names);
    }

    /** Bytes as df -h shows them: "0", "512K", "1.5G". */
    static String human(long bytes) {
        if (bytes < 1024) {
            return Long.toString(bytes);
        }
        String units = "KMGTPE";
        double value = bytes;
        int unit = -1;
        while (value >= 1024 && unit < units.length() - 1) {
            value /= 1024;
            unit++;
        }
        return (value < 10 ? String.format("%.1f", value) : String.format("%.0f", value)) + units.charAt(unit);
    }
}
