package com.quenlark.util.macos.macosx;

/**
 * Loads {@code libQuintaver} once per class loader. Every class that declares natives calls
 * {@link #load()} from its static initialiser; the library is found on {@code java.library.path}.
 */
public final class QuintaverLibrary {
    private static boolean loaded;

    private QuintaverLibrary() {}

    /** Loads the native library if this class loader has not loaded it yet. */
    public static synchronized void load() {
        if (!loaded) {
            System.loadLibrary("Quintaver");
            loaded = true;
        }
    }
}
