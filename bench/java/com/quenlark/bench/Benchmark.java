package com.quenlark.bench;

/** One benchmark: builds its tables, measures and prints them. */
interface Benchmark {
    /** The word that selects it on the command line. */
    String name();

    void run() throws Exception;
}
