package com.quenlark.bench;

import java.util.List;

/** Runs the named benchmarks, or all of them: {@code quintaver-bench [NAME...]}. */
public final class Bench {
    static final List<Benchmark> BENCHMARKS = List.of(new IdentityAndStatBench(),
            new FileSystemBench(), new DiskEventsBench(), new RegistryBench());

    private Bench() {}

    public static void main(String[] args) throws Exception {
        List<String> wanted = List.of(args);
        int ran = 0;
        for (Benchmark benchmark : BENCHMARKS) {
            if (wanted.isEmpty() || wanted.contains(benchmark.name())) {
                benchmark.run();
                ran++;
            }
        }
        if (ran == 0) {
            System.err.print("quintaver-bench: no benchmark named " + wanted + "; there are:");
            BENCHMARKS.forEach(b -> System.err.print(" " + b.name()));
            System.err.println();
            System.exit(2);
        }
    }
}
