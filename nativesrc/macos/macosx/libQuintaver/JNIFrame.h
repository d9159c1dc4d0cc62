// The marshalling every native uses: Java strings and arrays held for the length of a call
// and given back on every path, structure fields found by name and signature at each call,
// and platform results turned into the natives' status values.
#pragma once
#include <CoreFoundation/CFString.h>
#include <cerrno>
#include <cstdint>
#include <jni.h>
#include <string>
#include <string_view>

namespace jni {

// A Java string's modified UTF-8 bytes, released when the holder goes out of scope.
// A null string holds no bytes and tests false.
class UTFChars {
  public:
    UTFChars(JNIEnv* env, jstring string)
        : env_(env), string_(string),
          chars_(string ? env->GetStringUTFChars(string, nullptr) : nullptr) {}
    ~UTFChars() {
        if (chars_) env_->ReleaseStringUTFChars(string_, chars_);
    }
    UTFChars(const UTFChars&) = delete;
    UTFChars& operator=(const UTFChars&) = delete;

    explicit operator bool() const { return chars_ != nullptr; }
    const char* get() const { return chars_; }
    operator const char*() const { return chars_; }

  private:
    JNIEnv* env_;
    jstring string_;
    const char* chars_;
};

// A Java string's UTF-16 units and their count, released when the holder goes out of scope.
class StringChars {
  public:
    StringChars(JNIEnv* env, jstring string)
        : env_(env), string_(string),
          chars_(string ? env->GetStringChars(string, nullptr) : nullptr),
          length_(string ? env->GetStringLength(string) : 0) {}
    ~StringChars() {
        if (chars_) env_->ReleaseStringChars(string_, chars_);
    }
    StringChars(const StringChars&) = delete;
    StringChars& operator=(const StringChars&) = delete;

    explicit operator bool() const { return chars_ != nullptr; }
    const jchar* get() const { return chars_; }
    jsize length() const { return length_; }

  private:
    JNIEnv* env_;
    jstring string_;
    const jchar* chars_;
    jsize length_;
};

// The elements of a Java primitive array, given back in mode 0 (copied back, then freed).
// A null array holds no elements, has length 0 and tests false.
template <typename Array, typename Element, Element* (JNIEnv::*Get)(Array, jboolean*),
          void (JNIEnv::*Release)(Array, Element*, jint)>
class ArrayElements {
  public:
    ArrayElements(JNIEnv* env, Array array)
        : env_(env), array_(array), length_(array ? env->GetArrayLength(array) : 0),
          elements_(array ? (env->*Get)(array, nullptr) : nullptr) {}
    ~ArrayElements() {
        if (elements_) (env_->*Release)(array_, elements_, 0);
    }
    ArrayElements(const ArrayElements&) = delete;
    ArrayElements& operator=(const ArrayElements&) = delete;

    explicit operator bool() const { return elements_ != nullptr; }
    Element* get() const { return elements_; }
    jsize length() const { return length_; }

  private:
    JNIEnv* env_;
    Array array_;
    jsize length_;
    Element* elements_;
};

using ByteArrayElements = ArrayElements<jbyteArray, jbyte, &JNIEnv::GetByteArrayElements,
                                        &JNIEnv::ReleaseByteArrayElements>;
using IntArrayElements =
    ArrayElements<jintArray, jint, &JNIEnv::GetIntArrayElements, &JNIEnv::ReleaseIntArrayElements>;

// A new Java string made from NUL-terminated bytes that came from outside the VM (an account
// record, a volume label, a device name). They need not be modified UTF-8, which is all
// NewStringUTF may be given: text that is not plain ASCII is decoded as UTF-8, characters
// beyond U+FFFF kept and malformed bytes turned into U+FFFD, and made with NewString. A null
// pointer gives a null string.
inline jstring newString(JNIEnv* env, const char* bytes) {
    if (!bytes) return nullptr;
    const char* end = bytes;
    bool ascii = true;
    for (; *end; ++end)
        if (static_cast<unsigned char>(*end) >= 0x80) ascii = false;
    if (ascii) return env->NewStringUTF(bytes);
    std::u16string units = _CFStringDecodeUTF8Replacing(std::string_view(bytes, end - bytes));
    return env->NewString(reinterpret_cast<const jchar*>(units.data()),
                          static_cast<jsize>(units.size()));
}

// The fields of a structure or holder object, each found by name and signature when it is
// read or stored. The object's class is taken once, when the accessor is made.
class Fields {
  public:
    Fields(JNIEnv* env, jobject object)
        : env_(env), object_(object), class_(env->GetObjectClass(object)) {}

    void setInt(const char* name, jint value) {
        env_->SetIntField(object_, env_->GetFieldID(class_, name, "I"), value);
    }
    // A platform 32-bit unsigned value stored bit for bit.
    void setInt(const char* name, uint32_t value) { setInt(name, static_cast<jint>(value)); }
    void setLong(const char* name, jlong value) {
        env_->SetLongField(object_, env_->GetFieldID(class_, name, "J"), value);
    }
    void setObject(const char* name, const char* signature, jobject value) {
        env_->SetObjectField(object_, env_->GetFieldID(class_, name, signature), value);
    }
    // A new Java string made from NUL-terminated bytes (see newString).
    void setString(const char* name, const char* bytes) {
        setObject(name, "Ljava/lang/String;", newString(env_, bytes));
    }
    // A new byte array holding a copy of the bytes (byte images are never filled in place).
    void setBytes(const char* name, const void* bytes, jsize length) {
        jbyteArray array = env_->NewByteArray(length);
        env_->SetByteArrayRegion(array, 0, length, static_cast<const jbyte*>(bytes));
        setObject(name, "[B", array);
    }

    jint getInt(const char* name) const {
        return env_->GetIntField(object_, env_->GetFieldID(class_, name, "I"));
    }
    jobject getObject(const char* name, const char* signature) const {
        return env_->GetObjectField(object_, env_->GetFieldID(class_, name, signature));
    }

  private:
    JNIEnv* env_;
    jobject object_;
    jclass class_;
};

// A new Java string (see newString) whose local reference is deleted when the holder goes out
// of scope: for callbacks that run inside a long native call, where local references would
// otherwise pile up.
class LocalString {
  public:
    LocalString(JNIEnv* env, const char* bytes) : env_(env), string_(newString(env, bytes)) {}
    ~LocalString() {
        if (string_) env_->DeleteLocalRef(string_);
    }
    LocalString(const LocalString&) = delete;
    LocalString& operator=(const LocalString&) = delete;
    jstring get() const { return string_; }
    operator jstring() const { return string_; }

  private:
    JNIEnv* env_;
    jstring string_;
};

// After a call into Java from a platform callback: an exception the Java method threw is
// described on standard error and cleared, so that the next JNI call is defined and later
// events are still delivered.
inline void describeAndClearException(JNIEnv* env) {
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
}

// Status styles of the file and identity natives.

// "error number": 0 on success, else the errno the failing call left. Evaluate it right
// after the platform call, before anything else can change errno.
inline jint errorNumber(int result) {
    return result == 0 ? 0 : errno;
}

// "refusal": 0 when the native could make and use the call, -1 when it could not.
inline constexpr jint refused = -1;

// The error number a native reports when the caller passed null where an object is needed.
inline constexpr jint nullArgument = EFAULT;

} // namespace jni
