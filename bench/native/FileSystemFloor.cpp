// The C floor of the file-system benchmark: the System stand-in's getattrlist and getfsstat,
// called in a loop with no JNI in between.
#include <System/mount.h>
#include <System/unistd.h>
#include <chrono>
#include <jni.h>
#include <vector>

namespace {
template <typename Body> jlong timeLoop(jint calls, Body body) {
    auto start = std::chrono::steady_clock::now();
    for (jint i = 0; i < calls; i++)
        body();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                start)
        .count();
}
} // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_com_quenlark_bench_FileSystemFloor_getattrlistLoop(
    JNIEnv* env, jclass, jstring path, jint common, jint file, jint calls) {
    const char* p = env->GetStringUTFChars(path, nullptr);
    macos::attrlist list{};
    list.bitmapcount = macos::ATTR_BIT_MAP_COUNT;
    list.commonattr = static_cast<uint32_t>(common);
    list.fileattr = static_cast<uint32_t>(file);
    unsigned char buf[512];
    jlong took = timeLoop(
        calls, [&] { macos::getattrlist(p, &list, buf, sizeof buf, macos::FSOPT_NOFOLLOW); });
    env->ReleaseStringUTFChars(path, p);
    return took;
}

JNIEXPORT jlong JNICALL Java_com_quenlark_bench_FileSystemFloor_getfsstatLoop(JNIEnv*, jclass,
                                                                              jint calls) {
    std::vector<struct macos::statfs> records(256);
    int size = static_cast<int>(records.size() * sizeof(struct macos::statfs));
    return timeLoop(calls, [&] { macos::getfsstat(records.data(), size, macos::MNT_WAIT); });
}

} // extern "C"
