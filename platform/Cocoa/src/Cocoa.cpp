// Cocoa is an umbrella: everything it offers comes from Foundation and AppKit, which this
// library names as its needed libraries. It has no code of its own.
#include <Cocoa/Cocoa.h>
