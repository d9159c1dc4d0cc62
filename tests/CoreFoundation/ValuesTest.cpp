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
