// An AppleScript kit that is present but defines no initialiser.
#include <AppleScriptKit/AppleScriptKit.h>

ASK_EXPORT int ASKKitWithoutInitializer(void) {
    return 1;
}
