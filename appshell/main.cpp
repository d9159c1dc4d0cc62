// The application's executable. Everything the application does lives in its bundle's
// resources; the code only lets the AppleScript kit set itself up, when the kit is in the
// process, and hands the rest of the process's life to the Cocoa main loop.
#include <Cocoa/Cocoa.h>
#include <mach-o/dyld.h>

int main(int argc, char* argv[]) {
    // The kit is optional: look its initialiser up rather than linking to it, so that an
    // application without the kit starts all the same.
    if (NSIsSymbolNameDefined("_ASKInitialize")) {
        NSSymbol symbol = NSLookupAndBindSymbol("_ASKInitialize");
        if (symbol != nullptr) {
            void* address = NSAddressOfSymbol(symbol);
            if (address != nullptr) reinterpret_cast<void (*)()>(address)();
        }
    }
    return NSApplicationMain(argc, const_cast<const char**>(argv));
}
