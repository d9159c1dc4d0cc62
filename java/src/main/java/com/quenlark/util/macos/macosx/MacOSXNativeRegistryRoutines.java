package com.quenlark.util.macos.macosx;

/**
 * The device registry and the CoreFoundation values it hands out, call for call.
 *
 * <p>Every platform object (master port, registry entry, iterator, dictionary, string) comes
 * back as an {@code int} handle, 0 meaning none; handles may be negative and are passed back
 * unchanged. A handle belongs to the caller until it is given back with the release method
 * that fits it: {@link #IOObjectRelease} for entries and iterators, {@link #mach_port_deallocate}
 * for the master port, {@link #CFRelease} for dictionaries and strings. Handles only looked up
 * (dictionary values, keys) are borrowed and live as long as their dictionary; take a reference
 * with {@link #CFRetain} to keep one longer. A handle that names no live object gives the
 * method's failure value.
 *
 * <p>The registry's one plane is {@code "IOService"}: the machine's device tree below the root
 * entry {@code "Root"}. Block devices match by their BSD name ({@code "sda"}, {@code "loop0"}).
 */
public class MacOSXNativeRegistryRoutines {
    static {
        QuintaverLibrary.load();
    }

    // The registry.

    /** @return the registry's master port (give it back with {@link #mach_port_deallocate}), or 0 */
    public native int getMasterPort();

    /** Drops one reference to {@code port}; nothing is reported. */
    public native void mach_port_deallocate(int port);

    /** @return the root entry of the registry reached through master port {@code port}, or 0 */
    public native int IORegistryGetRootEntry(int port);

    /**
     * A matching dictionary for the block device called {@code bsdNameString}. Passing it to
     * {@link #IOServiceGetMatchingServices} uses it up: do not release it afterwards.
     *
     * @return the dictionary's handle, or 0 for a null name
     */
    public native int IOBSDNameMatching(int masterPort, String bsdNameString);

    /**
     * Looks up the entries that match {@code dictionary}, which this call consumes.
     *
     * @return an iterator over them (empty when none matches), or 0 when the lookup fails
     */
    public native int IOServiceGetMatchingServices(int masterPort, int dictionary);

    /** @return the entry's name (at most 127 bytes of UTF-8), or null for a handle that is no entry */
    public native String IORegistryEntryGetName(int registryRef);

    /** @return the entry's first child in the plane, or 0 when it has none or the plane is unknown */
    public native int IORegistryEntryGetChildEntry(int registryEntry, String planeNameString);

    /** @return an iterator over the entry's children in the plane, or 0 */
    public native int IORegistryEntryGetChildIterator(int registryEntry, String planeNameString);

    /** @return the entry's parent in the plane, or 0 when it has none or the plane is unknown */
    public native int IORegistryEntryGetParentEntry(int registryEntry, String planeNameString);

    /** @return an iterator over the entry's parents in the plane, or 0 */
    public native int IORegistryEntryGetParentIterator(int registryEntry, String planeNameString);

    /** @return the iterator's next object (release it with {@link #IOObjectRelease}), or 0 at the end */
    public native int IOIteratorNext(int ioIterator);

    /** @return non-zero while {@code ioIterator} is a usable iterator */
    public native int IOIteratorIsValid(int ioIterator);

    /** Starts the iterator over from its first object. */
    public native void IOIteratorReset(int ioIterator);

    /** Gives back an entry or iterator; nothing is reported. */
    public native void IOObjectRelease(int releaseRef);

    /**
     * A new dictionary of the entry's properties (release it with {@link #CFRelease}): device
     * attributes as strings or numbers, and for block devices {@code "BSD Name"}, {@code "Size"}
     * (bytes), {@code "Whole"}, {@code "Writable"}, {@code "Removable"} and others.
     *
     * @return the dictionary's handle, or 0
     */
    public native int IORegistryEntryCreateCFProperties(int registryEntry);

    // CoreFoundation values.

    /** @return the type identifier of the value, to compare with the three below; 0 for none */
    public native int CFGetTypeID(int getIDRef);

    /** @return the type identifier of booleans */
    public native int CFBooleanGetTypeID();

    /** @return the type identifier of strings */
    public native int CFStringGetTypeID();

    /** @return the type identifier of numbers */
    public native int CFNumberGetTypeID();

    /** Takes a further reference. @return {@code retainRef} itself, or 0 when it names nothing */
    public native int CFRetain(int retainRef);

    /** Drops a reference; the last one destroys the value. */
    public native void CFRelease(int releaseRef);

    /** @return a new string holding {@code value}'s characters (release it), or 0 */
    public native int CFStringCreate(String value);

    /** @return the string's characters, or null when {@code stringRef} is no string */
    public native String CFStringGetValue(int stringRef);

    /** Creates nothing. @return 1 for true, 0 for false; this is no handle */
    public native int CFBooleanCreate(boolean value);

    /** Creates nothing. @return 0; this is no handle */
    public native int CFNumberCreateInt32(int value);

    /**
     * @return the value stored under the key {@code keyNameString} (borrowed), or 0 when the
     *     key is absent or is no valid text
     */
    public native int CFDictionaryGetValueIfPresent(int dictionaryRef, String keyNameString);

    /** @return the number of entries of the dictionary, 0 for a handle that is no dictionary */
    public native int CFDictionaryGetCount(int dictionaryRef);

    /**
     * Stores the dictionary's keys and values (borrowed handles) into elements 0 to n-1 of the
     * arrays, key i with value i, where n is {@link #CFDictionaryGetCount}; elements from n on
     * keep their values. Nothing is written when either array is null or shorter than n.
     */
    public native void CFDictionaryGetKeysAndValues(
            int dictionaryRef, int[] returnKeys, int[] returnValues);
}
