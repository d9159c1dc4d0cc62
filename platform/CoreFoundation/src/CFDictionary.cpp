// Key-value collections hashed and compared through their key callbacks.
#include "CFInternal.h"

#include <CoreFoundation/CFDictionary.h>

#include <unordered_map>
#include <vector>

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
    0, cf::typeRetain, cf::typeRelease, CFCopyDescription, CFEqual, CFHash};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {
    0, cf::typeRetain, cf::typeRelease, CFCopyDescription, CFEqual, CFHash};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {
    0, cf::typeRetain, cf::typeRelease, CFCopyDescription, CFEqual};

namespace {

struct KeyHash {
    CFDictionaryHashCallBack hash;
    size_t operator()(const void* key) const {
        return hash ? hash(key) : reinterpret_cast<uintptr_t>(key) >> 3;
    }
};
struct KeyEqual {
    CFDictionaryEqualCallBack equal;
    bool operator()(const void* a, const void* b) const { return a == b || (equal && equal(a, b)); }
};

using Table = std::unordered_map<const void*, const void*, KeyHash, KeyEqual>;

} // namespace

struct __CFDictionary {
    CFRuntimeBase base;
    CFDictionaryKeyCallBacks keyCallBacks;
    CFDictionaryValueCallBacks valueCallBacks;
    Table table;
    bool isMutable;

    __CFDictionary(const CFDictionaryKeyCallBacks* k, const CFDictionaryValueCallBacks* v, bool m)
        : keyCallBacks(k ? *k : CFDictionaryKeyCallBacks{}),
          valueCallBacks(v ? *v : CFDictionaryValueCallBacks{}),
          table(0, KeyHash{keyCallBacks.hash}, KeyEqual{keyCallBacks.equal}), isMutable(m) {}
    ~__CFDictionary() {
        for (auto& [key, value] : table) {
            releaseValue(value);
            releaseKey(key);
        }
    }
    const void* retainKey(const void* key) const {
        return keyCallBacks.retain ? keyCallBacks.retain(nullptr, key) : key;
    }
    void releaseKey(const void* key) const {
        if (keyCallBacks.release) keyCallBacks.release(nullptr, key);
    }
    const void* retainValue(const void* value) const {
        return valueCallBacks.retain ? valueCallBacks.retain(nullptr, value) : value;
    }
    void releaseValue(const void* value) const {
        if (valueCallBacks.release) valueCallBacks.release(nullptr, value);
    }
    bool valuesEqual(const void* a, const void* b) const {
        return a == b || (valueCallBacks.equal && valueCallBacks.equal(a, b));
    }

    // Adds or replaces as the flags say; a replaced value is released after the new one is in.
    void put(const void* key, const void* value, bool add, bool replace) {
        auto it = table.find(key);
        if (it == table.end()) {
            if (!add) return;
            try {
                table.emplace(retainKey(key), retainValue(value));
            } catch (const std::bad_alloc&) {
            }
            return;
        }
        if (!replace) return;
        const void* old = it->second;
        it->second = retainValue(value);
        releaseValue(old);
    }
};

namespace {

__CFDictionary* asDictionary(CFTypeRef cf) {
    return cf::as<__CFDictionary>(cf, _kCFRuntimeIDCFDictionary);
}
__CFDictionary* asMutable(CFTypeRef cf) {
    __CFDictionary* dictionary = asDictionary(cf);
    return dictionary && dictionary->isMutable ? dictionary : nullptr;
}

Boolean dictionaryEqual(CFTypeRef a, CFTypeRef b) {
    const __CFDictionary* x = asDictionary(a);
    const __CFDictionary* y = asDictionary(b);
    if (x->table.size() != y->table.size()) return false;
    for (const auto& [key, value] : x->table) {
        auto it = y->table.find(key);
        if (it == y->table.end() || !x->valuesEqual(value, it->second)) return false;
    }
    return true;
}

CFHashCode dictionaryHash(CFTypeRef cf) {
    return asDictionary(cf)->table.size();
}

std::string describe(CFDictionaryCopyDescriptionCallBack copy, const void* item) {
    CFStringRef text = copy ? copy(item) : nullptr;
    auto utf8 = _CFStringCopyUTF8String(text);
    if (text) CFRelease(text);
    return utf8 ? *utf8 : "?";
}

CFStringRef dictionaryDescription(CFTypeRef cf) {
    const __CFDictionary* dictionary = asDictionary(cf);
    std::string text = "{";
    for (const auto& [key, value] : dictionary->table) {
        if (text.size() > 1) text += ", ";
        text += describe(dictionary->keyCallBacks.copyDescription, key) + " = " +
                describe(dictionary->valueCallBacks.copyDescription, value);
    }
    return cf::describe(text + "}");
}

__CFDictionary* make(const CFDictionaryKeyCallBacks* keyCallBacks,
                     const CFDictionaryValueCallBacks* valueCallBacks, bool isMutable) {
    return _CFRuntimeNew<__CFDictionary>(_kCFRuntimeIDCFDictionary, keyCallBacks, valueCallBacks,
                                         isMutable);
}

__CFDictionary* copy(const __CFDictionary* source, bool isMutable) {
    __CFDictionary* dictionary = make(&source->keyCallBacks, &source->valueCallBacks, isMutable);
    if (!dictionary) return nullptr;
    for (const auto& [key, value] : source->table)
        dictionary->put(key, value, true, true);
    return dictionary;
}

} // namespace

