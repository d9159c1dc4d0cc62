// The device registry (master port, entries, planes, iterators, matching, properties) and the
// CoreFoundation values behind the handles it gives out.
#include "JNIFrame.h"
#include "NativeHandles.h"

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>
#include <mach/mach.h>

#include <vector>

namespace {

using PlaneCall = kern_return_t (*)(io_registry_entry_t, const io_name_t, io_object_t*);

// The four plane natives: the object the platform stores, or 0 on a non-zero status.
jint planeCall(JNIEnv* env, PlaneCall call, jint registryEntry, jstring planeNameString) {
    io_object_t result = IO_OBJECT_NULL;
    kern_return_t status;
    {
        jni::UTFChars plane(env, planeNameString);
        if (!plane) return 0;
        status = call(static_cast<io_registry_entry_t>(registryEntry), plane, &result);
    }
    return status == KERN_SUCCESS ? static_cast<jint>(result) : 0;
}

} // namespace

extern "C" {

// The registry.

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_getMasterPort(JNIEnv*, jobject) {
    mach_port_t masterPort = MACH_PORT_NULL;
    if (IOMasterPort(MACH_PORT_NULL, &masterPort) != KERN_SUCCESS) return 0;
    return static_cast<jint>(masterPort);
}

JNIEXPORT void JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_mach_1port_1deallocate(JNIEnv*,
                                                                                        jobject,
                                                                                        jint port) {
    mach_port_deallocate(mach_task_self(), static_cast<mach_port_t>(port));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IORegistryGetRootEntry(JNIEnv*,
                                                                                        jobject,
                                                                                        jint port) {
    return static_cast<jint>(IORegistryGetRootEntry(static_cast<mach_port_t>(port)));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IOBSDNameMatching(
    JNIEnv* env, jobject, jint masterPort, jstring bsdNameString) {
    CFMutableDictionaryRef matching;
    {
        jni::UTFChars name(env, bsdNameString);
        if (!name) return 0;
        matching = IOBSDNameMatching(static_cast<mach_port_t>(masterPort), 0, name);
    }
    return jni::toHandle(matching);
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IOServiceGetMatchingServices(
    JNIEnv*, jobject, jint masterPort, jint dictionary) {
    // The lookup consumes the caller's reference; the holder keeps the dictionary alive until
    // the call returns even if the caller releases it on another thread meanwhile.
    jni::Held<CFDictionaryRef> matching(dictionary);
    if (!matching) return 0;
    io_iterator_t iterator = IO_OBJECT_NULL;
    if (IOServiceGetMatchingServices(static_cast<mach_port_t>(masterPort), matching, &iterator) !=
        KERN_SUCCESS)
        return 0;
    return static_cast<jint>(iterator);
}

JNIEXPORT jstring JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IORegistryEntryGetName(
    JNIEnv* env, jobject, jint registryRef) {
    io_name_t name;
    if (IORegistryEntryGetName(static_cast<io_registry_entry_t>(registryRef), name) != KERN_SUCCESS)
        return nullptr;
    // Device names are bytes from the system, not necessarily modified UTF-8.
    return jni::newString(env, name);
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IORegistryEntryGetChildEntry(
    JNIEnv* env, jobject, jint registryEntry, jstring planeNameString) {
    return planeCall(env, IORegistryEntryGetChildEntry, registryEntry, planeNameString);
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IORegistryEntryGetChildIterator(
    JNIEnv* env, jobject, jint registryEntry, jstring planeNameString) {
    return planeCall(env, IORegistryEntryGetChildIterator, registryEntry, planeNameString);
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IORegistryEntryGetParentEntry(
    JNIEnv* env, jobject, jint registryEntry, jstring planeNameString) {
    return planeCall(env, IORegistryEntryGetParentEntry, registryEntry, planeNameString);
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IORegistryEntryGetParentIterator(
    JNIEnv* env, jobject, jint registryEntry, jstring planeNameString) {
    return planeCall(env, IORegistryEntryGetParentIterator, registryEntry, planeNameString);
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IOIteratorNext(JNIEnv*, jobject,
                                                                                jint ioIterator) {
    return static_cast<jint>(IOIteratorNext(static_cast<io_iterator_t>(ioIterator)));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IOIteratorIsValid(
    JNIEnv*, jobject, jint ioIterator) {
    return static_cast<jint>(IOIteratorIsValid(static_cast<io_iterator_t>(ioIterator)));
}

JNIEXPORT void JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IOIteratorReset(JNIEnv*, jobject,
                                                                                 jint ioIterator) {
    IOIteratorReset(static_cast<io_iterator_t>(ioIterator));
}

JNIEXPORT void JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IOObjectRelease(JNIEnv*, jobject,
                                                                                 jint releaseRef) {
    IOObjectRelease(static_cast<io_object_t>(releaseRef));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_IORegistryEntryCreateCFProperties(
    JNIEnv*, jobject, jint registryEntry) {
    CFMutableDictionaryRef properties = nullptr;
    if (IORegistryEntryCreateCFProperties(static_cast<io_registry_entry_t>(registryEntry),
                                          &properties, kCFAllocatorDefault, 0) != KERN_SUCCESS)
        return 0;
    return jni::toHandle(properties);
}

// CoreFoundation values.

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFGetTypeID(
    JNIEnv*, jobject, jint getIDRef) {
    jni::Held<CFTypeRef> object(getIDRef);
    return static_cast<jint>(CFGetTypeID(object));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFBooleanGetTypeID(JNIEnv*,
                                                                                    jobject) {
    return static_cast<jint>(CFBooleanGetTypeID());
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFStringGetTypeID(JNIEnv*,
                                                                                   jobject) {
    return static_cast<jint>(CFStringGetTypeID());
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFNumberGetTypeID(JNIEnv*,
                                                                                   jobject) {
    return static_cast<jint>(CFNumberGetTypeID());
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFRetain(
    JNIEnv*, jobject, jint retainRef) {
    jni::Held<CFTypeRef> object(retainRef);
    if (!object) return 0;
    return jni::toHandle(CFRetain(object));
}

JNIEXPORT void JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFRelease(
    JNIEnv*, jobject, jint releaseRef) {
    jni::releaseHandle(releaseRef);
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFStringCreate(JNIEnv* env,
                                                                                jobject,
                                                                                jstring value) {
    CFStringRef string;
    {
        jni::StringChars units(env, value);
        if (!units) return 0;
        string = CFStringCreateWithCharacters(
            kCFAllocatorDefault, reinterpret_cast<const UniChar*>(units.get()), units.length());
    }
    return jni::toHandle(string);
}

JNIEXPORT jstring JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFStringGetValue(JNIEnv* env,
                                                                                  jobject,
                                                                                  jint stringRef) {
    jni::Held<CFStringRef> string(stringRef);
    if (!string || CFGetTypeID(string) != CFStringGetTypeID()) return nullptr;
    CFIndex length = CFStringGetLength(string);
    std::vector<UniChar> units(static_cast<size_t>(length));
    CFStringGetCharacters(string, CFRangeMake(0, length), units.data());
    return env->NewString(reinterpret_cast<const jchar*>(units.data()), static_cast<jsize>(length));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFBooleanCreate(JNIEnv*, jobject,
                                                                                 jboolean value) {
    return value ? 1 : 0;
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFNumberCreateInt32(JNIEnv*,
                                                                                     jobject,
                                                                                     jint) {
    return 0;
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFDictionaryGetValueIfPresent(
    JNIEnv* env, jobject, jint dictionaryRef, jstring keyNameString) {
    jni::Held<CFDictionaryRef> dictionary(dictionaryRef);
    jni::UTFChars keyName(env, keyNameString);
    if (!dictionary || !keyName) return 0;
    // Modified UTF-8 (an encoded NUL, a character beyond U+FFFF) is no UTF-8: no key is made,
    // so nothing is looked up or released.
    CFStringRef key =
        CFStringCreateWithCString(kCFAllocatorDefault, keyName, kCFStringEncodingUTF8);
    if (!key) return 0;
    const void* value = nullptr;
    bool present = CFDictionaryGetValueIfPresent(dictionary, key, &value);
    CFRelease(key);
    return present ? jni::toHandle(value) : 0;
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFDictionaryGetCount(
    JNIEnv*, jobject, jint dictionaryRef) {
    jni::Held<CFDictionaryRef> dictionary(dictionaryRef);
    return static_cast<jint>(CFDictionaryGetCount(dictionary));
}

JNIEXPORT void JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeRegistryRoutines_CFDictionaryGetKeysAndValues(
    JNIEnv* env, jobject, jint dictionaryRef, jintArray returnKeys, jintArray returnValues) {
    jni::Held<CFDictionaryRef> dictionary(dictionaryRef);
    CFIndex count = CFDictionaryGetCount(dictionary);
    if (count == 0) return;
    jsize n = static_cast<jsize>(count);
    if (!jni::holdsHandles(env, returnKeys, n) || !jni::holdsHandles(env, returnValues, n)) return;
    std::vector<const void*> keys(n), values(n);
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    jni::storeHandles(env, returnKeys, keys.data(), n);
    jni::storeHandles(env, returnValues, values.data(), n);
}

} // extern "C"
