package com.quenlark.util.macos.macosx;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.io.RandomAccessFile;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.atomic.AtomicInteger;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/** The registry natives on this machine's device tree, and the CoreFoundation values behind them. */
class RegistryRoutinesTest {
    static final String PLANE = "IOService";
    static final MacOSXNativeRegistryRoutines io = new MacOSXNativeRegistryRoutines();
    static int master;

    @BeforeAll
    static void masterPort() {
        master = io.getMasterPort();
        assertNotEquals(0, master);
    }

    @AfterAll
    static void giveBackMasterPort() {
        io.mach_port_deallocate(master);
    }

    static List<Integer> drain(int iterator) {
        List<Integer> objects = new ArrayList<>();
        for (int o; (o = io.IOIteratorNext(iterator)) != 0; ) {
            objects.add(o);
        }
        return objects;
    }

    /** The names from the root down to every entry, found through child iterators. */
    static void walk(int entry, List<String> path, Map<List<String>, Integer> found) {
        List<String> here = new ArrayList<>(path);
        here.add(io.IORegistryEntryGetName(entry));
        found.put(here, entry);
        int iterator = io.IORegistryEntryGetChildIterator(entry, PLANE);
        assertNotEquals(0, iterator);
        for (int child : drain(iterator)) {
            walk(child, here, found);
        }
        io.IOObjectRelease(iterator);
    }

    @Test
    void walksTheDeviceTreeDownByChildrenAndBackUpByParents() {
        int root = io.IORegistryGetRootEntry(master);
        assertEquals("Root", io.IORegistryEntryGetName(root));
        assertEquals(0, io.IORegistryEntryGetParentEntry(root, PLANE));
        Map<List<String>, Integer> entries = new HashMap<>();
        walk(root, List.of(), entries);
        assertTrue(entries.size() > 10, "a machine has more than ten devices: " + entries.size());
        assertTrue(entries.containsKey(List.of("Root", "virtual")), entries.keySet().toString());

        int leaves = 0;
        for (Map.Entry<List<String>, Integer> e : entries.entrySet()) {
            int entry = e.getValue();
            int child = io.IORegistryEntryGetChildEntry(entry, PLANE);
            if (child != 0) {
                io.IOObjectRelease(child);
                continue;
            }
            leaves++;
            List<String> upwards = new ArrayList<>();
            int at = io.IORegistryEntryGetParentEntry(entry, PLANE);
            while (at != 0) {
                upwards.add(0, io.IORegistryEntryGetName(at));
                int parent = io.IORegistryEntryGetParentEntry(at, PLANE);
                io.IOObjectRelease(at);
                at = parent;
            }
            upwards.add(io.IORegistryEntryGetName(entry));
            assertEquals(e.getKey(), upwards);
        }
        assertTrue(leaves > 0);
        for (int entry : entries.values()) {
            io.IOObjectRelease(entry);
        }
        assertNull(io.IORegistryEntryGetName(root), "released with the others");
    }

    @Test
    void planesTheRegistryLacksGiveNothing() {
        int root = io.IORegistryGetRootEntry(master);
        for (String plane : new String[] {"IODeviceTree", "", "ioservice", null}) {
            assertEquals(0, io.IORegistryEntryGetChildEntry(root, plane), plane);
            assertEquals(0, io.IORegistryEntryGetChildIterator(root, plane), plane);
            assertEquals(0, io.IORegistryEntryGetParentEntry(root, plane), plane);
            assertEquals(0, io.IORegistryEntryGetParentIterator(root, plane), plane);
        }
        io.IOObjectRelease(root);
    }

    @Test
    void iteratorsEndResetAndDieWithTheirRelease() {
        int root = io.IORegistryGetRootEntry(master);
        int iterator = io.IORegistryEntryGetChildIterator(root, PLANE);
        assertEquals(1, io.IOIteratorIsValid(iterator));
        List<Integer> first = drain(iterator);
        assertEquals(0, io.IOIteratorNext(iterator));
        io.IOIteratorReset(iterator);
        List<Integer> again = drain(iterator);
        assertEquals(first.size(), again.size());
        assertEquals(io.IORegistryEntryGetName(first.get(0)), io.IORegistryEntryGetName(again.get(0)));
        first.forEach(io::IOObjectRelease);
        again.forEach(io::IOObjectRelease);
        io.IOObjectRelease(iterator);
        assertEquals(0, io.IOIteratorIsValid(iterator));
        assertEquals(0, io.IOIteratorNext(iterator));
        io.IOIteratorReset(iterator);
        io.IOObjectRelease(iterator);
        io.IOObjectRelease(root);
    }

