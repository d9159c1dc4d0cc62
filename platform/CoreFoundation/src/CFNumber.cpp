// Booleans (two constants) and numbers (an integer or a floating value with the type it was
// made with).
#include "CFInternal.h"

#include <CoreFoundation/CFNumber.h>

#include <cmath>
#include <cstring>
#include <limits>

struct __CFBoolean {
    CFRuntimeBase base;
    bool value;
};

namespace {
__CFBoolean trueObject = {CF_RUNTIME_STATIC_BASE(_kCFRuntimeIDCFBoolean), true};
__CFBoolean falseObject = {CF_RUNTIME_STATIC_BASE(_kCFRuntimeIDCFBoolean), false};

CFStringRef booleanDescription(CFTypeRef cf) {
    return cf::describe(static_cast<const __CFBoolean*>(cf)->value ? "true" : "false");
}
} // namespace

const CFRuntimeClass __CFBooleanClass = {"CFBoolean", nullptr, nullptr, nullptr,
                                         booleanDescription};
const CFBooleanRef kCFBooleanTrue = &trueObject;
const CFBooleanRef kCFBooleanFalse = &falseObject;

CFTypeID CFBooleanGetTypeID() {
    return _kCFRuntimeIDCFBoolean;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
    auto* object = cf::as<__CFBoolean>(boolean, _kCFRuntimeIDCFBoolean);
    return object && object->value;
}

struct __CFNumber {
    CFRuntimeBase base;
    CFNumberType type;
    bool isFloat;
    int64_t integer;
    double floating;

    __CFNumber(CFNumberType t, bool f, int64_t i, double d)
        : type(t), isFloat(f), integer(i), floating(d) {}
};

