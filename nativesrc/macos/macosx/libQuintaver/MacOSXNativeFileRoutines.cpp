// File status, user records, path operations, attribute lists, file-system tables, mounting.
#include "JNIFrame.h"

#include <System/pwd.h>
#include <System/stat.h>

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

} // extern "C"
