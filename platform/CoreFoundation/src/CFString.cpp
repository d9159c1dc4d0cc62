// Strings as UTF-16 code units.
#include "CFInternal.h"
#include "CFUnicode.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

struct __CFString {
    CFRuntimeBase base;
    std::u16string units;
    bool isMutable;

    __CFString(std::u16string text, bool isMutableString)
        : units(std::move(text)), isMutable(isMutableString) {}
};

namespace {

__CFString* asString(CFTypeRef cf) {
    return cf::as<__CFString>(cf, _kCFRuntimeIDCFString);
}

__CFString* asMutable(CFTypeRef cf) {
    __CFString* string = asString(cf);
    return string && string->isMutable ? string : nullptr;
}

Boolean stringEqual(CFTypeRef a, CFTypeRef b) {
    return asString(a)->units == asString(b)->units;
}

CFHashCode stringHash(CFTypeRef cf) {
    // FNV-1a over the units.
    uint64_t hash = 0xcbf29ce484222325u;
    for (char16_t unit : asString(cf)->units) {
        hash = (hash ^ unit) * 0x100000001b3u;
    }
    return hash;
}

CFStringRef stringDescription(CFTypeRef cf) {
    return CFStringCreateCopy(nullptr, CFStringRef(cf));
}

CFStringRef make(std::u16string units, bool isMutable = false) {
    try {
        return _CFRuntimeNew<__CFString>(_kCFRuntimeIDCFString, std::move(units), isMutable);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The units of bytes in an encoding; nullopt when the bytes are not valid in it.
std::optional<std::u16string> decode(const UInt8* bytes, size_t length, CFStringEncoding encoding,
                                     bool external) {
    std::string_view view(reinterpret_cast<const char*>(bytes), length);
    switch (encoding) {
    case kCFStringEncodingUTF8:
        if (external && view.starts_with("\xef\xbb\xbf")) view.remove_prefix(3);
        return cf::unicode::decodeUTF8(view);
    case kCFStringEncodingASCII:
    case kCFStringEncodingMacRoman: // only its ASCII half is held here
        if (std::any_of(view.begin(), view.end(), [](char c) { return c & 0x80; }))
            return std::nullopt;
        return std::u16string(view.begin(), view.end());
    case kCFStringEncodingISOLatin1: {
        std::u16string units;
        for (char c : view)
            units.push_back(static_cast<uint8_t>(c));
        return units;
    }
    case kCFStringEncodingUTF16:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE: {
        if (length % 2) return std::nullopt;
        bool big = encoding == kCFStringEncodingUTF16BE;
        size_t start = 0;
        if (encoding == kCFStringEncodingUTF16 && length >= 2) {
            if (bytes[0] == 0xfe && bytes[1] == 0xff)
                big = true, start = 2;
            else if (bytes[0] == 0xff && bytes[1] == 0xfe)
                big = false, start = 2;
        }
        std::u16string units;
        for (size_t i = start; i < length; i += 2) {
            units.push_back(big ? char16_t(bytes[i] << 8 | bytes[i + 1])
                                : char16_t(bytes[i + 1] << 8 | bytes[i]));
        }
        return units;
    }
    default:
        return std::nullopt;
    }
}

// The bytes of units in an encoding; nullopt when a unit cannot be held in it.
std::optional<std::string> encode(std::u16string_view units, CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingUTF8:
        return cf::unicode::encodeUTF8(units);
    case kCFStringEncodingASCII:
    case kCFStringEncodingMacRoman:
    case kCFStringEncodingISOLatin1: {
        char16_t limit = encoding == kCFStringEncodingISOLatin1 ? 0x100 : 0x80;
        std::string out;
        for (char16_t unit : units) {
            if (unit >= limit) return std::nullopt;
            out.push_back(static_cast<char>(unit));
        }
        return out;
    }
    case kCFStringEncodingUTF16:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE: {
        bool big = encoding == kCFStringEncodingUTF16BE;
        std::string out;
        for (char16_t unit : units) {
            char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xff);
            out.push_back(big ? high : low);
            out.push_back(big ? low : high);
        }
        return out;
    }
    default:
        return std::nullopt;
    }
}

bool validRange(const __CFString* string, CFRange range) {
    // Compared without adding, so that a huge length cannot overflow.
    size_t size = string->units.size();
    return range.location >= 0 && range.length >= 0 &&
           static_cast<size_t>(range.location) <= size &&
           static_cast<size_t>(range.length) <= size - static_cast<size_t>(range.location);
}

} // namespace

const CFRuntimeClass __CFStringClass = {"CFString", _CFRuntimeDestroy<__CFString>, stringEqual,
                                        stringHash, stringDescription};

CFTypeID CFStringGetTypeID() {
    return _kCFRuntimeIDCFString;
}

