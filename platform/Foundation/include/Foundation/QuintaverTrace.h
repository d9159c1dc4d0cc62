// A debugging trace of the application frameworks (AppKit, the AppleScript kit).
//
// When the environment variable QUINTAVER_APPKIT_TRACE names a file, every trace line is
// appended to it (created with mode 0600) in one write, so lines of several threads or
// processes never mix. Without the variable nothing is written. The lines are for people
// and tests looking at a running application; nothing depends on them.
#pragma once
#include <Foundation/FoundationExport.h>

// Appends one line (a newline is added; lines are cut at 1023 bytes).
FOUNDATION_EXPORT void QuintaverTrace(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
