// Booleans, numbers and data.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Boolean, TwoConstants) {
    EXPECT_EQ(CFGetTypeID(kCFBooleanTrue), CFBooleanGetTypeID());
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_FALSE(CFEqual(kCFBooleanTrue, kCFBooleanFalse));
    EXPECT_NE(CFBooleanGetTypeID(), CFNumberGetTypeID());
}

TEST(Number, ValuesComeBackInTheirTypes) {
    int32_t i32 = -5;
    int64_t i64 = int64_t{1} << 40;
    double f64 = 2.5;
    CFNumberRef a = CFNumberCreate(nullptr, kCFNumberSInt32Type, &i32);
    CFNumberRef b = CFNumberCreate(nullptr, kCFNumberSInt64Type, &i64);
    CFNumberRef c = CFNumberCreate(nullptr, kCFNumberFloat64Type, &f64);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(CFGetTypeID(a), CFNumberGetTypeID());
    EXPECT_EQ(CFNumberGetType(b), kCFNumberSInt64Type);
    EXPECT_TRUE(CFNumberIsFloatType(c));

    int64_t wide = 0;
    EXPECT_TRUE(CFNumberGetValue(a, kCFNumberSInt64Type, &wide));
    EXPECT_EQ(wide, -5);
    int32_t narrow = 0;
    EXPECT_FALSE(CFNumberGetValue(b, kCFNumberSInt32Type, &narrow)); // does not fit
    EXPECT_TRUE(CFNumberGetValue(b, kCFNumberSInt64Type, &wide));
    EXPECT_EQ(wide, i64);
    double back = 0;
    EXPECT_TRUE(CFNumberGetValue(c, kCFNumberFloat64Type, &back));
    EXPECT_EQ(back, 2.5);
    EXPECT_FALSE(CFNumberGetValue(c, kCFNumberSInt32Type, &narrow)); // loses the fraction
    EXPECT_EQ(narrow, 2);
    CFRelease(a);
    CFRelease(b);
    CFRelease(c);
    EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberSInt32Type, nullptr), nullptr);
    EXPECT_EQ(CFNumberCreate(nullptr, CFNumberType(99), &i32), nullptr);
}

TEST(Number, EqualValuesOfDifferentTypesAreEqual) {
    int32_t i = 3;
    double d = 3.0;
    CFNumberRef a = CFNumberCreate(nullptr, kCFNumberSInt32Type, &i);
    CFNumberRef b = CFNumberCreate(nullptr, kCFNumberFloat64Type, &d);
    EXPECT_TRUE(CFEqual(a, b));
    EXPECT_EQ(CFHash(a), CFHash(b));
    CFRelease(a);
    CFRelease(b);

    // Large integers against doubles: equal exactly when their values are, and then hashed
    // alike, so a dictionary finds one by the other.
    struct Case {
        int64_t integer;
        double floating;
        bool equal;
    } cases[] = {
        {(int64_t{1} << 53) + 1, 9007199254740992.0, false}, // 2^53 + 1 is no double
        {int64_t{1} << 53, 9007199254740992.0, true},
        {9220000000000000000, 9.22e18, true},
        {INT64_MAX, 9.223372036854775808e18, false}, // 2^63 is beyond every int64
        {-3, -3.5, false},
    };
    for (const Case& c : cases) {
        CFNumberRef x = CFNumberCreate(nullptr, kCFNumberSInt64Type, &c.integer);
        CFNumberRef y = CFNumberCreate(nullptr, kCFNumberFloat64Type, &c.floating);
        EXPECT_EQ(CFEqual(x, y), c.equal) << c.integer;
        EXPECT_EQ(CFEqual(y, x), c.equal) << c.integer;
        if (c.equal) {
            EXPECT_EQ(CFHash(x), CFHash(y)) << c.integer;
        }
        EXPECT_EQ(CFNumberCompare(x, y, nullptr), -CFNumberCompare(y, x, nullptr));
        CFRelease(x);
        CFRelease(y);
    }
}

TEST(Data, CopiesAndGrows) {
    const UInt8 bytes[] = {1, 0, 3};
    CFDataRef d = CFDataCreate(nullptr, bytes, 3);
    EXPECT_EQ(CFDataGetLength(d), 3);
    EXPECT_EQ(CFDataGetBytePtr(d)[1], 0);
    CFMutableDataRef m = CFDataCreateMutableCopy(nullptr, 0, d);
    CFDataAppendBytes(m, bytes, 2);
    EXPECT_EQ(CFDataGetLength(m), 5);
    CFDataSetLength(m, 7);
    EXPECT_EQ(CFDataGetBytePtr(m)[6], 0);
    EXPECT_FALSE(CFEqual(d, m));
    CFDataSetLength(m, 3);
    EXPECT_TRUE(CFEqual(d, m));
    CFRelease(m);
    CFRelease(d);
    CFDataRef empty = CFDataCreate(nullptr, nullptr, 0);
    EXPECT_EQ(CFDataGetLength(empty), 0);
    CFRelease(empty);
}

} // namespace
