#include <AppleScriptKit/AppleScriptKit.h>

#include <Foundation/Foundation.h>
#include <atomic>
#include <mutex>

namespace {

std::once_flag preparation;
std::atomic<bool> prepared{false};

void prepare() {
    // The kit's scripts live in the main bundle; finding it now settles the bundle before the
    // application's main loop starts.
    const NSBundle* bundle = NSBundleGetMainBundle();
    QuintaverTrace("ASKInitialize bundle %s", NSBundleGetBundlePath(bundle));
    prepared.store(true, std::memory_order_release);
}

} // namespace

ASK_EXPORT void ASKInitialize(void) {
    std::call_once(preparation, prepare);
}

ASK_EXPORT bool ASKIsInitialized(void) {
    return prepared.load(std::memory_order_acquire);
}
