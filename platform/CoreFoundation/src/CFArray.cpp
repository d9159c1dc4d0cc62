// Ordered collections with retain/release/equal callbacks.
#include "CFInternal.h"

#include <CoreFoundation/CFArray.h>

#include <vector>

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, cf::typeRetain, cf::typeRelease,
                                                CFCopyDescription, CFEqual};

struct __CFArray {
    CFRuntimeBase base;
    CFArrayCallBacks callBacks;
    std::vector<const void*> values;
    bool isMutable;

    __CFArray(const CFArrayCallBacks* cb, bool m)
        : callBacks(cb ? *cb : CFArrayCallBacks{}), isMutable(m) {}
    ~__CFArray() {
        for (const void* value : values)
            release(value);
    }
    const void* retain(const void* value) const {
        return callBacks.retain ? callBacks.retain(nullptr, value) : value;
    }
    void release(const void* value) const {
        if (callBacks.release) callBacks.release(nullptr, value);
    }
    bool equal(const void* a, const void* b) const {
        return a == b || (callBacks.equal && callBacks.equal(a, b));
    }
};

namespace {

__CFArray* asArray(CFTypeRef cf) {
    return cf::as<__CFArray>(cf, _kCFRuntimeIDCFArray);
}
__CFArray* asMutable(CFTypeRef cf) {
    __CFArray* array = asArray(cf);
    return array && array->isMutable ? array : nullptr;
}

bool validRange(const __CFArray* array, CFRange range) {
    // Compared without adding, so that a huge length cannot overflow.
    return range.location >= 0 && range.length >= 0 &&
           size_t(range.location) <= array->values.size() &&
           size_t(range.length) <= array->values.size() - size_t(range.location);
}

Boolean arrayEqual(CFTypeRef a, CFTypeRef b) {
    const __CFArray* x = asArray(a);
    const __CFArray* y = asArray(b);
    if (x->values.size() != y->values.size()) return false;
    for (size_t i = 0; i < x->values.size(); ++i) {
        if (!x->equal(x->values[i], y->values[i])) return false;
    }
    return true;
}

CFHashCode arrayHash(CFTypeRef cf) {
    return asArray(cf)->values.size();
}

CFStringRef arrayDescription(CFTypeRef cf) {
    const __CFArray* array = asArray(cf);
    std::string text = "(";
    for (size_t i = 0; i < array->values.size(); ++i) {
        if (i) text += ", ";
        CFStringRef item = array->callBacks.copyDescription
                               ? array->callBacks.copyDescription(array->values[i])
                               : nullptr;
        auto utf8 = _CFStringCopyUTF8String(item);
        text += utf8 ? *utf8 : "?";
        if (item) CFRelease(item);
    }
    return cf::describe(text + ")");
}

__CFArray* make(const CFArrayCallBacks* callBacks, const void* const* values, CFIndex count,
                bool isMutable) {
    if (count < 0 || (count > 0 && !values)) return nullptr;
    __CFArray* array = _CFRuntimeNew<__CFArray>(_kCFRuntimeIDCFArray, callBacks, isMutable);
    if (!array) return nullptr;
    try {
        array->values.reserve(count);
        for (CFIndex i = 0; i < count; ++i)
            array->values.push_back(array->retain(values[i]));
    } catch (const std::bad_alloc&) {
        CFRelease(array);
        return nullptr;
    }
    return array;
}

} // namespace

const CFRuntimeClass __CFArrayClass = {"CFArray", _CFRuntimeDestroy<__CFArray>, arrayEqual,
                                       arrayHash, arrayDescription};

CFTypeID CFArrayGetTypeID() {
    return _kCFRuntimeIDCFArray;
}

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks) {
    return make(callBacks, values, numValues, false);
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef, CFArrayRef theArray) {
    __CFArray* array = asArray(theArray);
    if (!array) return nullptr;
    return make(&array->callBacks, array->values.data(), CFIndex(array->values.size()), false);
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks) {
    return make(callBacks, nullptr, 0, true);
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef, CFIndex, CFArrayRef theArray) {
    __CFArray* array = asArray(theArray);
    if (!array) return nullptr;
    return make(&array->callBacks, array->values.data(), CFIndex(array->values.size()), true);
}

CFIndex CFArrayGetCount(CFArrayRef theArray) {
    __CFArray* array = asArray(theArray);
    return array ? CFIndex(array->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
    __CFArray* array = asArray(theArray);
    if (!array || idx < 0 || size_t(idx) >= array->values.size()) return nullptr;
    return array->values[idx];
}

void CFArrayGetValues(CFArrayRef theArray, CFRange range, const void** values) {
    __CFArray* array = asArray(theArray);
    if (!array || !values || !validRange(array, range)) return;
    for (CFIndex i = 0; i < range.length; ++i)
        values[i] = array->values[range.location + i];
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value) {
    __CFArray* array = asArray(theArray);
    if (!array || !validRange(array, range)) return kCFNotFound;
    for (CFIndex i = range.location; i < range.location + range.length; ++i) {
        if (array->equal(array->values[i], value)) return i;
    }
    return kCFNotFound;
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value) {
    return CFArrayGetFirstIndexOfValue(theArray, range, value) != kCFNotFound;
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier,
                          void* context) {
    __CFArray* array = asArray(theArray);
    if (!array || !applier || !validRange(array, range)) return;
    for (CFIndex i = range.location; i < range.location + range.length; ++i)
        applier(array->values[i], context);
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value) {
    __CFArray* array = asMutable(theArray);
    if (!array || idx < 0 || size_t(idx) > array->values.size()) return;
    try {
        array->values.insert(array->values.begin() + idx, value);
    } catch (const std::bad_alloc&) {
        return;
    }
    array->values[idx] = array->retain(value);
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value) {
    CFArrayInsertValueAtIndex(theArray, CFArrayGetCount(theArray), value);
}

void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value) {
    __CFArray* array = asMutable(theArray);
    if (!array || idx < 0 || size_t(idx) > array->values.size()) return;
    if (size_t(idx) == array->values.size()) return CFArrayInsertValueAtIndex(theArray, idx, value);
    const void* old = array->values[idx];
    array->values[idx] = array->retain(value);
    array->release(old);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx) {
    __CFArray* array = asMutable(theArray);
    if (!array || idx < 0 || size_t(idx) >= array->values.size()) return;
    const void* old = array->values[idx];
    array->values.erase(array->values.begin() + idx);
    array->release(old);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray) {
    __CFArray* array = asMutable(theArray);
    if (!array) return;
    std::vector<const void*> old;
    old.swap(array->values);
    for (const void* value : old)
        array->release(value);
}
