// Byte buffers.
#include "CFInternal.h"

#include <CoreFoundation/CFData.h>

#include <cstring>
#include <vector>

struct __CFData {
    CFRuntimeBase base;
    std::vector<UInt8> bytes;
    bool isMutable;

    __CFData(std::vector<UInt8> b, bool m) : bytes(std::move(b)), isMutable(m) {}
};

namespace {

__CFData* asData(CFTypeRef cf) {
    return cf::as<__CFData>(cf, _kCFRuntimeIDCFData);
}
__CFData* asMutable(CFTypeRef cf) {
    __CFData* data = asData(cf);
    return data && data->isMutable ? data : nullptr;
}

Boolean dataEqual(CFTypeRef a, CFTypeRef b) {
    return asData(a)->bytes == asData(b)->bytes;
}

CFHashCode dataHash(CFTypeRef cf) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (UInt8 byte : asData(cf)->bytes)
        hash = (hash ^ byte) * 0x100000001b3u;
    return hash;
}

CFStringRef dataDescription(CFTypeRef cf) {
    const auto& bytes = asData(cf)->bytes;
    static const char digits[] = "0123456789abcdef";
    std::string text = "<";
    for (UInt8 byte : bytes)
        text += {digits[byte >> 4], digits[byte & 15]};
    return cf::describe(text + ">");
}

__CFData* make(const UInt8* bytes, CFIndex length, bool isMutable) {
    if (length < 0 || (length > 0 && !bytes)) return nullptr;
    try {
        return _CFRuntimeNew<__CFData>(_kCFRuntimeIDCFData,
                                       std::vector<UInt8>(bytes, bytes + length), isMutable);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

const CFRuntimeClass __CFDataClass = {"CFData", _CFRuntimeDestroy<__CFData>, dataEqual, dataHash,
                                      dataDescription};

CFTypeID CFDataGetTypeID() {
    return _kCFRuntimeIDCFData;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length) {
    return make(bytes, length, false);
}

CFDataRef CFDataCreateCopy(CFAllocatorRef, CFDataRef theData) {
    __CFData* data = asData(theData);
    if (!data) return nullptr;
    if (!data->isMutable) return CFDataRef(CFRetain(theData));
    return make(data->bytes.data(), CFIndex(data->bytes.size()), false);
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef, CFIndex) {
    return make(nullptr, 0, true);
}

CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef, CFIndex, CFDataRef theData) {
    __CFData* data = asData(theData);
    return data ? make(data->bytes.data(), CFIndex(data->bytes.size()), true) : nullptr;
}

CFIndex CFDataGetLength(CFDataRef theData) {
    __CFData* data = asData(theData);
    return data ? CFIndex(data->bytes.size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef theData) {
    __CFData* data = asData(theData);
    return data ? data->bytes.data() : nullptr;
}

UInt8* CFDataGetMutableBytePtr(CFMutableDataRef theData) {
    __CFData* data = asMutable(theData);
    return data ? data->bytes.data() : nullptr;
}

void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer) {
    __CFData* data = asData(theData);
    if (!data || !buffer || range.location < 0 || range.length < 0 ||
        size_t(range.location) > data->bytes.size() ||
        size_t(range.length) > data->bytes.size() - size_t(range.location))
        return;
    std::memcpy(buffer, data->bytes.data() + range.location, range.length);
}

void CFDataSetLength(CFMutableDataRef theData, CFIndex length) {
    __CFData* data = asMutable(theData);
    if (data && length >= 0) data->bytes.resize(length);
}

void CFDataAppendBytes(CFMutableDataRef theData, const UInt8* bytes, CFIndex length) {
    __CFData* data = asMutable(theData);
    if (data && bytes && length > 0) data->bytes.insert(data->bytes.end(), bytes, bytes + length);
}
