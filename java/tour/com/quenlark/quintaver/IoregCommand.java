package com.quenlark.quintaver;

import com.quenlark.util.macos.macosx.MacOSXNativeRegistryRoutines;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * {@code quintaver ioreg [-l] [-d DEPTH] [-b BSDNAME]}: this machine's device registry as a tree
 * in the "IOService" plane, optionally with each entry's properties, or the block device of a
 * BSD name with its properties.
 */
final class IoregCommand implements Command {
    private static final String PLANE = "IOService";
    private final MacOSXNativeRegistryRoutines io = new MacOSXNativeRegistryRoutines();

    @Override
    public String name() {
        return "ioreg";
    }

    @Override
    public String usage() {
        return "[-l] [-d DEPTH] [-b BSDNAME]";
    }

    @Override
    public String summary() {
        return "the device registry tree (-l with properties, -b one block device)";
    }

    @Override
    public int run(List<String> args) throws Failure {
        boolean properties = false;
        int depth = Integer.MAX_VALUE;
        String bsdName = null;
        for (int i = 0; i < args.size(); i++) {
            switch (args.get(i)) {
                case "-l" -> properties = true;
                case "-d" -> depth = depthOf(args, ++i);
                case "-b" -> {
                    if (++i >= args.size()) {
                        throw Failure.usage(this);
                    }
                    bsdName = args.get(i);
                }
                default -> throw Failure.usage(this);
            }
        }
        int master = io.getMasterPort();
        if (master == 0) {
            throw new Failure("no registry master port: the device tree cannot be read");
        }
        try {
            if (bsdName != null) {
                showMedia(master, bsdName);
            } else {
                int root = io.IORegistryGetRootEntry(master);
                print(root, "", "  ", 0, depth, properties);
                io.IOObjectRelease(root);
            }
        } finally {
            io.mach_port_deallocate(master);
        }
        return 0;
    }

    private int depthOf(List<String> args, int i) throws Failure {
        try {
            return Integer.parseInt(args.get(i));
        } catch (IndexOutOfBoundsException | NumberFormatException e) {
            throw Failure.usage(this);
        }
    }

    /** One entry and, below it, its children, drawn with "+-o" and "|" as in a tree browser. */
    private void print(int entry, String lead, String childLead, int level, int depth, boolean properties) {
        System.out.println(lead + "+-o " + io.IORegistryEntryGetName(entry));
        List<Integer> children = new ArrayList<>();
        if (level < depth) {
            int iterator = io.IORegistryEntryGetChildIterator(entry, PLANE);
            for (int child; (child = io.IOIteratorNext(iterator)) != 0; ) {
                children.add(child);
            }
            io.IOObjectRelease(iterator);
        }
        if (properties) {
            printProperties(entry, childLead + (children.isEmpty() ? "  " : "| "));
        }
        for (int i = 0; i < children.size(); i++) {
            boolean last = i == children.size() - 1;
            print(children.get(i), childLead, childLead + (last ? "  " : "| "), level + 1, depth, properties);
            io.IOObjectRelease(children.get(i));
        }
    }

    private void showMedia(int master, String bsdName) throws Failure {
        int iterator = io.IOServiceGetMatchingServices(master, io.IOBSDNameMatching(master, bsdName));
        int entry = iterator == 0 ? 0 : io.IOIteratorNext(iterator);
        io.IOObjectRelease(iterator);
        if (entry == 0) {
            throw new Failure(bsdName + ": no block device of that BSD name");
        }
        List<String> path = new ArrayList<>();
        int at = io.IORegistryEntryGetParentEntry(entry, PLANE);
        while (at != 0) {
            path.add(0, io.IORegistryEntryGetName(at));
            int parent = io.IORegistryEntryGetParentEntry(at, PLANE);
            io.IOObjectRelease(at);
            at = parent;
        }
        String lead = "";
        for (String name : path) {
            System.out.println(lead + "+-o " + name);
            lead += "  ";
        }
        System.out.println(lead + "+-o " + io.IORegistryEntryGetName(entry));
        printProperties(entry, lead + "  ");
        io.IOObjectRelease(entry);
    }

    private void printProperties(int entry, String lead) {
        int dictionary = io.IORegistryEntryCreateCFProperties(entry);
        if (dictionary == 0) {
            return;
        }
        int count = io.CFDictionaryGetCount(dictionary);
        int[] keys = new int[count];
        int[] values = new int[count];
        io.CFDictionaryGetKeysAndValues(dictionary, keys, values);
        Map<String, String> sorted = new TreeMap<>();
        for (int i = 0; i < count; i++) {
            sorted.put(io.CFStringGetValue(keys[i]), describe(values[i]));
        }
        System.out.println(lead + "{");
        sorted.forEach((key, value) -> System.out.println(lead + "  \"" + key + "\" = " + value));
        System.out.println(lead + "}");
        io.CFRelease(dictionary);
    }

    /** A string's text; numbers and booleans show only their kind through these natives. */
    private String describe(int value) {
        int type = io.CFGetTypeID(value);
        if (type == io.CFStringGetTypeID()) {
            return "\"" + io.CFStringGetValue(value) + "\"";
        }
        if (type == io.CFNumberGetTypeID()) {
            return "(number)";
        }
        if (type == io.CFBooleanGetTypeID()) {
            return "(boolean)";
        }
        return "(type " + type + ")";
    }
}
