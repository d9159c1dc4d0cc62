// Every look-up goes through the global scope of the process (RTLD_DEFAULT): the executable,
// the libraries it was linked against and anything loaded with RTLD_GLOBAL, in load order.
#include <mach-o/dyld.h>

#include <dlfcn.h>

namespace {

// The C name behind a Mac symbol name, or null when the name carries no C symbol.
const char* cSymbolName(const char* symbolName) {
    if (symbolName == nullptr || symbolName[0] != '_' || symbolName[1] == '\0') return nullptr;
    return symbolName + 1;
}

} // namespace

extern "C" bool NSIsSymbolNameDefined(const char* symbolName) {
    const char* name = cSymbolName(symbolName);
    if (name == nullptr) return false;
    // A symbol may legitimately resolve to null (an absolute or weak symbol), so a null
    // result only means "undefined" when the linker also reports an error.
    dlerror();
    void* address = dlsym(RTLD_DEFAULT, name);
    return address != nullptr || dlerror() == nullptr;
}

extern "C" NSSymbol NSLookupAndBindSymbol(const char* symbolName) {
    const char* name = cSymbolName(symbolName);
    if (name == nullptr) return nullptr;
    // The symbol is its address: dlsym binds it on the spot, and nothing needs freeing.
    return static_cast<NSSymbol>(dlsym(RTLD_DEFAULT, name));
}

extern "C" void* NSAddressOfSymbol(NSSymbol symbol) {
    return symbol;
}
