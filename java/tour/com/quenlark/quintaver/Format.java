package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.StatStructure;
import java.time.Instant;
import java.time.ZoneId;
import java.time.format.DateTimeFormatter;
import java.util.ArrayList;
import java.util.List;

/** How the tour shows platform values to a person. */
final class Format {
    private static final DateTimeFormatter DATE =
            DateTimeFormatter.ofPattern("yyyy-MM-dd HH:mm:ss.nnnnnnnnn xx")
                    .withZone(ZoneId.systemDefault());

    private Format() {}

    /** A mode as {@code ls -l} shows it: "drwxr-xr-x", "-rwsr-xr-x", "lrwxrwxrwx". */
    static String mode(int mode) {
        StringBuilder s = new StringBuilder(10);
        s.append(typeLetter(mode & StatStructure.S_IFMT));
        String rwx = "rwxrwxrwx";
        for (int i = 0; i < 9; i++) {
            s.append((mode & (0400 >> i)) != 0 ? rwx.charAt(i) : '-');
        }
        special(s, 3, (mode & 04000) != 0, 's');
        special(s, 6, (mode & 02000) != 0, 's');
        special(s, 9, (mode & 01000) != 0, 't');
        return s.toString();
    }

    private static char typeLetter(int type) {
        switch (type) {
            case StatStructure.S_IFDIR: return 'd';
            case StatStructure.S_IFLNK: return 'l';
            case StatStructure.S_IFCHR: return 'c';
            case StatStructure.S_IFBLK: return 'b';
            case StatStructure.S_IFIFO: return 'p';
            case StatStructure.S_IFSOCK: return 's';
            default: return '-';
        }
    }

    private static void special(StringBuilder s, int at, boolean set, char letter) {
        if (set) {
            boolean executable = s.charAt(at) != '-';
            s.setCharAt(at, executable ? letter : Character.toUpperCase(letter));
        }
    }

    private static final String[] FLAG_NAMES = {
        "nodump", "uimmutable", "uappend", "opaque", null, "compressed", null, null,
        null, null, null, null, null, null, null, "hidden",
        "archived", "simmutable", "sappend"
    };

    /** BSD flags by name, as {@code ls -lO} shows them: "nodump,simmutable", or "-". */
    static String flags(int flags) {
        List<String> names = new ArrayList<>();
        for (int bit = 0; bit < 32; bit++) {
            if ((flags & (1 << bit)) != 0) {
                String name = bit < FLAG_NAMES.length ? FLAG_NAMES[bit] : null;
                names.add(name != null ? name : String.format("0x%x", 1 << bit));
            }
        }
        return names.isEmpty() ? "-" : String.join(",", names);
    }

    /** Seconds and nanoseconds since 1970 as a local date. */
    static String time(long seconds, int nanoseconds) {
        return DATE.format(Instant.ofEpochSecond(seconds, nanoseconds));
    }

    /** An unsigned 32-bit value carried in an int. */
    static String unsigned(int value) {
        return Integer.toUnsignedString(value);
    }
}
