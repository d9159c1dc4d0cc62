package com.quenlark.quintaver;

/** A problem the tour reports as one line before exiting with status 1. */
final class Failure extends Exception {
    private static final long serialVersionUID = 1L;

    Failure(String message) {
        super(message);
    }

    /** The usage line of a command given the wrong arguments. */
    static Failure usage(Command command) {
        return new Failure("usage: quintaver " + command.name() + " " + command.usage());
    }
}
