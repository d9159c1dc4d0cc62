// Symbol look-up across every image loaded into the process.
//
// Symbol names are given in the Mac form: a C function `foo` is the symbol "_foo". A name
// without that leading underscore names no C symbol and is never found.
#pragma once

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

// A bound symbol; null is no symbol.
typedef struct __NSSymbol* NSSymbol;

// True when some loaded image defines the symbol.
bool NSIsSymbolNameDefined(const char* symbolName);

// The bound symbol, or null when no loaded image defines it with a usable address.
NSSymbol NSLookupAndBindSymbol(const char* symbolName);

// The symbol's address, or null for no symbol.
void* NSAddressOfSymbol(NSSymbol symbol);

#ifdef __cplusplus
}
#endif
