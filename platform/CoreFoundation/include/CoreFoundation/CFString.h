// Strings: immutable and mutable sequences of UTF-16 code units.
#pragma once
#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef UInt32 CFStringEncoding;
enum {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingISOLatin1 = 0x0201,
    kCFStringEncodingUTF8 = 0x08000100,
    kCFStringEncodingUTF16 = 0x0100,
    kCFStringEncodingUTF16BE = 0x10000100,
    kCFStringEncodingUTF16LE = 0x14000100,
    kCFStringEncodingInvalidId = 0xffffffffU
};

typedef CFOptionFlags CFStringCompareFlags;
enum { kCFCompareCaseInsensitive = 1 };

CFTypeID CFStringGetTypeID(void);

// A string constant for a C string literal (ASCII or UTF-8): never destroyed, one object per
// distinct text.
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
CFStringRef __CFStringMakeConstantString(const char* cStr);

// Creation. Every creator returns NULL when the bytes are not valid in the given encoding.
// UTF-8 means the standard form: overlong forms (such as C0 80), encoded surrogates and
// values beyond U+10FFFF are invalid.
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars,
                                         CFIndex numChars);
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                      CFStringEncoding encoding);
CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation);
CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString);
CFStringRef CFStringCreateWithSubstring(CFAllocatorRef alloc, CFStringRef str, CFRange range);

// Contents.
CFIndex CFStringGetLength(CFStringRef theString);
UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx);
void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer);
// Writes the string and a terminating NUL into buffer (bufferSize bytes with the NUL).
// FALSE, with nothing promised in buffer, when it does not fit or cannot be encoded.
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
// A pointer to the contents in the encoding when one is at hand without conversion; may be
// NULL at any time (callers then use CFStringGetCString).
const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);
// The most bytes `length` units can take in the encoding (without a terminator).
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
// Converts a range; returns the number of units converted and the bytes used (or needed,
// when buffer is NULL). lossByte 0: stop at the first unit the encoding cannot hold.
CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding,
                         UInt8 lossByte, Boolean isExternalRepresentation, UInt8* buffer,
                         CFIndex maxBufLen, CFIndex* usedBufLen);

// Comparison of UTF-16 units (case-insensitive: ASCII letters folded).
CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions);
Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix);
Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix);

// Mutable strings. maxLength 0: no limit.
CFMutableStringRef CFStringCreateMutable(CFAllocatorRef alloc, CFIndex maxLength);
CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength,
                                             CFStringRef theString);
void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString);
void CFStringAppendCharacters(CFMutableStringRef theString, const UniChar* chars, CFIndex numChars);
// Appends nothing when cStr is not valid in the encoding.
void CFStringAppendCString(CFMutableStringRef theString, const char* cStr,
                           CFStringEncoding encoding);

CF_EXTERN_C_END

#ifdef __cplusplus
#include <optional>
#include <string>
#include <string_view>
// The string as UTF-8, for the platform's own use; nullopt for NULL or a non-string.
// Unpaired surrogates become U+FFFD.
std::optional<std::string> _CFStringCopyUTF8String(CFStringRef theString);
// UTF-16 units of UTF-8 bytes from outside the process's control (a file name, a volume
// label, an account's comment), for the platform's own use: each malformed sequence becomes
// U+FFFD instead of the whole text being refused.
std::u16string _CFStringDecodeUTF8Replacing(std::string_view bytes);
#endif
