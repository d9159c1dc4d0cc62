// Byte buffers, immutable and mutable.
#pragma once
#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFData* CFDataRef;
typedef struct __CFData* CFMutableDataRef;

CFTypeID CFDataGetTypeID(void);
// A copy of the bytes (length 0 with bytes NULL is an empty buffer).
CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);
CFDataRef CFDataCreateCopy(CFAllocatorRef allocator, CFDataRef theData);
// capacity 0: no limit.
CFMutableDataRef CFDataCreateMutable(CFAllocatorRef allocator, CFIndex capacity);
CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                         CFDataRef theData);
CFIndex CFDataGetLength(CFDataRef theData);
// Valid until the data is released or (for mutable data) changed in length.
const UInt8* CFDataGetBytePtr(CFDataRef theData);
UInt8* CFDataGetMutableBytePtr(CFMutableDataRef theData);
void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer);
// New bytes are zero.
void CFDataSetLength(CFMutableDataRef theData, CFIndex length);
void CFDataAppendBytes(CFMutableDataRef theData, const UInt8* bytes, CFIndex length);

CF_EXTERN_C_END
