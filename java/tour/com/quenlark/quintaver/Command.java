package com.quenlark.quintaver;

import java.util.List;

/** One subcommand of the tour. */
interface Command {
    /** The word that selects it: {@code quintaver NAME ...}. */
    String name();

    /** Its arguments, for the help text ("PATH", "NAME|UID", ""). */
    String usage();

    /** One line for the help text. */
    String summary();

    /**
     * Runs it and returns the exit status.
     *
     * @throws Failure with a one-line message for a problem the user can act on
     */
    int run(List<String> args) throws Failure;
}
