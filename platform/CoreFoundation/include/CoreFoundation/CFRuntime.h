// The object runtime that every CoreFoundation type is built on, for frameworks that define
// their own types (Security items, run-loop sources, Mach-port objects...).
//
// An object starts with a CFRuntimeBase. Its reference count lives in the native-handle
// table (see CFHandle.h), so that a handle can be resolved and retained without touching the
// memory of an object that is already gone.
//
// Defining a type, in C++:
//
//     struct __MyThing {
//         CFRuntimeBase base;        // first member, always
//         std::string payload;
//     };
//     static const CFRuntimeClass myThingClass = {
//         "MyThing", _CFRuntimeDestroy<__MyThing>, myThingEqual, myThingHash, nullptr};
//     CFTypeID MyThingGetTypeID() {
//         static const CFTypeID id = _CFRuntimeRegisterClass(&myThingClass);
//         return id;
//     }
//     MyThingRef MyThingCreate(...) {
//         return _CFRuntimeNew<__MyThing>(MyThingGetTypeID(), ...);  // count 1, has a handle
//     }
//
// In C, use _CFRuntimeCreateInstance (zeroed memory) and a finalize that frees the contents.
#pragma once
#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

// The header of every object. Its fields belong to the runtime.
typedef struct __CFRuntimeBase {
    uintptr_t _cfinfo; // type identifier and flags
    uint32_t _handle;  // the object's native handle (0 until an immortal one is asked for it)
    uint32_t _reserved;
} CFRuntimeBase;

// What the runtime needs to know of a type. Every callback but finalize may be NULL.
typedef struct __CFRuntimeClass {
    // The class name, e.g. "CFString"; CFCopyTypeIDDescription gives it back.
    const char* className;
    // Called once, when the last reference is gone: gives up what the object owns (and, in
    // C++, runs its destructor: _CFRuntimeDestroy<T>). The runtime then frees the memory.
    void (*finalize)(CFTypeRef cf);
    // Called only for two distinct objects of this type. NULL: equal only to itself.
    Boolean (*equal)(CFTypeRef cf1, CFTypeRef cf2);
    // Must agree with equal. NULL: hash of the address.
    CFHashCode (*hash)(CFTypeRef cf);
    // A new string describing the contents. NULL: class name and address.
    CFStringRef (*copyDebugDesc)(CFTypeRef cf);
} CFRuntimeClass;

// The identifiers of the built-in classes; _CFRuntimeRegisterClass hands out larger ones.
enum {
    _kCFRuntimeIDNotAType = 0,
    _kCFRuntimeIDCFAllocator = 1,
    _kCFRuntimeIDCFNull = 2,
    _kCFRuntimeIDCFString = 3,
    _kCFRuntimeIDCFBoolean = 4,
    _kCFRuntimeIDCFNumber = 5,
    _kCFRuntimeIDCFData = 6,
    _kCFRuntimeIDCFArray = 7,
    _kCFRuntimeIDCFDictionary = 8,
    _kCFRuntimeFirstRegisteredID = 64,
    _kCFRuntimeMaxClasses = 1024
};

// Registers a type; the class must stay valid for the life of the process. Returns the new
// type identifier, or _kCFRuntimeIDNotAType when the class table is full.
CFTypeID _CFRuntimeRegisterClass(const CFRuntimeClass* cls);
// The class of a registered or built-in type; NULL for an unknown identifier.
const CFRuntimeClass* _CFRuntimeGetClassWithTypeID(CFTypeID typeID);

// A new object of `size` bytes in all (CFRuntimeBase included), zeroed, with a reference count
// of 1 and its handle. NULL when memory or handles run out.
CFTypeRef _CFRuntimeCreateInstance(CFAllocatorRef allocator, CFTypeID typeID, size_t size);

// The two halves of _CFRuntimeCreateInstance, for objects that are constructed in place:
// raw storage, then the header (count 1, handle). Init returns 0 (and frees the storage
// after running the class's finalize) when no handle is left.
void* _CFRuntimeAllocate(size_t size);
Boolean _CFRuntimeInitInstance(void* object, CFTypeID typeID);
void _CFRuntimeFree(void* object);

// An object that is never destroyed (constants such as kCFBooleanTrue): retain and release
// do nothing. Statically allocated constants use CF_RUNTIME_STATIC_BASE instead.
void _CFRuntimeSetImmortal(CFTypeRef cf);
#define _kCFRuntimeImmortalFlag ((uintptr_t)1 << 31)
#define CF_RUNTIME_STATIC_BASE(typeID)                                                             \
    { ((uintptr_t)(typeID)) | _kCFRuntimeImmortalFlag, 0, 0 }

CF_EXTERN_C_END

#ifdef __cplusplus
#include <new>
#include <utility>

// Constructs a T in runtime storage. T's first member is a CFRuntimeBase; T's class must use
// _CFRuntimeDestroy<T> as (or inside) its finalize. Returns NULL when the object cannot be
// made; constructors must not throw anything but std::bad_alloc, which gives NULL too.
template <class T, class... Args> T* _CFRuntimeNew(CFTypeID typeID, Args&&... args) noexcept {
    void* storage = _CFRuntimeAllocate(sizeof(T));
    if (!storage) return nullptr;
    T* object;
    try {
        object = new (storage) T(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        _CFRuntimeFree(storage);
        return nullptr;
    }
    return _CFRuntimeInitInstance(object, typeID) ? object : nullptr;
}

// A finalize that runs T's destructor (the runtime frees the storage afterwards).
template <class T> void _CFRuntimeDestroy(CFTypeRef cf) {
    static_cast<T*>(const_cast<void*>(cf))->~T();
}
#endif
