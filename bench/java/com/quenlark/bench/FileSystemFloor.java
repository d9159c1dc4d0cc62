package com.quenlark.bench;

/** C loops over the System stand-in's getattrlist and getfsstat (libQuintaverBench). */
final class FileSystemFloor {
    static {
        System.loadLibrary("QuintaverBench");
    }

    private FileSystemFloor() {}

    static native long getattrlistLoop(String path, int common, int file, int calls);

    static native long getfsstatLoop(int calls);
}
