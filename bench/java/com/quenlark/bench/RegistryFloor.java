package com.quenlark.bench;

/**
 * Loops in C (libQuintaverBench) that make the registry natives' platform calls without JNI.
 * Each returns the nanoseconds that {@code calls} iterations took.
 */
final class RegistryFloor {
    static {
        System.loadLibrary("QuintaverBench");
    }

    private RegistryFloor() {}

    /** Key string made from UTF-8, looked up in the dictionary of that handle, released. */
    static native long lookupLoop(int dictionary, String key, int calls);

    /** A handle resolved with a reference taken, then dropped: what each CF native adds. */
    static native long holdLoop(int handle, int calls);

    /** Walks of the whole registry with every entry's name, through the platform calls. */
    static native long walkLoop(int calls);
}
