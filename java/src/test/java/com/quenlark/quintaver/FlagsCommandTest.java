package com.quenlark.quintaver;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** quintaver flags on what a link names, and on a loop of links. */
class FlagsCommandTest {
    @TempDir
    Path dir;

    @Test
    void followsALinkAndReportsALoopOfLinks() throws Exception {
        Path file = Files.writeString(dir.resolve("file"), "x");
        Files.createSymbolicLink(dir.resolve("link"), file.getFileName());
        assertEquals(0, Quintaver.run(List.of("flags", dir.resolve("link").toString())));
        Path loop = Files.createSymbolicLink(dir.resolve("loop"), Path.of("loop"));
        assertEquals(1, Quintaver.run(List.of("flags", loop.toString())), "ELOOP, as chflags gives");
    }
}
