// What the built-in types share: the class descriptors, the type check every public call
// makes before it touches an object, and the header of a statically allocated constant.
#pragma once
#include <CoreFoundation/CFRuntime.h>
#include <CoreFoundation/CFString.h>

#include <atomic>
#include <string>

extern const CFRuntimeClass __CFAllocatorClass;
extern const CFRuntimeClass __CFNullClass;
extern const CFRuntimeClass __CFStringClass;
extern const CFRuntimeClass __CFBooleanClass;
extern const CFRuntimeClass __CFNumberClass;
extern const CFRuntimeClass __CFDataClass;
extern const CFRuntimeClass __CFArrayClass;
extern const CFRuntimeClass __CFDictionaryClass;

namespace cf {

inline constexpr uintptr_t typeIDMask = 0xffff;

// The flags beside the type may change while others read it (an object made immortal).
inline CFTypeID typeOf(CFTypeRef object) {
    auto& info = const_cast<CFRuntimeBase*>(static_cast<const CFRuntimeBase*>(object))->_cfinfo;
    return std::atomic_ref<uintptr_t>(info).load(std::memory_order_relaxed) & typeIDMask;
}

// The object as its implementation type, or nullptr when it is NULL or of another type, so
// that a wrong argument gives the call's failure value instead of undefined behaviour.
template <class T> T* as(CFTypeRef object, CFTypeID type) {
    if (!object || typeOf(object) != type) return nullptr;
    return static_cast<T*>(const_cast<void*>(object));
}

// A new string of a diagnostic text.
CFStringRef describe(const std::string& text);

// The retain and release callbacks of the CF-type collections (kCFType...CallBacks).
inline const void* typeRetain(CFAllocatorRef, const void* value) {
    return CFRetain(value);
}
inline void typeRelease(CFAllocatorRef, const void* value) {
    CFRelease(value);
}

} // namespace cf
