// C loops behind the registry benchmark's floor figures: the platform calls the registry
// natives make, without the JNI around them.
#include <CoreFoundation/CFHandle.h>
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>

#include <chrono>
#include <jni.h>

namespace {
using Clock = std::chrono::steady_clock;

template <typename Body> jlong timeLoop(jint calls, Body body) {
    auto start = Clock::now();
    for (jint i = 0; i < calls; i++)
        body();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

volatile uintptr_t sink;

// Every entry below entry, each name read; returns the number of entries.
long walk(io_registry_entry_t entry) {
    io_name_t name;
    IORegistryEntryGetName(entry, name);
    sink = sink + static_cast<unsigned char>(name[0]);
    long count = 1;
    io_iterator_t children = IO_OBJECT_NULL;
    if (IORegistryEntryGetChildIterator(entry, kIOServicePlane, &children) != KERN_SUCCESS)
        return count;
    while (io_object_t child = IOIteratorNext(children)) {
        count += walk(child);
        IOObjectRelease(child);
    }
    IOObjectRelease(children);
    return count;
}
} // namespace

extern "C" {

// The key string made, looked up and released, as the look-up native does after JNI.
JNIEXPORT jlong JNICALL Java_com_quenlark_bench_RegistryFloor_lookupLoop(JNIEnv* env, jclass,
                                                                         jint dictionary,
                                                                         jstring key, jint calls) {
    auto dict =
        static_cast<CFDictionaryRef>(_CFObjectFromHandle(static_cast<uint32_t>(dictionary)));
    const char* bytes = env->GetStringUTFChars(key, nullptr);
    jlong took = timeLoop(calls, [&] {
        CFStringRef cfKey = CFStringCreateWithCString(nullptr, bytes, kCFStringEncodingUTF8);
        const void* value = nullptr;
        if (CFDictionaryGetValueIfPresent(dict, cfKey, &value))
            sink = sink + reinterpret_cast<uintptr_t>(value);
        CFRelease(cfKey);
    });
    env->ReleaseStringUTFChars(key, bytes);
    return took;
}

// Resolving a handle for the length of a call and dropping it again, as every CF native does.
JNIEXPORT jlong JNICALL Java_com_quenlark_bench_RegistryFloor_holdLoop(JNIEnv*, jclass, jint handle,
                                                                       jint calls) {
    return timeLoop(calls, [&] {
        CFTypeRef object = _CFHandleCopyObject(static_cast<uint32_t>(handle));
        sink = sink + reinterpret_cast<uintptr_t>(object);
        _CFHandleRelease(static_cast<uint32_t>(handle));
    });
}

// Whole registry walks through the platform calls; each walk reads every entry's name.
JNIEXPORT jlong JNICALL Java_com_quenlark_bench_RegistryFloor_walkLoop(JNIEnv*, jclass,
                                                                       jint calls) {
    return timeLoop(calls, [&] {
        io_registry_entry_t root = IORegistryGetRootEntry(kIOMasterPortDefault);
        sink = sink + walk(root);
        IOObjectRelease(root);
    });
}

} // extern "C"