    @Test
    void staleAndNeverIssuedHandlesGiveFailureValues() {
        int string = io.CFStringCreate("gone");
        io.CFRelease(string);
        int root = io.IORegistryGetRootEntry(master);
        io.IOObjectRelease(root);
        for (int handle : new int[] {string, root, 0, 0x7ffffff0, -1, 0x80000123}) {
            assertNull(io.IORegistryEntryGetName(handle));
            assertEquals(0, io.IORegistryEntryGetChildEntry(handle, PLANE));
            assertEquals(0, io.IORegistryEntryGetParentIterator(handle, PLANE));
            assertEquals(0, io.IORegistryEntryCreateCFProperties(handle));
            assertEquals(0, io.IOIteratorNext(handle));
            assertEquals(0, io.IOIteratorIsValid(handle));
            io.IOIteratorReset(handle);
            io.IOObjectRelease(handle);
            assertEquals(0, io.CFGetTypeID(handle));
            assertEquals(0, io.CFRetain(handle));
            assertNull(io.CFStringGetValue(handle));
            assertEquals(0, io.CFDictionaryGetCount(handle));
            assertEquals(0, io.CFDictionaryGetValueIfPresent(handle, "BSD Name"));
            int[] keys = {7};
            io.CFDictionaryGetKeysAndValues(handle, keys, keys);
            assertEquals(7, keys[0]);
            assertEquals(0, io.IOServiceGetMatchingServices(master, handle));
            io.CFRelease(handle);
        }
        assertEquals(0, io.IORegistryGetRootEntry(0x7ffffff0));
        io.mach_port_deallocate(0x7ffffff0);
    }

    @Test
    void stringsRoundTripAsUtf16() {
        for (String text : new String[] {"", "BSD Name", "a\uD83D\uDE00b", "x\u0000y", "\uDC00lone"}) {
            int s = io.CFStringCreate(text);
            assertNotEquals(0, s);
            assertEquals(io.CFStringGetTypeID(), io.CFGetTypeID(s));
            assertEquals(text, io.CFStringGetValue(s));
            assertEquals(s, io.CFRetain(s), "the very handle");
            io.CFRelease(s);
            assertEquals(text, io.CFStringGetValue(s), "one reference left");
            io.CFRelease(s);
            assertNull(io.CFStringGetValue(s));
        }
        assertEquals(0, io.CFStringCreate(null));
        assertNotEquals(io.CFStringGetTypeID(), io.CFBooleanGetTypeID());
        assertNotEquals(io.CFNumberGetTypeID(), io.CFBooleanGetTypeID());
    }

    @Test
    void handlesWithTheTopBitSetPassBackUnchanged() {
        // Each slot gets a new generation (the top bits) when it is used again, so churn
        // reaches negative handles after about two million strings.
        int negative = 0;
        for (int i = 0; i < 5_000_000 && negative == 0; i++) {
            int s = io.CFStringCreate("n");
            if (s < 0) {
                negative = s;
            } else {
                io.CFRelease(s);
            }
        }
        assertTrue(negative < 0, "no handle with the top bit set appeared");
        assertEquals("n", io.CFStringGetValue(negative));
        assertEquals(negative, io.CFRetain(negative));
        assertEquals(io.CFStringGetTypeID(), io.CFGetTypeID(negative));
        io.CFRelease(negative);
        io.CFRelease(negative);
        assertNull(io.CFStringGetValue(negative));
    }

