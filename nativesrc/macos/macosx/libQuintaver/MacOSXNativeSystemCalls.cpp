// Process identity: one platform call each, results unchanged. Ids cross bit for bit, so an
// id with the top bit set is a negative int on the Java side.
#include <jni.h>
#include <unistd.h>

extern "C" {

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeSystemCalls_setuid(JNIEnv*, jclass, jint newUID) {
    return setuid(static_cast<uid_t>(newUID));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeSystemCalls_seteuid(JNIEnv*, jclass, jint newEUID) {
    return seteuid(static_cast<uid_t>(newEUID));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeSystemCalls_setgid(JNIEnv*, jclass, jint newGID) {
    return setgid(static_cast<gid_t>(newGID));
}

JNIEXPORT jint JNICALL
Java_com_quenlark_util_macos_macosx_MacOSXNativeSystemCalls_setegid(JNIEnv*, jclass, jint newEGID) {
    return setegid(static_cast<gid_t>(newEGID));
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeSystemCalls_getuid(JNIEnv*,
                                                                                          jclass) {
    return static_cast<jint>(getuid());
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeSystemCalls_geteuid(JNIEnv*,
                                                                                           jclass) {
    return static_cast<jint>(geteuid());
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeSystemCalls_getgid(JNIEnv*,
                                                                                          jclass) {
    return static_cast<jint>(getgid());
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeSystemCalls_getegid(JNIEnv*,
                                                                                           jclass) {
    return static_cast<jint>(getegid());
}

} // extern "C"
