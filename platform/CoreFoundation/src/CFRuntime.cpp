// The object runtime: type registration, creation, reference counts and the polymorphic calls.
#include "CFHandleTable.h"
#include "CFInternal.h"

#include <CoreFoundation/CFHandle.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

using cf::handles::immortalCount;
using cf::handles::Slot;

// Built-in classes sit at their fixed identifiers; registered ones follow.
std::atomic<const CFRuntimeClass*> classes[_kCFRuntimeMaxClasses] = {
    nullptr,          &__CFAllocatorClass, &__CFNullClass,  &__CFStringClass,     &__CFBooleanClass,
    &__CFNumberClass, &__CFDataClass,      &__CFArrayClass, &__CFDictionaryClass,
};
std::atomic<CFTypeID> nextTypeID{_kCFRuntimeFirstRegisteredID};

CFRuntimeBase* baseOf(CFTypeRef cf) {
    return static_cast<CFRuntimeBase*>(const_cast<void*>(cf));
}

// Atomic: a count that saturates sets the flag while other threads retain and release.
bool isImmortal(CFTypeRef cf) {
    return std::atomic_ref<uintptr_t>(baseOf(cf)->_cfinfo).load(std::memory_order_relaxed) &
           _kCFRuntimeImmortalFlag;
}

std::atomic_ref<uint32_t> handleField(CFTypeRef cf) {
    return std::atomic_ref<uint32_t>(baseOf(cf)->_handle);
}

const CFRuntimeClass* classOf(CFTypeRef cf) {
    return _CFRuntimeGetClassWithTypeID(cf::typeOf(cf));
}

void destroy(CFTypeRef cf, uint32_t handle) {
    // The handle dies first: from here on no one can reach the object through the table.
    cf::handles::remove(handle);
    if (const CFRuntimeClass* cls = classOf(cf); cls && cls->finalize) cls->finalize(cf);
    std::free(const_cast<void*>(cf));
}

} // namespace

CFTypeID _CFRuntimeRegisterClass(const CFRuntimeClass* cls) {
    if (!cls) return _kCFRuntimeIDNotAType;
    CFTypeID id = nextTypeID.fetch_add(1);
    if (id >= _kCFRuntimeMaxClasses) return _kCFRuntimeIDNotAType;
    classes[id].store(cls, std::memory_order_release);
    return id;
}

const CFRuntimeClass* _CFRuntimeGetClassWithTypeID(CFTypeID typeID) {
    if (typeID >= _kCFRuntimeMaxClasses) return nullptr;
    return classes[typeID].load(std::memory_order_acquire);
}

void* _CFRuntimeAllocate(size_t size) {
    if (size < sizeof(CFRuntimeBase)) size = sizeof(CFRuntimeBase);
    return std::calloc(1, size);
}

void _CFRuntimeFree(void* object) {
    std::free(object);
}

Boolean _CFRuntimeInitInstance(void* object, CFTypeID typeID) {
    auto* base = static_cast<CFRuntimeBase*>(object);
    base->_cfinfo = typeID & cf::typeIDMask;
    base->_reserved = 0;
    uint32_t handle = cf::handles::insert(object, false);
    base->_handle = handle;
    if (handle == 0) {
        if (const CFRuntimeClass* cls = _CFRuntimeGetClassWithTypeID(typeID); cls && cls->finalize)
            cls->finalize(object);
        std::free(object);
        return false;
    }
    return true;
}

CFTypeRef _CFRuntimeCreateInstance(CFAllocatorRef, CFTypeID typeID, size_t size) {
    if (!_CFRuntimeGetClassWithTypeID(typeID)) return nullptr;
    void* object = _CFRuntimeAllocate(size);
    if (!object) return nullptr;
    return _CFRuntimeInitInstance(object, typeID) ? object : nullptr;
}

void _CFRuntimeSetImmortal(CFTypeRef cf) {
    if (!cf || isImmortal(cf)) return;
    cf::handles::makeImmortal(const_cast<void*>(cf), handleField(cf).load());
}

uint32_t _CFHandleFromObject(CFTypeRef cf) {
    if (!cf) return 0;
    uint32_t handle = handleField(cf).load(std::memory_order_acquire);
    if (handle != 0 || !isImmortal(cf)) return handle;
    // A static constant gets its slot the first time its handle is asked for.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    handle = handleField(cf).load(std::memory_order_acquire);
    if (handle == 0) {
        handle = cf::handles::insert(const_cast<void*>(cf), true);
        handleField(cf).store(handle, std::memory_order_release);
    }
    return handle;
}

CFTypeID CFGetTypeID(CFTypeRef cf) {
    return cf ? cf::typeOf(cf) : 0;
}