    @Test
    void aHandleOfOneKindNamesNothingOfTheOther() {
        int string = io.CFStringCreate("kept");
        int root = io.IORegistryGetRootEntry(master);
        io.IOObjectRelease(string); // a string is no registry object
        io.CFRelease(root); // and an entry no CoreFoundation value
        assertEquals("kept", io.CFStringGetValue(string));
        assertEquals("Root", io.IORegistryEntryGetName(root));
        assertEquals(0, io.CFGetTypeID(root));
        assertNull(io.IORegistryEntryGetName(string));
        io.CFRelease(string);
        io.IOObjectRelease(root);
    }

    @Test
    void booleanAndNumberCreateMakeNothing() {
        assertEquals(1, io.CFBooleanCreate(true));
        assertEquals(0, io.CFBooleanCreate(false));
        assertEquals(0, io.CFNumberCreateInt32(42));
    }

    @Test
    void dictionaryLookUpsAndListings() {
        int matching = io.IOBSDNameMatching(master, "sda");
        assertNotEquals(0, matching);
        assertEquals(2, io.CFDictionaryGetCount(matching));
        int name = io.CFDictionaryGetValueIfPresent(matching, "BSD Name");
        assertNotEquals(0, name);
        assertEquals(name, io.CFDictionaryGetValueIfPresent(matching, "BSD Name"));
        assertEquals("sda", io.CFStringGetValue(name));
        assertNull(io.CFStringGetValue(matching), "a dictionary is no string");
        assertEquals("IOMedia", io.CFStringGetValue(io.CFDictionaryGetValueIfPresent(matching, "IOProviderClass")));
        for (String absent : new String[] {"bsd name", "BSD Name\u0000", "\uD83D\uDE00", ""}) {
            assertEquals(0, io.CFDictionaryGetValueIfPresent(matching, absent), absent);
        }
        assertEquals(0, io.CFDictionaryGetValueIfPresent(matching, null));

        int[] keys = {-5, -5, -5, -5};
        int[] values = {-6, -6, -6, -6};
        io.CFDictionaryGetKeysAndValues(matching, keys, values);
        assertArrayEquals(new int[] {-5, -5}, new int[] {keys[2], keys[3]});
        assertArrayEquals(new int[] {-6, -6}, new int[] {values[2], values[3]});
        Map<String, Integer> byKey = new HashMap<>();
        for (int i = 0; i < 2; i++) {
            byKey.put(io.CFStringGetValue(keys[i]), values[i]);
        }
        assertEquals(name, byKey.get("BSD Name"));

        int[] shortKeys = {9};
        io.CFDictionaryGetKeysAndValues(matching, shortKeys, values.clone());
        assertEquals(9, shortKeys[0], "too short: nothing written");
        io.CFDictionaryGetKeysAndValues(matching, null, values);
        io.CFRelease(matching);

        int root = io.IORegistryGetRootEntry(master);
        int empty = io.IORegistryEntryCreateCFProperties(root);
        assertEquals(0, io.CFDictionaryGetCount(empty));
        io.CFDictionaryGetKeysAndValues(empty, keys, values);
        assertArrayEquals(new int[] {-5, -5, -5, -5}, new int[] {-5, -5, keys[2], keys[3]});
        assertEquals(-6, values[3]);
        io.CFRelease(empty);
        io.IOObjectRelease(root);
        assertEquals(0, io.IOBSDNameMatching(master, null));
    }

    @Test
    void lookUpsBorrowAndMatchingUsesUpOneReference() {
        int matching = io.IOBSDNameMatching(master, "sda");
        int name = io.CFDictionaryGetValueIfPresent(matching, "BSD Name");
        int[] keys = new int[2];
        int[] values = new int[2];
        io.CFDictionaryGetKeysAndValues(matching, keys, values);
        int kept = io.CFRetain(name);
        assertEquals(matching, io.CFRetain(matching));
        int iterator = io.IOServiceGetMatchingServices(master, matching);
        assertNotEquals(0, iterator);
        drain(iterator).forEach(io::IOObjectRelease);
        io.IOObjectRelease(iterator);
        assertEquals(2, io.CFDictionaryGetCount(matching), "the lookup took one reference only");
        io.CFRelease(matching);
        assertEquals(0, io.CFDictionaryGetCount(matching), "and the caller's other one was the last");
        int other = values[0] == kept ? values[1] : values[0]; // "IOMedia", made for the dictionary
        assertEquals(0, io.CFGetTypeID(other), "gone with the dictionary");
        assertEquals("sda", io.CFStringGetValue(kept), "kept by its own reference");
        io.CFRelease(kept);
        assertNull(io.CFStringGetValue(kept));
    }

