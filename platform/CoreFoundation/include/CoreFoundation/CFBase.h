// The base of every CoreFoundation type: scalar types, the polymorphic calls that work on any
// object (type identifiers, reference counts, equality, hashing) and allocators.
//
// Every object carries an atomic reference count; CFRetain and CFRelease may be called from
// any thread. Mutable containers are not themselves thread-safe: one writer at a time.
#pragma once
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define CF_EXTERN_C_BEGIN extern "C" {
#define CF_EXTERN_C_END }
#else
#define CF_EXTERN_C_BEGIN
#define CF_EXTERN_C_END
#endif

#define CF_EXPORT extern

CF_EXTERN_C_BEGIN

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;
typedef uint16_t UniChar;
typedef uint32_t UTF32Char;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;
typedef long CFIndex;

// kCFNotFound: an index that names no element.
enum { kCFNotFound = -1 };

typedef enum {
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
} CFComparisonResult;

typedef struct {
    CFIndex location;
    CFIndex length;
} CFRange;

static inline CFRange CFRangeMake(CFIndex location, CFIndex length) {
    CFRange range = {location, length};
    return range;
}

// Any object. Polymorphic calls take this type.
typedef const void* CFTypeRef;

typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFNull* CFNullRef;

// Allocators are accepted for the callers' sake; every object lives in the process heap.
// kCFAllocatorDefault is NULL, as callers expect; kCFAllocatorNull tells the *NoCopy
// creators that the caller keeps the bytes.
CF_EXPORT const CFAllocatorRef kCFAllocatorDefault;
CF_EXPORT const CFAllocatorRef kCFAllocatorSystemDefault;
CF_EXPORT const CFAllocatorRef kCFAllocatorMalloc;
CF_EXPORT const CFAllocatorRef kCFAllocatorNull;
CFTypeID CFAllocatorGetTypeID(void);

// The one null object, for containers that must hold "nothing".
CF_EXPORT const CFNullRef kCFNull;
CFTypeID CFNullGetTypeID(void);

// The object's type identifier; 0 for NULL.
CFTypeID CFGetTypeID(CFTypeRef cf);
// A new reference to cf, which is returned. NULL gives NULL.
CFTypeRef CFRetain(CFTypeRef cf);
// Drops one reference; the last one destroys the object. NULL is ignored.
void CFRelease(CFTypeRef cf);
// The current count, for diagnostics and tests only (immortal objects report a large count).
CFIndex CFGetRetainCount(CFTypeRef cf);
// Equal when both are the same object, or of the same type and that type calls them equal.
Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
// Equal objects have equal hashes.
CFHashCode CFHash(CFTypeRef cf);
// A new string naming the object's class and contents, for diagnostics.
CFStringRef CFCopyDescription(CFTypeRef cf);
// A new string with the name of the class of objects of this type; NULL for an unknown type.
CFStringRef CFCopyTypeIDDescription(CFTypeID typeID);
// Prints the object's description to standard error, for debugging.
void CFShow(CFTypeRef cf);

CF_EXTERN_C_END