namespace {

__CFNumber* asNumber(CFTypeRef cf) {
    return cf::as<__CFNumber>(cf, _kCFRuntimeIDCFNumber);
}

// The storage size of each type, and whether it is a floating type.
struct TypeInfo {
    size_t size;
    bool isFloat;
    bool isSigned = true;
};

bool typeInfo(CFNumberType type, TypeInfo& info) {
    switch (type) {
    case kCFNumberSInt8Type:
    case kCFNumberCharType:
        info = {1, false};
        return true;
    case kCFNumberSInt16Type:
    case kCFNumberShortType:
        info = {2, false};
        return true;
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
        info = {4, false};
        return true;
    case kCFNumberSInt64Type:
    case kCFNumberLongType:
    case kCFNumberLongLongType:
    case kCFNumberCFIndexType:
    case kCFNumberNSIntegerType:
        info = {8, false};
        return true;
    case kCFNumberFloat32Type:
    case kCFNumberFloatType:
        info = {4, true};
        return true;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
    case kCFNumberCGFloatType:
        info = {8, true};
        return true;
    }
    return false;
}

template <class T> T load(const void* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}
template <class T> void store(void* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

template <class T> bool storeInteger(void* p, int64_t value) {
    store(p, static_cast<T>(value));
    return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
}

double asDouble(const __CFNumber* n) {
    return n->isFloat ? n->floating : double(n->integer);
}

// Whether a double converts to int64_t without overflow (2^63 itself does not).
bool inInt64Range(double value) {
    return value >= -9.223372036854775808e18 && value < 9.223372036854775808e18;
}

// An integer against a double, exactly: converting the integer to double would round it, so
// that 2^53 + 1 would equal 2^53 while their hashes differ.
CFComparisonResult compareMixed(int64_t integer, double value) {
    if (std::isnan(value) || value >= 9.223372036854775808e18) return kCFCompareLessThan;
    if (value < -9.223372036854775808e18) return kCFCompareGreaterThan;
    double whole = std::trunc(value);
    auto wholeInteger = static_cast<int64_t>(whole);
    if (integer != wholeInteger)
        return integer < wholeInteger ? kCFCompareLessThan : kCFCompareGreaterThan;
    if (value == whole) return kCFCompareEqualTo;
    return value > whole ? kCFCompareLessThan : kCFCompareGreaterThan;
}

Boolean numberEqual(CFTypeRef a, CFTypeRef b) {
    return CFNumberCompare(CFNumberRef(a), CFNumberRef(b), nullptr) == kCFCompareEqualTo;
}

CFHashCode numberHash(CFTypeRef cf) {
    const __CFNumber* n = asNumber(cf);
    // Integral values hash alike whatever type holds them, so equal numbers hash alike.
    double value = asDouble(n);
    if (!n->isFloat || (inInt64Range(value) && value == std::trunc(value)))
        return static_cast<CFHashCode>(n->isFloat ? int64_t(value) : n->integer);
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

CFStringRef numberDescription(CFTypeRef cf) {
    const __CFNumber* n = asNumber(cf);
    return cf::describe(n->isFloat ? std::to_string(n->floating) : std::to_string(n->integer));
}

} // namespace

const CFRuntimeClass __CFNumberClass = {"CFNumber", _CFRuntimeDestroy<__CFNumber>, numberEqual,
                                        numberHash, numberDescription};

CFTypeID CFNumberGetTypeID() {
    return _kCFRuntimeIDCFNumber;
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr) {
    TypeInfo info;
    if (!valuePtr || !typeInfo(theType, info)) return nullptr;
    int64_t integer = 0;
    double floating = 0;
    if (info.isFloat) {
        floating = info.size == 4 ? load<float>(valuePtr) : load<double>(valuePtr);
    } else {
        switch (info.size) {
        case 1:
            integer = load<int8_t>(valuePtr);
            break;
        case 2:
            integer = load<int16_t>(valuePtr);
            break;
        case 4:
            integer = load<int32_t>(valuePtr);
            break;
        default:
            integer = load<int64_t>(valuePtr);
            break;
        }
    }
    return _CFRuntimeNew<__CFNumber>(_kCFRuntimeIDCFNumber, theType, info.isFloat, integer,
                                     floating);
}

CFNumberType CFNumberGetType(CFNumberRef number) {
    const __CFNumber* n = asNumber(number);
    return n ? n->type : CFNumberType(0);
}

CFIndex CFNumberGetByteSize(CFNumberRef number) {
    const __CFNumber* n = asNumber(number);
    TypeInfo info;
    return n && typeInfo(n->type, info) ? CFIndex(info.size) : 0;
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
    const __CFNumber* n = asNumber(number);
    return n && n->isFloat;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr) {
    const __CFNumber* n = asNumber(number);
    TypeInfo info;
    if (!n || !valuePtr || !typeInfo(theType, info)) return false;
    if (info.isFloat) {
        double value = asDouble(n);
        if (info.size == 4) {
            store(valuePtr, static_cast<float>(value));
            return std::isnan(value) || double(float(value)) == value;
        }
        store(valuePtr, value);
        return n->isFloat || int64_t(value) == n->integer;
    }
    int64_t integer = n->integer;
    bool exact = true;
    if (n->isFloat) {
        double value = n->floating;
        if (!(value >= -9.223372036854775808e18 && value < 9.223372036854775808e18)) {
            integer = std::isnan(value) ? 0 : value < 0 ? INT64_MIN : INT64_MAX;
            exact = false;
        } else {
            integer = static_cast<int64_t>(value);
            exact = double(integer) == value;
        }
    }
    switch (info.size) {
    case 1:
        return storeInteger<int8_t>(valuePtr, integer) && exact;
    case 2:
        return storeInteger<int16_t>(valuePtr, integer) && exact;
    case 4:
        return storeInteger<int32_t>(valuePtr, integer) && exact;
    default:
        store(valuePtr, integer);
        return exact;
    }
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void*) {
    const __CFNumber* a = asNumber(number);
    const __CFNumber* b = asNumber(otherNumber);
    if (!a || !b) return a ? kCFCompareGreaterThan : b ? kCFCompareLessThan : kCFCompareEqualTo;
    if (!a->isFloat && !b->isFloat) {
        if (a->integer == b->integer) return kCFCompareEqualTo;
        return a->integer < b->integer ? kCFCompareLessThan : kCFCompareGreaterThan;
    }
    if (!a->isFloat) return compareMixed(a->integer, b->floating);
    if (!b->isFloat) {
        CFComparisonResult reversed = compareMixed(b->integer, a->floating);
        return CFComparisonResult(-reversed);
    }
    double x = a->floating, y = b->floating;
    if (x == y) return kCFCompareEqualTo;
    return x < y ? kCFCompareLessThan : kCFCompareGreaterThan;
}
