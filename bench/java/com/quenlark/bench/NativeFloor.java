package com.quenlark.bench;

import com.quenlark.util.macos.macosx.StatStructure;

/**
 * Loops in C (libQuintaverBench) that make the same platform calls as the natives, so the
 * benchmarks can set the natives against their floor and split where the time goes. Each
 * returns the nanoseconds that {@code calls} iterations took.
 */
final class NativeFloor {
    static {
        System.loadLibrary("QuintaverBench");
    }

    private NativeFloor() {}

    /** The Linux statx call alone, as libc makes it. */
    static native long statxLoop(String path, int calls);

    /** The System stand-in's lstat: statx plus narrowing into the Mac record. */
    static native long macLstatLoop(String path, int calls);

    /** The same 18 stores with field ids looked up once: what caching them would leave. */
    static native long cachedFieldStoresLoop(StatStructure target, int calls);

    /** Taking and releasing a path's modified UTF-8 bytes, as every path native does. */
    static native long pathStringLoop(String path, int calls);

    /** The lstat native's body called from C in a loop: the native without its transition. */
    static native long nativeBodyLoop(String path, StatStructure target, int calls);

    /** A native call with the lstat native's arguments that does nothing: the JNI transition. */
    static native int emptyCall(String path, StatStructure target);

    /** Only the JNI side of the lstat native: the class, 18 field look-ups and 18 stores. */
    static native long fieldStoresLoop(StatStructure target, int calls);
}
