package com.quenlark.bench;

import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import com.quenlark.util.macos.macosx.MacOSXNativeSystemCalls;
import com.quenlark.util.macos.macosx.StatStructure;
import com.sun.jna.Library;
import com.sun.jna.Native;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import jnr.posix.POSIX;
import jnr.posix.POSIXFactory;

/** getuid (the JNI floor) and lstat, through the natives and the alternatives a Java developer has. */
final class IdentityAndStatBench implements Benchmark {
    /** libc through JNA. */
    public interface CLibrary extends Library {
        int getuid();

        int lstat(String path, byte[] linuxStat);
    }

    @Override
    public String name() {
        return "lstat";
    }

    @Override
    public void run() throws Exception {
        String file = "/etc/passwd";
        Path path = Path.of(file);
        MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();
        StatStructure st = new StatStructure();
        POSIX jnr = POSIXFactory.getNativePOSIX();
        CLibrary jna = Native.load("c", CLibrary.class);
        byte[] linuxStat = new byte[256];

        Harness.table("getuid: ns per call")
                .add("libQuintaver getuid", () -> Harness.sink += MacOSXNativeSystemCalls.getuid())
                .add("jnr-posix getuid", () -> Harness.sink += jnr.getuid())
                .add("JNA getuid", () -> Harness.sink += jna.getuid())
                .print();

        Harness.Table t = Harness.table("lstat " + file + ": ns per call")
                .add("libQuintaver lstat", () -> Harness.sink += routines.lstat(file, st))
                .add("Files.readAttributes unix:*", () -> Harness.sink +=
                        Files.readAttributes(path, "unix:*", LinkOption.NOFOLLOW_LINKS).size())
                .add("jnr-posix lstat", () -> Harness.sink += jnr.lstat(file).st_size())
                .add("JNA lstat", () -> Harness.sink += jna.lstat(file, linuxStat))
                .add("C floor: statx", calls -> NativeFloor.statxLoop(file, calls))
                .add("C: the native's body in a loop", calls -> NativeFloor.nativeBodyLoop(file, st, calls))
                .add("C: stand-in lstat", calls -> NativeFloor.macLstatLoop(file, calls))
                .add("C: 18 field look-ups+stores", calls -> NativeFloor.fieldStoresLoop(st, calls))
                .add("C: 18 stores, ids cached", calls -> NativeFloor.cachedFieldStoresLoop(st, calls))
                .add("C: path string take+release", calls -> NativeFloor.pathStringLoop(file, calls))
                .add("JNI transition (empty native)", () -> Harness.sink += NativeFloor.emptyCall(file, st));
        double total = t.median("libQuintaver lstat");
        double call = t.median("C: stand-in lstat");
        double fields = t.median("C: 18 field look-ups+stores");
        double string = t.median("C: path string take+release");
        double rest = total - call - fields - string;
        t.note(String.format("native lstat split: platform call %.0f ns (%.0f%%), field look-ups and"
                        + " stores %.0f ns (%.0f%%), path string %.0f ns (%.0f%%), the rest %.0f ns"
                        + " (%.0f%%): the call and the look-ups interleaved cost more than apart (see"
                        + " the native's body in a C loop); the JNI transition is the empty native",
                call, 100 * call / total, fields, 100 * fields / total, string, 100 * string / total,
                rest, 100 * rest / total));
        double cached = t.median("C: 18 stores, ids cached");
        t.note(String.format("field ids cached once (not done: looked up at every call) would save"
                + " about %.0f ns per call", fields - cached));
        t.print();
    }
}
