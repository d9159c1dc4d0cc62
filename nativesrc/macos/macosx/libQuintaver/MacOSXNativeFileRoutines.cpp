// File status, user records, path operations, attribute lists, file-system tables, mounting.
#include "JNIFrame.h"

#include <System/attr.h>
#include <System/mount.h>
#include <System/pwd.h>
#include <System/stat.h>
#include <System/unistd.h>
#include <cstdio>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// The ten members of an account record, in the order the structure object expects them.
void storePasswd(JNIEnv* env, jobject passwordStructure, const macos::passwd& pw) {
    jni::Fields out(env, passwordStructure);
    out.setString("pw_name", pw.pw_name);
    out.setString("pw_passwd", pw.pw_passwd);
    out.setInt("pw_uid", pw.pw_uid);
    out.setInt("pw_gid", pw.pw_gid);
    out.setInt("pw_change_sec", pw.pw_change);
    out.setString("pw_class", pw.pw_class);
    out.setString("pw_gecos", pw.pw_gecos);
    out.setString("pw_dir", pw.pw_dir);
    out.setString("pw_shell", pw.pw_shell);
    out.setInt("pw_expire_sec", pw.pw_expire);
}

// link, symlink and rename: two paths, one call, the error number.
template <typename Call> jint twoPaths(JNIEnv* env, jstring first, jstring second, Call call) {
    jni::UTFChars from(env, first);
    jni::UTFChars to(env, second);
    if (!from || !to) return jni::nullArgument;
    return jni::errorNumber(call(from, to));
}

// getattrlist and setattrlist: the request record from the five groups, the Java array as the
// attribute buffer.
template <typename Call>
jint attributeList(JNIEnv* env, jstring file, jbyteArray infoBuf, jint commonFlags,
                   jint volumeFlags, jint dirFlags, jint fileFlags, jint forkFlags, jint options,
                   Call call) {
    jni::UTFChars path(env, file);
    jni::ByteArrayElements buffer(env, infoBuf);
    if (!path || !buffer) return jni::nullArgument;
    macos::attrlist request{};
    request.bitmapcount = macos::ATTR_BIT_MAP_COUNT;
    request.commonattr = static_cast<uint32_t>(commonFlags);
    request.volattr = static_cast<uint32_t>(volumeFlags);
    request.dirattr = static_cast<uint32_t>(dirFlags);
    request.fileattr = static_cast<uint32_t>(fileFlags);
    request.forkattr = static_cast<uint32_t>(forkFlags);
    return jni::errorNumber(call(path.get(), &request, buffer.get(),
                                 static_cast<size_t>(buffer.length()),
                                 static_cast<uint32_t>(options)));
}