CFStringRef __CFStringMakeConstantString(const char* cStr) {
    static std::mutex mutex;
    static auto* constants = new std::unordered_map<std::string, CFStringRef>;
    if (!cStr) return nullptr;
    std::lock_guard lock(mutex);
    auto [it, inserted] = constants->try_emplace(cStr, nullptr);
    if (inserted) {
        it->second = CFStringCreateWithCString(nullptr, cStr, kCFStringEncodingUTF8);
        _CFRuntimeSetImmortal(it->second);
    }
    return it->second;
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars) {
    if (numChars < 0 || (numChars > 0 && !chars)) return nullptr;
    return make(std::u16string(reinterpret_cast<const char16_t*>(chars), numChars));
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                      CFStringEncoding encoding) {
    if (!cStr) return nullptr;
    return CFStringCreateWithBytes(alloc, reinterpret_cast<const UInt8*>(cStr),
                                   static_cast<CFIndex>(std::strlen(cStr)), encoding, false);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation) {
    if (numBytes < 0 || (numBytes > 0 && !bytes)) return nullptr;
    std::optional<std::u16string> units;
    try {
        units = decode(bytes, numBytes, encoding, isExternalRepresentation);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return units ? make(std::move(*units)) : nullptr;
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef theString) {
    __CFString* string = asString(theString);
    if (!string) return nullptr;
    if (!string->isMutable) return CFStringRef(CFRetain(theString));
    return make(string->units);
}

CFStringRef CFStringCreateWithSubstring(CFAllocatorRef, CFStringRef str, CFRange range) {
    __CFString* string = asString(str);
    if (!string || !validRange(string, range)) return nullptr;
    return make(string->units.substr(range.location, range.length));
}

CFIndex CFStringGetLength(CFStringRef theString) {
    __CFString* string = asString(theString);
    return string ? static_cast<CFIndex>(string->units.size()) : 0;
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx) {
    __CFString* string = asString(theString);
    if (!string || idx < 0 || static_cast<size_t>(idx) >= string->units.size()) return 0;
    return string->units[idx];
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer) {
    __CFString* string = asString(theString);
    if (!string || !buffer || !validRange(string, range)) return;
    std::copy_n(string->units.data() + range.location, range.length, buffer);
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
    __CFString* string = asString(theString);
    if (!string || !buffer || bufferSize <= 0) return false;
    std::optional<std::string> bytes = encode(string->units, encoding);
    if (!bytes || bytes->size() >= static_cast<size_t>(bufferSize)) return false;
    std::memcpy(buffer, bytes->data(), bytes->size());
    buffer[bytes->size()] = '\0';
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef, CFStringEncoding) {
    return nullptr;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingUTF8:
        return length * 3; // a pair of surrogates (two units) takes four bytes
    case kCFStringEncodingUTF16:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE:
        return length * 2;
    default:
        return length;
    }
}

CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding,
                         UInt8 lossByte, Boolean isExternalRepresentation, UInt8* buffer,
                         CFIndex maxBufLen, CFIndex* usedBufLen) {
    __CFString* string = asString(theString);
    if (usedBufLen) *usedBufLen = 0;
    if (!string || !validRange(string, range)) return 0;
    std::u16string_view units(string->units.data() + range.location, range.length);
    std::string out;
    if (isExternalRepresentation && encoding == kCFStringEncodingUTF16) out = "\xff\xfe";
    CFIndex converted = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        size_t width = 1;
        if (units[i] >= 0xd800 && units[i] <= 0xdbff && i + 1 < units.size()) width = 2;
        std::optional<std::string> piece = encode(units.substr(i, width), encoding);
        if (!piece) {
            if (!lossByte) break;
            piece = std::string(1, static_cast<char>(lossByte));
        }
        if (buffer && static_cast<CFIndex>(out.size() + piece->size()) > maxBufLen) break;
        out += *piece;
        converted += width;
        i += width - 1;
    }
    if (buffer) std::memcpy(buffer, out.data(), out.size());
    if (usedBufLen) *usedBufLen = static_cast<CFIndex>(out.size());
    return converted;
}

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions) {
    __CFString* a = asString(theString1);
    __CFString* b = asString(theString2);
    if (!a || !b) return a ? kCFCompareGreaterThan : b ? kCFCompareLessThan : kCFCompareEqualTo;
    auto fold = [&](char16_t c) -> char16_t {
        if ((compareOptions & kCFCompareCaseInsensitive) && c >= 'A' && c <= 'Z') return c + 32;
        return c;
    };
    size_t n = std::min(a->units.size(), b->units.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = fold(a->units[i]), y = fold(b->units[i]);
        if (x != y) return x < y ? kCFCompareLessThan : kCFCompareGreaterThan;
    }
    if (a->units.size() == b->units.size()) return kCFCompareEqualTo;
    return a->units.size() < b->units.size() ? kCFCompareLessThan : kCFCompareGreaterThan;
}

Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix) {
    __CFString* string = asString(theString);
    __CFString* start = asString(prefix);
    return string && start && string->units.starts_with(start->units);
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix) {
    __CFString* string = asString(theString);
    __CFString* end = asString(suffix);
    return string && end && string->units.ends_with(end->units);
}

CFMutableStringRef CFStringCreateMutable(CFAllocatorRef, CFIndex) {
    return const_cast<CFMutableStringRef>(make(std::u16string(), true));
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef, CFIndex, CFStringRef theString) {
    __CFString* string = asString(theString);
    if (!string) return nullptr;
    return const_cast<CFMutableStringRef>(make(string->units, true));
}

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString) {
    __CFString* string = asMutable(theString);
    __CFString* tail = asString(appendedString);
    if (string && tail) string->units += std::u16string(tail->units); // tail may be string
}

void CFStringAppendCharacters(CFMutableStringRef theString, const UniChar* chars,
                              CFIndex numChars) {
    __CFString* string = asMutable(theString);
    if (string && chars && numChars > 0)
        string->units.append(reinterpret_cast<const char16_t*>(chars), numChars);
}

void CFStringAppendCString(CFMutableStringRef theString, const char* cStr,
                           CFStringEncoding encoding) {
    __CFString* string = asMutable(theString);
    if (!string || !cStr) return;
    if (auto units =
            decode(reinterpret_cast<const UInt8*>(cStr), std::strlen(cStr), encoding, false))
        string->units += *units;
}

std::optional<std::string> _CFStringCopyUTF8String(CFStringRef theString) {
    __CFString* string = asString(theString);
    if (!string) return std::nullopt;
    return cf::unicode::encodeUTF8(string->units);
}

std::u16string _CFStringDecodeUTF8Replacing(std::string_view bytes) {
    return *cf::unicode::decodeUTF8(bytes, cf::unicode::Malformed::Replace);
}
