package com.quenlark.quintaver;

/** Words for the error numbers the natives return (Linux numbering). */
final class Errors {
    private Errors() {}

    static String describe(int errno) {
        switch (errno) {
            case 1: return "operation not permitted";
            case 2: return "no such file or directory";
            case 5: return "input/output error";
            case 13: return "permission denied";
            case 14: return "bad address";
            case 16: return "device or resource busy";
            case 17: return "file exists";
            case 18: return "cross-device link";
            case 20: return "not a directory";
            case 21: return "is a directory";
            case 22: return "invalid argument";
            case 28: return "no space left on device";
            case 30: return "read-only file system";
            case 34: return "result too large";
            case 36: return "file name too long";
            case 39: return "directory not empty";
            case 40: return "too many levels of symbolic links";
            case 95: return "operation not supported";
            default: return "error " + errno;
        }
    }
}