// The VM hands out array elements as its own heap copy, aligned for any record.
template <typename Record> Record* recordsIn(const jni::ByteArrayElements& elements) {
    return reinterpret_cast<Record*>(elements.get());
}

} // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_lstat(
    JNIEnv* env, jobject, jstring file, jobject returnStruct) {
    jni::UTFChars path(env, file);
    if (!path || !returnStruct) return jni::nullArgument;
    struct macos::stat sb;
    if (macos::lstat(path, &sb) != 0) return errno;

    jni::Fields out(env, returnStruct);
    out.setInt("st_dev", sb.st_dev);
    out.setInt("st_ino", sb.st_ino);
    out.setInt("st_mode", jint{sb.st_mode});
    out.setInt("st_nlink", jint{sb.st_nlink});
    out.setInt("st_uid", sb.st_uid);
    out.setInt("st_gid", sb.st_gid);
    out.setInt("st_rdev", sb.st_rdev);
    out.setInt("st_atime", sb.st_atimespec.tv_sec);
    out.setInt("st_atimensec", sb.st_atimespec.tv_nsec);
    out.setInt("st_mtime", sb.st_mtimespec.tv_sec);
    out.setInt("st_mtimensec", sb.st_mtimespec.tv_nsec);
    out.setInt("st_ctime", sb.st_ctimespec.tv_sec);
    out.setInt("st_ctimensec", sb.st_ctimespec.tv_nsec);
    out.setLong("st_size", sb.st_size);
    out.setLong("st_blocks", sb.st_blocks);
    out.setInt("st_blksize", sb.st_blksize);
    out.setInt("st_flags", sb.st_flags);
    out.setInt("st_gen", sb.st_gen);
    return 0;
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_getpwnam(
    JNIEnv* env, jobject, jstring user, jobject passwordStructure) {
    const macos::passwd* pw;
    {
        jni::UTFChars name(env, user);
        if (!name || !passwordStructure) return jni::refused;
        pw = macos::getpwnam(name);
    } // the name is released before the record is copied: the record does not depend on it
    if (!pw) return jni::refused;
    storePasswd(env, passwordStructure, *pw);
    return 0;
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_getpwuid(
    JNIEnv* env, jobject, jint userID, jobject passwordStructure) {
    if (!passwordStructure) return jni::refused;
    const macos::passwd* pw = macos::getpwuid(static_cast<macos::uid_t>(userID));
    if (!pw) return jni::refused;
    storePasswd(env, passwordStructure, *pw);
    return 0;
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_link(
    JNIEnv* env, jobject, jstring existingStr, jstring newStr) {
    return twoPaths(env, existingStr, newStr, ::link);
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_symlink(
    JNIEnv* env, jobject, jstring existingStr, jstring newStr) {
    return twoPaths(env, existingStr, newStr, ::symlink);
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_rename(
    JNIEnv* env, jobject, jstring srcStr, jstring destStr) {
    return twoPaths(env, srcStr, destStr, ::rename);
}

// Contents that fill the whole buffer may have been cut short, so they give null rather than a
// wrong target.
JNIEXPORT jstring JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_readlink(
    JNIEnv* env, jobject, jstring file) {
    jni::UTFChars path(env, file);
    if (!path) return nullptr;
    char contents[1024];
    ssize_t length = ::readlink(path, contents, sizeof contents);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof contents)) return nullptr;
    contents[length] = '\0';
    // A link holds any bytes, not necessarily modified UTF-8.
    return jni::newString(env, contents);
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_utimes(
    JNIEnv* env, jobject, jstring filePathString, jint accessSecs, jint accessUSecs,
    jint modifySecs, jint modifyUSecs) {
    jni::UTFChars path(env, filePathString);
    if (!path) return -1;
    const timeval times[2] = {{accessSecs, accessUSecs}, {modifySecs, modifyUSecs}};
    return ::utimes(path, times);
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_chmod(
    JNIEnv* env, jobject, jstring filePathString, jint mode) {
    jni::UTFChars path(env, filePathString);
    if (!path) return -1;
    return ::chmod(path, static_cast<uint16_t>(mode));
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_chown(
    JNIEnv* env, jobject, jstring filePathString, jint uid, jint gid) {
    jni::UTFChars path(env, filePathString);
    if (!path) return -1;
    return ::chown(path, static_cast<macos::uid_t>(uid), static_cast<macos::gid_t>(gid));
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_chflags(
    JNIEnv* env, jobject, jstring filePathString, jint flags) {
    jni::UTFChars path(env, filePathString);
    if (!path) return -1;
    return macos::chflags(path, static_cast<uint32_t>(flags));
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_getattrlist(
    JNIEnv* env, jobject, jstring file, jbyteArray infoBuf, jint commonFlags, jint volumeFlags,
    jint dirFlags, jint fileFlags, jint forkFlags, jint options) {
    return attributeList(env, file, infoBuf, commonFlags, volumeFlags, dirFlags, fileFlags,
                         forkFlags, options, macos::getattrlist);
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_setattrlist(
    JNIEnv* env, jobject, jstring file, jbyteArray infoBuf, jint commonFlags, jint volumeFlags,
    jint dirFlags, jint fileFlags, jint forkFlags, jint options) {
    return attributeList(env, file, infoBuf, commonFlags, volumeFlags, dirFlags, fileFlags,
                         forkFlags, options, macos::setattrlist);
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_statfs(
    JNIEnv* env, jobject, jstring volumePathString, jbyteArray bufArray) {
    jni::UTFChars path(env, volumePathString);
    if (!bufArray) return jni::refused;
    jni::ByteArrayElements buffer(env, bufArray);
    if (buffer.length() < static_cast<jsize>(sizeof(struct macos::statfs))) {
        std::fputs("statfs called with buffer too small\n", stderr);
        return jni::refused;
    }
    // The VM could not hand out the elements (its OutOfMemoryError is pending): no record.
    if (!buffer) return jni::refused;
    if (!path) return jni::nullArgument;
    return jni::errorNumber(macos::statfs(path, recordsIn<struct macos::statfs>(buffer)));
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_getfsstat(
    JNIEnv* env, jobject, jbyteArray bufArray, jint flags) {
    jni::ByteArrayElements buffer(env, bufArray);
    // Without the elements an array would read as a request for the count alone.
    if (bufArray && !buffer) return -1;
    return macos::getfsstat(recordsIn<struct macos::statfs>(buffer), buffer.length(), flags);
}

JNIEXPORT jint JNICALL Java_com_quenlark_util_macos_macosx_MacOSXNativeFileRoutines_mount(
    JNIEnv* env, jobject, jstring typeString, jstring mountDirString, jint flags,
    jbyteArray dataArray) {
    jni::UTFChars type(env, typeString);
    jni::UTFChars dir(env, mountDirString);
    jni::ByteArrayElements data(env, dataArray);
    if (!type || !dir) return jni::nullArgument;
    // A block the VM could not hand out must not turn into a mount without one.
    if (dataArray && !data) return ENOMEM;
    return jni::errorNumber(
        macos::mount(type, dir, flags, data.get(), static_cast<size_t>(data.length())));
}

} // extern "C"
