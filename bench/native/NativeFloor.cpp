// C loops behind the benchmarks' floor figures: the same platform calls the natives make,
// without the JNI around them, or only the JNI work without the call.
#include <System/stat.h>
#include <chrono>
#include <fcntl.h>
#include <jni.h>
#include <sys/stat.h>

namespace {
using Clock = std::chrono::steady_clock;

const char* const intFieldNames[] = {"st_dev",       "st_ino",     "st_mode",      "st_nlink",
                                     "st_uid",       "st_gid",     "st_rdev",      "st_atime",
                                     "st_atimensec", "st_mtime",   "st_mtimensec", "st_ctime",
                                     "st_ctimensec", "st_blksize", "st_flags",     "st_gen"};

template <typename Body> jlong timeLoop(jint calls, Body body) {
    auto start = Clock::now();
    for (jint i = 0; i < calls; i++)
        body();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}
} // namespace

extern "C" {

// The lstat native itself, from libQuintaver.
JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_lstat(
    JNIEnv* env, jobject, jstring file, jobject returnStruct);

// The whole lstat native, called from C: its time without the Java-to-native transition, with
// the call and the field look-ups interleaved as they are in use.
JNIEXPORT jlong JNICALL Java_com_quenlark_bench_NativeFloor_nativeBodyLoop(JNIEnv* env, jclass,
                                                                           jstring path,
                                                                           jobject target,
                                                                           jint calls) {
    return timeLoop(calls, [&] {
        Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_lstat(env, nullptr, path,
                                                                           target);
    });
}

JNIEXPORT jlong JNICALL Java_com_quenlark_bench_NativeFloor_statxLoop(JNIEnv* env, jclass,
                                                                      jstring path, jint calls) {
    const char* p = env->GetStringUTFChars(path, nullptr);
    struct statx stx;
    jlong took = timeLoop(calls, [&] {
        statx(AT_FDCWD, p, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS, &stx);
    });
    env->ReleaseStringUTFChars(path, p);
    return took;
}

JNIEXPORT jlong JNICALL Java_com_quenlark_bench_NativeFloor_macLstatLoop(JNIEnv* env, jclass,
                                                                         jstring path, jint calls) {
    const char* p = env->GetStringUTFChars(path, nullptr);
    struct macos::stat sb;
    jlong took = timeLoop(calls, [&] { macos::lstat(p, &sb); });
    env->ReleaseStringUTFChars(path, p);
    return took;
}

JNIEXPORT jlong JNICALL Java_com_quenlark_bench_NativeFloor_pathStringLoop(JNIEnv* env, jclass,
                                                                           jstring path,
                                                                           jint calls) {
    return timeLoop(calls, [&] {
        const char* p = env->GetStringUTFChars(path, nullptr);
        env->ReleaseStringUTFChars(path, p);
    });
}

JNIEXPORT jlong JNICALL Java_com_quenlark_bench_NativeFloor_fieldStoresLoop(JNIEnv* env, jclass,
                                                                            jobject target,
                                                                            jint calls) {
    return timeLoop(calls, [&] {
        jclass cls = env->GetObjectClass(target);
        for (const char* name : intFieldNames)
            env->SetIntField(target, env->GetFieldID(cls, name, "I"), 1);
        env->SetLongField(target, env->GetFieldID(cls, "st_size", "J"), 1);
        env->SetLongField(target, env->GetFieldID(cls, "st_blocks", "J"), 1);
        env->DeleteLocalRef(cls);
    });
}

// What caching would save: the same 18 stores with field ids looked up once.
JNIEXPORT jlong JNICALL Java_com_quenlark_bench_NativeFloor_cachedFieldStoresLoop(JNIEnv* env,
                                                                                  jclass,
                                                                                  jobject target,
                                                                                  jint calls) {
    jclass cls = env->GetObjectClass(target);
    jfieldID ids[18];
    for (int i = 0; i < 16; i++)
        ids[i] = env->GetFieldID(cls, intFieldNames[i], "I");
    ids[16] = env->GetFieldID(cls, "st_size", "J");
    ids[17] = env->GetFieldID(cls, "st_blocks", "J");
    return timeLoop(calls, [&] {
        for (int i = 0; i < 16; i++)
            env->SetIntField(target, ids[i], 1);
        env->SetLongField(target, ids[16], 1);
        env->SetLongField(target, ids[17], 1);
    });
}

JNIEXPORT jint JNICALL Java_com_quenlark_bench_NativeFloor_emptyCall(JNIEnv*, jclass, jstring,
                                                                     jobject) {
    return 0;
}

} // extern "C"
