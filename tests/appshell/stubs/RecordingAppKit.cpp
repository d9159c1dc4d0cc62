// An AppKit whose main loop writes down its arguments and whether the AppleScript kit was
// initialised by then, and returns the status named by APPSHELL_TEST_STATUS.
//
// Record: "NSApplicationMain <argc> kit <initialised|not-initialised|absent>\n", then one
// "arg <length> <bytes>\n" per argument, then "end null\n" when argv[argc] is null.
#include "Record.h"

#include <AppKit/NSApplication.h>
#include <cstring>
#include <dlfcn.h>

namespace {

const char* kitState() {
    auto* isInitialized = reinterpret_cast<bool (*)()>(dlsym(RTLD_DEFAULT, "ASKIsInitialized"));
    if (isInitialized == nullptr) return "absent";
    return isInitialized() ? "initialised" : "not-initialised";
}

} // namespace

APPKIT_EXTERN int NSApplicationMain(int argc, const char* argv[]) {
    std::string text = "NSApplicationMain " + std::to_string(argc) + " kit " + kitState() + "\n";
    for (int i = 0; i < argc; ++i)
        text += "arg " + std::to_string(std::strlen(argv[i])) + " " + argv[i] + "\n";
    if (argv[argc] == nullptr) text += "end null\n";
    record(text);
    const char* status = std::getenv("APPSHELL_TEST_STATUS");
    return status == nullptr ? 0 : std::atoi(status);
}

APPKIT_EXTERN void NSApplicationTerminate(void) {}
