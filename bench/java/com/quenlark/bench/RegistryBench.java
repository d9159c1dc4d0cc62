package com.quenlark.bench;

import com.quenlark.util.macos.macosx.MacOSXNativeRegistryRoutines;
import java.io.IOException;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/**
 * Property look-ups in a block device's dictionary through the natives against a Java
 * HashMap, and a walk of the whole registry reading every name against a Java walk of
 * /sys/devices by the same rule.
 */
final class RegistryBench implements Benchmark {
    private static final String PLANE = "IOService";
    private final MacOSXNativeRegistryRoutines io = new MacOSXNativeRegistryRoutines();

    @Override
    public String name() {
        return "registry";
    }

    @Override
    public void run() throws Exception {
        int master = io.getMasterPort();
        String disk = firstBlockDevice();
        int iterator = io.IOServiceGetMatchingServices(master, io.IOBSDNameMatching(master, disk));
        int entry = io.IOIteratorNext(iterator);
        io.IOObjectRelease(iterator);
        int properties = io.IORegistryEntryCreateCFProperties(entry);
        io.IOObjectRelease(entry);

        // The same keys and values in a HashMap, as Java code would keep them.
        int count = io.CFDictionaryGetCount(properties);
        int[] keys = new int[count];
        int[] values = new int[count];
        io.CFDictionaryGetKeysAndValues(properties, keys, values);
        Map<String, Integer> map = new HashMap<>();
        for (int i = 0; i < count; i++) {
            map.put(io.CFStringGetValue(keys[i]), values[i]);
        }
        String key = "BSD Name";
        char[] keyChars = key.toCharArray();

        Harness.Table lookups = Harness.table("look up \"" + key + "\" in the " + count + " properties of " + disk + ": ns per call")
                .add("libQuintaver CFDictionaryGetValueIfPresent",
                        () -> Harness.sink += io.CFDictionaryGetValueIfPresent(properties, key))
                .add("HashMap.get (same key)", () -> Harness.sink += map.get(key))
                .add("HashMap.get (new equal key)", () -> Harness.sink += map.get(new String(keyChars)))
                .add("C: key string + look-up + release",
                        calls -> RegistryFloor.lookupLoop(properties, key, calls))
                .add("C: handle held and dropped", calls -> RegistryFloor.holdLoop(properties, calls));
        double total = lookups.median("libQuintaver CFDictionaryGetValueIfPresent");
        double platform = lookups.median("C: key string + look-up + release");
        double held = lookups.median("C: handle held and dropped");
        lookups.note(String.format("native look-up split: key string, look-up and release %.0f ns (%.0f%%),"
                        + " handle held %.0f ns (%.0f%%), the rest (JNI transition, key bytes) %.0f ns (%.0f%%)",
                platform, 100 * platform / total, held, 100 * held / total, total - platform - held,
                100 * (total - platform - held) / total));
        lookups.print();
        io.CFRelease(properties);

        int entries = walkNatives(master);
        int files = walkSysfs(Path.of("/sys/devices"), new ArrayList<>());
        Harness.table("walk the whole registry (" + entries + " entries, every name): ns per walk")
                .add("libQuintaver natives", () -> Harness.sink += walkNatives(master))
                .add("Java walk of /sys/devices", () -> Harness.sink += walkSysfs(Path.of("/sys/devices"),
                        new ArrayList<>()))
                .add("C: platform calls", RegistryFloor::walkLoop)
                .note("the Java walk finds " + files + " entries by the same rule (directories with a"
                        + " uevent file, or holding one below)")
                .print();
        io.mach_port_deallocate(master);
    }

    private static String firstBlockDevice() throws IOException {
        try (DirectoryStream<Path> devices = Files.newDirectoryStream(Path.of("/sys/class/block"))) {
            for (Path device : devices) {
                return device.getFileName().toString();
            }
        }
        throw new IOException("no block device in /sys/class/block");
    }

    private int walkNatives(int master) {
        int root = io.IORegistryGetRootEntry(master);
        int count = walk(root);
        io.IOObjectRelease(root);
        return count;
    }

    private int walk(int entry) {
        Harness.sink += io.IORegistryEntryGetName(entry).length();
        int count = 1;
        int children = io.IORegistryEntryGetChildIterator(entry, PLANE);
        for (int child; (child = io.IOIteratorNext(children)) != 0; ) {
            count += walk(child);
            io.IOObjectRelease(child);
        }
        io.IOObjectRelease(children);
        return count;
    }

    /** The entries below dir by the registry's rule, each name taken; returns their number + 1. */
    private static int walkSysfs(Path dir, List<String> names) throws IOException {
        names.add(dir.getFileName().toString());
        int count = 1;
        List<Path> below = new ArrayList<>();
        try (DirectoryStream<Path> items = Files.newDirectoryStream(dir)) {
            for (Path item : items) {
                if (Files.isDirectory(item, LinkOption.NOFOLLOW_LINKS) && isEntry(item)) {
                    below.add(item);
                }
            }
        }
        below.sort(null);
        for (Path child : below) {
            count += walkSysfs(child, names);
        }
        return count;
    }

    private static boolean isEntry(Path dir) throws IOException {
        return Files.isRegularFile(dir.resolve("uevent"), LinkOption.NOFOLLOW_LINKS) || holdsDevice(dir, 0);
    }

    private static boolean holdsDevice(Path dir, int depth) throws IOException {
        if (depth > 6) {
            return false;
        }
        try (DirectoryStream<Path> items = Files.newDirectoryStream(dir)) {
            for (Path item : items) {
                if (Files.isDirectory(item, LinkOption.NOFOLLOW_LINKS)
                        && (Files.isRegularFile(item.resolve("uevent"), LinkOption.NOFOLLOW_LINKS)
                                || holdsDevice(item, depth + 1))) {
                    return true;
                }
            }
        }
        return false;
    }
}