const CFRuntimeClass __CFDictionaryClass = {"CFDictionary", _CFRuntimeDestroy<__CFDictionary>,
                                            dictionaryEqual, dictionaryHash, dictionaryDescription};

CFTypeID CFDictionaryGetTypeID() {
    return _kCFRuntimeIDCFDictionary;
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks) {
    if (numValues < 0 || (numValues > 0 && (!keys || !values))) return nullptr;
    __CFDictionary* dictionary = make(keyCallBacks, valueCallBacks, false);
    if (!dictionary) return nullptr;
    for (CFIndex i = 0; i < numValues; ++i)
        dictionary->put(keys[i], values[i], true, true);
    return dictionary;
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef, CFDictionaryRef theDict) {
    __CFDictionary* dictionary = asDictionary(theDict);
    if (!dictionary) return nullptr;
    if (!dictionary->isMutable) return CFDictionaryRef(CFRetain(theDict));
    return copy(dictionary, false);
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks) {
    return make(keyCallBacks, valueCallBacks, true);
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef, CFIndex,
                                                     CFDictionaryRef theDict) {
    __CFDictionary* dictionary = asDictionary(theDict);
    return dictionary ? copy(dictionary, true) : nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
    __CFDictionary* dictionary = asDictionary(theDict);
    return dictionary ? CFIndex(dictionary->table.size()) : 0;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key) {
    return CFDictionaryGetValueIfPresent(theDict, key, nullptr);
}

Boolean CFDictionaryContainsValue(CFDictionaryRef theDict, const void* value) {
    __CFDictionary* dictionary = asDictionary(theDict);
    if (!dictionary) return false;
    for (const auto& entry : dictionary->table) {
        if (dictionary->valuesEqual(entry.second, value)) return true;
    }
    return false;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key) {
    const void* value = nullptr;
    return CFDictionaryGetValueIfPresent(theDict, key, &value) ? value : nullptr;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key,
                                      const void** value) {
    __CFDictionary* dictionary = asDictionary(theDict);
    if (!dictionary) return false;
    auto it = dictionary->table.find(key);
    if (it == dictionary->table.end()) return false;
    if (value) *value = it->second;
    return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values) {
    __CFDictionary* dictionary = asDictionary(theDict);
    if (!dictionary) return;
    size_t i = 0;
    for (const auto& [key, value] : dictionary->table) {
        if (keys) keys[i] = key;
        if (values) values[i] = value;
        ++i;
    }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier,
                               void* context) {
    __CFDictionary* dictionary = asDictionary(theDict);
    if (!dictionary || !applier) return;
    for (const auto& [key, value] : dictionary->table)
        applier(key, value, context);
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
    if (__CFDictionary* dictionary = asMutable(theDict)) dictionary->put(key, value, true, true);
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
    if (__CFDictionary* dictionary = asMutable(theDict)) dictionary->put(key, value, true, false);
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
    if (__CFDictionary* dictionary = asMutable(theDict)) dictionary->put(key, value, false, true);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key) {
    __CFDictionary* dictionary = asMutable(theDict);
    if (!dictionary) return;
    auto it = dictionary->table.find(key);
    if (it == dictionary->table.end()) return;
    const void* oldKey = it->first;
    const void* oldValue = it->second;
    dictionary->table.erase(it);
    dictionary->releaseValue(oldValue);
    dictionary->releaseKey(oldKey);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict) {
    __CFDictionary* dictionary = asMutable(theDict);
    if (!dictionary) return;
    Table old(0, dictionary->table.hash_function(), dictionary->table.key_eq());
    old.swap(dictionary->table);
    for (auto& [key, value] : old) {
        dictionary->releaseValue(value);
        dictionary->releaseKey(key);
    }
}
