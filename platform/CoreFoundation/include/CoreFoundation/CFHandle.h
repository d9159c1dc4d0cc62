// Native handles: every CoreFoundation object (and every object of a type registered through
// CFRuntime.h, such as Security's) has one non-zero 32-bit handle for its whole life, so that
// references can cross boundaries where a pointer does not fit.
//
// - The same object always gives the same handle; handles may have the top bit set.
// - Handles are even and Mach port names odd, so one kind never names an object of the other.
// - A handle's entry goes when its object is destroyed; from then on it resolves to NULL.
//   A slot is reused only after a long rotation and with a new generation in the handle's
//   upper bits, so a stale handle names a newer object only after about a thousand reuses
//   of the same slot.
// - Resolving reads only the table, never the object, so a dead handle never leads to freed
//   memory.
//
// Threads: _CFHandleCopyObject is the safe way to use an object that another thread may
// release at the same time: it takes a reference atomically, only while the object lives.
// _CFObjectFromHandle borrows: its result is valid only while the caller otherwise knows the
// object stays alive (it holds a reference, or the handle's owner does not release it).
// _CFHandleRelease drops a reference through the handle: a handle whose object is already
// gone (released once too often, even by two threads at once) drops nothing.
#pragma once
#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

// The object's handle; 0 for NULL.
uint32_t _CFHandleFromObject(CFTypeRef cf);
// The live object with this handle, borrowed (not retained); NULL for 0 or a dead handle.
CFTypeRef _CFObjectFromHandle(uint32_t handle);
// The live object with this handle with one more reference, which the caller releases with
// CFRelease; NULL for 0 or a dead handle, and for one whose last reference is being dropped.
CFTypeRef _CFHandleCopyObject(uint32_t handle);
// Drops one reference of the live object with this handle (the last one destroys it, as
// CFRelease does). FALSE, with nothing done, for 0 or a dead handle.
Boolean _CFHandleRelease(uint32_t handle);

CF_EXTERN_C_END
