// CoreFoundation objects as the Java int handles the natives take and give back.
//
// A handle names an object for its whole life, and nothing once the object is gone: every
// native resolves a handle through Held, which takes a reference for the length of the call,
// so that a stale handle gives the native's failure value and an object released by another
// thread meanwhile stays valid until the native is done with it. Handles the Java caller
// releases go through releaseHandle, so that a handle released once too often drops nothing.
#pragma once
#include <CoreFoundation/CFHandle.h>
#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>
#include <jni.h>

namespace jni {

// The object's handle, bit for bit in a Java int (it may be negative); 0 for NULL.
inline jint toHandle(CFTypeRef object) {
    return static_cast<jint>(_CFHandleFromObject(object));
}

// The live object of a handle, borrowed: for callers that know it stays alive.
template <class T> T fromHandle(jint handle) {
    return static_cast<T>(_CFObjectFromHandle(static_cast<uint32_t>(handle)));
}

// The live object of a handle, held (retained) until the holder goes out of scope; tests false
// for 0 or a handle that names no live object.
template <class T> class Held {
  public:
    explicit Held(jint handle)
        : handle_(static_cast<uint32_t>(handle)),
          object_(static_cast<T>(_CFHandleCopyObject(handle_))) {}
    ~Held() {
        if (object_) _CFHandleRelease(handle_);
    }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

    explicit operator bool() const { return object_ != nullptr; }
    T get() const { return object_; }
    operator T() const { return object_; }

  private:
    uint32_t handle_;
    T object_;
};

// Drops the Java caller's reference; nothing for a handle that names no live object.
inline void releaseHandle(jint handle) {
    _CFHandleRelease(static_cast<uint32_t>(handle));
}

// Whether array has room for count handles (a null array has none).
inline bool holdsHandles(JNIEnv* env, jintArray array, jsize count) {
    return array && env->GetArrayLength(array) >= count;
}

// Writes the handles of count objects into elements 0..count-1 of array, leaving the rest as
// they were. Writes nothing, and returns false, when the array is null or shorter than count.
inline bool storeHandles(JNIEnv* env, jintArray array, const void* const* objects, jsize count) {
    if (!holdsHandles(env, array, count)) return false;
    constexpr jsize chunk = 256;
    jint handles[chunk];
    for (jsize start = 0; start < count; start += chunk) {
        jsize n = count - start < chunk ? count - start : chunk;
        for (jsize i = 0; i < n; ++i)
            handles[i] = toHandle(objects[start + i]);
        env->SetIntArrayRegion(array, start, n, handles);
    }
    return true;
}

} // namespace jni
