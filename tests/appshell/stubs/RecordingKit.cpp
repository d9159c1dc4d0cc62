// An AppleScript kit that writes down every call of its initialiser.
#include "Record.h"

#include <AppleScriptKit/AppleScriptKit.h>
#include <atomic>

namespace {
std::atomic<bool> initialized{false};
}

ASK_EXPORT void ASKInitialize(void) {
    record("ASKInitialize\n");
    initialized = true;
}

ASK_EXPORT bool ASKIsInitialized(void) {
    return initialized;
}
