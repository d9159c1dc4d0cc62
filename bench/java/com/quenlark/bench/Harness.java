package com.quenlark.bench;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Measures contenders side by side: each is warmed up, then timed in batches sized to take a
 * few milliseconds; the figure is the median time per call over the batches. Machines are
 * shared and noisy, so medians and ratios are what to quote.
 */
public final class Harness {
    /** One call of a contender. */
    @FunctionalInterface
    public interface Op {
        void call() throws Exception;
    }

    /** A contender that times its own loop of {@code calls} calls and returns the nanoseconds. */
    @FunctionalInterface
    public interface Loop {
        long nanosFor(int calls) throws Exception;
    }

    private static final int BATCHES = 21;
    private static final long BATCH_NANOS = 10_000_000L;
    private static final long WARMUP_NANOS = 400_000_000L;

    /** Java code keeps results alive through this field so the JIT cannot drop the calls. */
    public static volatile long sink;

    /** A table of contenders measured in one run. */
    public static final class Table {
        private final String title;
        private final List<String> names = new ArrayList<>();
        private final List<Double> medians = new ArrayList<>();
        private final List<String> notes = new ArrayList<>();

        Table(String title) {
            this.title = title;
        }

        /** Times a contender given as one call. */
        public Table add(String name, Op op) throws Exception {
            return add(name, calls -> {
                long start = System.nanoTime();
                for (int i = 0; i < calls; i++) {
                    op.call();
                }
                return System.nanoTime() - start;
            });
        }

        /** Times a contender that runs its own loop (a native floor, a whole walk). */
        public Table add(String name, Loop loop) throws Exception {
            names.add(name);
            medians.add(measure(loop));
            return this;
        }

        /** A line printed under the table. */
        public Table note(String text) {
            notes.add(text);
            return this;
        }

        /** The median ns per call of the contender added under that name. */
        public double median(String name) {
            return medians.get(names.indexOf(name));
        }

        /** Prints the table: ns per call and the ratio to the fastest contender. */
        public void print() {
            double fastest = medians.stream().mapToDouble(Double::doubleValue).min().orElse(1);
            int width = Math.max(24, names.stream().mapToInt(String::length).max().orElse(0));
            System.out.println();
            System.out.println("== " + title);
            System.out.printf("  %-" + width + "s %14s %9s%n", "contender", "median ns/op", "x fastest");
            for (int i = 0; i < names.size(); i++) {
                System.out.printf("  %-" + width + "s %14.1f %9.2f%n", names.get(i), medians.get(i),
                        medians.get(i) / fastest);
            }
            for (String line : notes) {
                System.out.println("  " + line);
            }
        }
    }

    private Harness() {}

    public static Table table(String title) {
        return new Table(title);
    }

    private static double measure(Loop loop) throws Exception {
        int calls = 1;
        long warmupEnd = System.nanoTime() + WARMUP_NANOS;
        while (System.nanoTime() < warmupEnd) {
            long took = loop.nanosFor(calls);
            if (took < BATCH_NANOS && calls < (1 << 28)) {
                calls *= 2;
            }
        }
        double[] perCall = new double[BATCHES];
        for (int b = 0; b < BATCHES; b++) {
            perCall[b] = (double) loop.nanosFor(calls) / calls;
        }
        Arrays.sort(perCall);
        return perCall[BATCHES / 2];
    }
}