    /** The first entry matching a BSD name, or 0. */
    static int media(String bsdName) {
        int iterator = io.IOServiceGetMatchingServices(master, io.IOBSDNameMatching(master, bsdName));
        assertNotEquals(0, iterator);
        List<Integer> found = drain(iterator);
        io.IOObjectRelease(iterator);
        for (int i = 1; i < found.size(); i++) {
            io.IOObjectRelease(found.get(i));
        }
        assertTrue(found.size() <= 1, "one device per BSD name");
        return found.isEmpty() ? 0 : found.get(0);
    }

    @Test
    void aLoopDeviceMatchesByItsBsdNameWithItsSizeAndName() throws Exception {
        assumeTrue("root".equals(System.getProperty("user.name")), "needs root: losetup");
        assumeTrue(Files.exists(Path.of("/dev/loop-control")), "needs loop devices: /dev/loop-control");
        Path image = Files.createTempFile("registry", ".img");
        String device = null;
        try {
            try (RandomAccessFile file = new RandomAccessFile(image.toFile(), "rw")) {
                file.setLength(4 << 20);
            }
            device = run("losetup", "-f", "--show", image.toString());
            assumeTrue(device.startsWith("/dev/loop"), "losetup gave no loop device: " + device);
            String bsdName = device.substring("/dev/".length());

            int entry = media(bsdName);
            assertNotEquals(0, entry, bsdName);
            assertEquals(bsdName, io.IORegistryEntryGetName(entry));
            int props = io.IORegistryEntryCreateCFProperties(entry);
            assertNotEquals(0, props);
            assertEquals(bsdName, io.CFStringGetValue(io.CFDictionaryGetValueIfPresent(props, "BSD Name")));
            int size = io.CFDictionaryGetValueIfPresent(props, "Size");
            assertEquals(io.CFNumberGetTypeID(), io.CFGetTypeID(size));
            int whole = io.CFDictionaryGetValueIfPresent(props, "Whole");
            assertEquals(io.CFBooleanGetTypeID(), io.CFGetTypeID(whole));
            // The device's own attributes come along, numbers as numbers.
            assertEquals(io.CFNumberGetTypeID(), io.CFGetTypeID(io.CFDictionaryGetValueIfPresent(props, "size")));
            io.CFRelease(props);

            int parent = io.IORegistryEntryGetParentEntry(entry, PLANE);
            assertEquals("block", io.IORegistryEntryGetName(parent));
            io.IOObjectRelease(parent);
            io.IOObjectRelease(entry);
        } finally {
            if (device != null && device.startsWith("/dev/loop")) {
                run("losetup", "-d", device);
            }
            Files.deleteIfExists(image);
        }
        assertEquals(0, media("no-such-disk"));
    }

    @Test
    void threadsShareHandlesSafely() throws Exception {
        int shared = io.CFStringCreate("shared");
        AtomicInteger wrong = new AtomicInteger();
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < 8; t++) {
            Thread thread = new Thread(() -> {
                for (int i = 0; i < 20000; i++) {
                    int own = io.CFRetain(shared);
                    int mine = io.CFStringCreate("t" + i);
                    if (own != shared || !("t" + i).equals(io.CFStringGetValue(mine))) {
                        wrong.incrementAndGet();
                    }
                    io.CFRelease(mine);
                    io.CFRelease(own);
                }
            });
            threads.add(thread);
            thread.start();
        }
        for (Thread thread : threads) {
            thread.join();
        }
        assertEquals(0, wrong.get());
        assertEquals("shared", io.CFStringGetValue(shared));
        io.CFRelease(shared);
        assertNull(io.CFStringGetValue(shared));
    }

    static String run(String... command) throws IOException, InterruptedException {
        Process p = new ProcessBuilder(command).redirectErrorStream(true).start();
        String out = new String(p.getInputStream().readAllBytes()).trim();
        assertEquals(0, p.waitFor(), String.join(" ", command) + ": " + out);
        return out;
    }
}
