package com.quenlark.quintaver;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/** The tour of libQuintaver: each subcommand drives one subsystem through its natives. */
public final class Quintaver {
    /** Every subcommand, in the order the help lists them. */
    static final List<Command> COMMANDS =
            List.of(new IdCommand(), new StatCommand(), new UserCommand(),
                    new LnCommand(), new ReadlinkCommand(), new FlagsCommand(), new AttrsCommand(),
                    new MountsCommand(), new DisksCommand(), new IoregCommand(),
                    new TourCommand());

    private Quintaver() {}

    public static void main(String[] args) {
        System.exit(run(Arrays.asList(args)));
    }

    static int run(List<String> args) {
        if (args.isEmpty() || args.get(0).equals("--help") || args.get(0).equals("-h")) {
            printHelp();
            return args.isEmpty() ? 2 : 0;
        }
        Command command = find(args.get(0));
        if (command == null) {
            System.err.println("quintaver: unknown command '" + args.get(0) + "' (see --help)");
            return 2;
        }
        try {
            return command.run(new ArrayList<>(args.subList(1, args.size())));
        } catch (Failure failure) {
            System.err.println("quintaver " + command.name() + ": " + failure.getMessage());
            return 1;
        }
    }

    static Command find(String name) {
        for (Command command : COMMANDS) {
            if (command.name().equals(name)) {
                return command;
            }
        }
        return null;
    }

    private static void printHelp() {
        System.out.println("usage: quintaver COMMAND [ARGS]");
        System.out.println();
        System.out.println("The operating-system services of libQuintaver, on this machine:");
        for (Command command : COMMANDS) {
            String head = command.name() + (command.usage().isEmpty() ? "" : " " + command.usage());
            System.out.printf("  %-28s %s%n", head, command.summary());
        }
    }
}