CFTypeRef CFRetain(CFTypeRef cf) {
    if (!cf || isImmortal(cf)) return cf;
    uint32_t handle = baseOf(cf)->_handle;
    Slot* slot = cf::handles::slotOf(handle);
    uint64_t before = slot->word.fetch_add(1, std::memory_order_relaxed);
    if (cf::handles::countOf(before) + 1 >= cf::handles::saturatedCount)
        cf::handles::makeImmortal(const_cast<void*>(cf), handle);
    return cf;
}

void CFRelease(CFTypeRef cf) {
    if (!cf || isImmortal(cf)) return;
    uint32_t handle = baseOf(cf)->_handle;
    Slot* slot = cf::handles::slotOf(handle);
    uint64_t before = slot->word.fetch_sub(1, std::memory_order_acq_rel);
    if (cf::handles::countOf(before) == 1) destroy(cf, handle);
}

Boolean _CFHandleRelease(uint32_t handle) {
    Slot* slot = cf::handles::slotOf(handle);
    if (!slot) return false;
    uint64_t word = slot->word.load(std::memory_order_acquire);
    for (;;) {
        if (cf::handles::handleOf(word) != handle || cf::handles::countOf(word) == 0) return false;
        if (cf::handles::countOf(word) == immortalCount) return true;
        if (slot->word.compare_exchange_weak(word, word - 1, std::memory_order_acq_rel)) break;
    }
    if (cf::handles::countOf(word) == 1) {
        // Ours was the last reference: the slot still holds the object until destroy frees it.
        destroy(slot->object.load(std::memory_order_acquire), handle);
    }
    return true;
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
    if (!cf) return 0;
    if (isImmortal(cf)) return CFIndex{immortalCount};
    Slot* slot = cf::handles::slotOf(baseOf(cf)->_handle);
    return cf::handles::countOf(slot->word.load(std::memory_order_relaxed));
}

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
    if (cf1 == cf2) return true;
    if (!cf1 || !cf2 || cf::typeOf(cf1) != cf::typeOf(cf2)) return false;
    const CFRuntimeClass* cls = classOf(cf1);
    return cls && cls->equal && cls->equal(cf1, cf2);
}

CFHashCode CFHash(CFTypeRef cf) {
    if (!cf) return 0;
    const CFRuntimeClass* cls = classOf(cf);
    if (cls && cls->hash) return cls->hash(cf);
    return reinterpret_cast<uintptr_t>(cf) >> 4;
}

CFStringRef CFCopyTypeIDDescription(CFTypeID typeID) {
    const CFRuntimeClass* cls = _CFRuntimeGetClassWithTypeID(typeID);
    return cls ? CFStringCreateWithCString(nullptr, cls->className, kCFStringEncodingUTF8)
               : nullptr;
}

CFStringRef CFCopyDescription(CFTypeRef cf) {
    if (!cf) return nullptr;
    const CFRuntimeClass* cls = classOf(cf);
    if (cls && cls->copyDebugDesc) {
        if (CFStringRef text = cls->copyDebugDesc(cf)) return text;
    }
    char text[96];
    std::snprintf(text, sizeof text, "<%s %p>", cls ? cls->className : "?", cf);
    return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

void CFShow(CFTypeRef cf) {
    CFStringRef text = cf ? CFCopyDescription(cf) : nullptr;
    std::optional<std::string> utf8 = _CFStringCopyUTF8String(text);
    std::fprintf(stderr, "%s\n", utf8 ? utf8->c_str() : "(null)");
    if (text) CFRelease(text);
}

CFStringRef cf::describe(const std::string& text) {
    return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(text.data()),
                                   static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false);
}

// Allocators and the null object: constants of the process.

struct __CFAllocator {
    CFRuntimeBase base;
};
struct __CFNull {
    CFRuntimeBase base;
};

const CFRuntimeClass __CFAllocatorClass = {"CFAllocator", nullptr, nullptr, nullptr, nullptr};
const CFRuntimeClass __CFNullClass = {"CFNull", nullptr, nullptr, nullptr, nullptr};

namespace {
__CFAllocator systemAllocator = {CF_RUNTIME_STATIC_BASE(_kCFRuntimeIDCFAllocator)};
__CFAllocator mallocAllocator = {CF_RUNTIME_STATIC_BASE(_kCFRuntimeIDCFAllocator)};
__CFAllocator nullAllocator = {CF_RUNTIME_STATIC_BASE(_kCFRuntimeIDCFAllocator)};
__CFNull nullObject = {CF_RUNTIME_STATIC_BASE(_kCFRuntimeIDCFNull)};
} // namespace

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = &systemAllocator;
const CFAllocatorRef kCFAllocatorMalloc = &mallocAllocator;
const CFAllocatorRef kCFAllocatorNull = &nullAllocator;
const CFNullRef kCFNull = &nullObject;

CFTypeID CFAllocatorGetTypeID() {
    return _kCFRuntimeIDCFAllocator;
}
CFTypeID CFNullGetTypeID() {
    return _kCFRuntimeIDCFNull;
}
