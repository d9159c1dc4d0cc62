#include "CFHandleTable.h"

#include <CoreFoundation/CFHandle.h>
#include <CoreFoundation/CFRuntime.h>

#include <deque>
#include <mutex>
#include <new>

namespace cf::handles {
namespace {

constexpr uint32_t segmentBits = 12;
constexpr uint32_t segmentSize = 1u << segmentBits;
constexpr uint32_t segmentCount = 1u << (indexBits - segmentBits);
constexpr uint32_t generationLimit = 1u << (32 - generationShift);
// A freed slot waits until this many others are free before it is used again, so that a
// stale handle stays dead for a long while even under heavy churn.
constexpr size_t reuseDelay = 4096;

// Constant-initialised: usable by constants registered during static initialisation.
std::atomic<Slot*> segments[segmentCount];

struct FreeList {
    std::mutex mutex;
    std::deque<uint32_t> indices; // FIFO: the longest-free slot is reused first
    uint32_t nextFresh = 1;       // index 0 is never used, so no handle is 0
};

FreeList& freeList() {
    static FreeList* list = new FreeList; // never destroyed: objects may die at exit
    return *list;
}

Slot* slotAt(uint32_t index) {
    Slot* segment = segments[index >> segmentBits].load(std::memory_order_acquire);
    return segment ? &segment[index & (segmentSize - 1)] : nullptr;
}

// Called with the free-list lock held.
Slot* claimSlot(FreeList& list, uint32_t& index) {
    if (list.indices.size() > reuseDelay || (list.nextFresh > indexMask && !list.indices.empty())) {
        index = list.indices.front();
        list.indices.pop_front();
        return slotAt(index);
    }
    if (list.nextFresh > indexMask) return nullptr;
    index = list.nextFresh;
    auto& segment = segments[index >> segmentBits];
    if (!segment.load(std::memory_order_relaxed)) {
        Slot* fresh = new (std::nothrow) Slot[segmentSize];
        if (!fresh) return nullptr;
        segment.store(fresh, std::memory_order_release);
    }
    ++list.nextFresh;
    return slotAt(index);
}

} // namespace

uint32_t insert(void* object, bool immortal) {
    FreeList& list = freeList();
    std::lock_guard lock(list.mutex);
    uint32_t index;
    Slot* slot = claimSlot(list, index);
    if (!slot) return 0;
    // A fresh slot has generation 0; a freed one already carries its next generation.
    uint32_t handle = handleOf(slot->word.load(std::memory_order_relaxed));
    if (handle == 0) handle = makeHandle(0, index);
    slot->object.store(object, std::memory_order_relaxed);
    uint64_t count = immortal ? immortalCount : 1;
    slot->word.store(uint64_t{handle} << 32 | count, std::memory_order_release);
    return handle;
}

Slot* slotOf(uint32_t handle) {
    uint32_t index = indexOf(handle);
    if (index == 0 || (handle & 1)) return nullptr;
    return slotAt(index);
}

void remove(uint32_t handle) {
    uint32_t index = indexOf(handle);
    Slot* slot = slotAt(index);
    slot->object.store(nullptr, std::memory_order_relaxed);
    uint32_t next = makeHandle((generationOf(handle) + 1) % generationLimit, index);
    FreeList& list = freeList();
    std::lock_guard lock(list.mutex);
    slot->word.store(uint64_t{next} << 32, std::memory_order_release);
    list.indices.push_back(index);
}

void makeImmortal(void* object, uint32_t handle) {
    std::atomic_ref<uintptr_t>(static_cast<CFRuntimeBase*>(object)->_cfinfo)
        .fetch_or(_kCFRuntimeImmortalFlag, std::memory_order_relaxed);
    if (Slot* slot = slotOf(handle))
        slot->word.store(uint64_t{handle} << 32 | immortalCount, std::memory_order_release);
}

} // namespace cf::handles

using namespace cf::handles;

CFTypeRef _CFObjectFromHandle(uint32_t handle) {
    Slot* slot = slotOf(handle);
    if (!slot) return nullptr;
    uint64_t word = slot->word.load(std::memory_order_acquire);
    if (handleOf(word) != handle || countOf(word) == 0) return nullptr;
    void* object = slot->object.load(std::memory_order_acquire);
    // The slot may have been freed between the two loads; confirm it still holds the handle.
    word = slot->word.load(std::memory_order_acquire);
    if (handleOf(word) != handle || countOf(word) == 0) return nullptr;
    return object;
}

CFTypeRef _CFHandleCopyObject(uint32_t handle) {
    Slot* slot = slotOf(handle);
    if (!slot) return nullptr;
    uint64_t word = slot->word.load(std::memory_order_acquire);
    for (;;) {
        if (handleOf(word) != handle || countOf(word) == 0) return nullptr;
        if (countOf(word) == immortalCount) break;
        if (countOf(word) >= saturatedCount) {
            makeImmortal(slot->object.load(std::memory_order_acquire), handle);
            break;
        }
        // Only a live count is raised: once it reached 0 the object is on its way out.
        if (slot->word.compare_exchange_weak(word, word + 1, std::memory_order_acq_rel)) break;
    }
    return slot->object.load(std::memory_order_acquire);
}
