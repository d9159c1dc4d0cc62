package com.quenlark.quintaver;

import java.util.List;

/** {@code quintaver tour}: a walk through every subsystem, read-only, on this machine. */
final class TourCommand implements Command {
    /** The steps of the walk: a title and the command line it runs. */
    static final List<List<String>> STEPS = List.of(
            List.of("id"),
            List.of("stat", "/etc/passwd"),
            List.of("user", "root"),
            List.of("mounts"),
            List.of("attrs", "/"),
            List.of("ioreg", "-d", "2"));

    @Override
    public String name() {
        return "tour";
    }

    @Override
    public String usage() {
        return "";
    }

    @Override
    public String summary() {
        return "a walk through every subsystem on this machine";
    }

    @Override
    public int run(List<String> args) throws Failure {
        int worst = 0;
        for (List<String> step : STEPS) {
            System.out.println("$ quintaver " + String.join(" ", step));
            worst = Math.max(worst, Quintaver.run(step));
            System.out.println();
        }
        return worst;
    }
}
