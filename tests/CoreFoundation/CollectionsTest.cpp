// Arrays and dictionaries with the type callbacks.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>

namespace {

CFStringRef string(const char* text) {
    return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

TEST(Array, RetainsWhatItHoldsAndReleasesItAfter) {
    CFStringRef value = string("v");
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, value);
    CFArrayAppendValue(array, value);
    EXPECT_EQ(CFGetRetainCount(value), 3);
    EXPECT_EQ(CFArrayGetCount(array), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), value);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 2), nullptr);
    CFArrayRemoveValueAtIndex(array, 0);
    EXPECT_EQ(CFGetRetainCount(value), 2);
    CFArrayRef copy = CFArrayCreateCopy(nullptr, array);
    EXPECT_TRUE(CFEqual(copy, array));
    CFRelease(array);
    CFRelease(copy);
    EXPECT_EQ(CFGetRetainCount(value), 1);
    CFRelease(value);

    const void* raw[] = {"a", "b"};
    CFArrayRef plain = CFArrayCreate(nullptr, raw, 2, nullptr); // raw pointers, no callbacks
    EXPECT_EQ(CFArrayGetFirstIndexOfValue(plain, CFRangeMake(0, 2), raw[1]), 1);
    CFRelease(plain);
}

TEST(Dictionary, LooksUpByEqualButDistinctKeys) {
    CFStringRef key = string("Size");
    int64_t size = 4096;
    CFNumberRef value = CFNumberCreate(nullptr, kCFNumberSInt64Type, &size);
    const void* keys[] = {key, CFSTR("Whole")};
    const void* values[] = {value, kCFBooleanTrue};
    CFDictionaryRef dict = CFDictionaryCreate(
        nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFRelease(key);
    CFRelease(value);

    CFStringRef probe = string("Size");
    const void* found = nullptr;
    EXPECT_TRUE(CFDictionaryGetValueIfPresent(dict, probe, &found));
    EXPECT_EQ(found, value); // the very object, not a copy
    EXPECT_EQ(CFDictionaryGetValue(dict, probe), value);
    CFRelease(probe);
    EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("Whole")), kCFBooleanTrue);
    found = kCFNull;
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(dict, CFSTR("size"), &found));
    EXPECT_EQ(found, kCFNull); // untouched when absent
    EXPECT_EQ(CFDictionaryGetCount(dict), 2);

    const void* gotKeys[3] = {nullptr, nullptr, kCFNull};
    const void* gotValues[3] = {nullptr, nullptr, kCFNull};
    CFDictionaryGetKeysAndValues(dict, gotKeys, gotValues);
    EXPECT_EQ(gotKeys[2], kCFNull);
    EXPECT_EQ(gotValues[2], kCFNull);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(CFDictionaryGetValue(dict, gotKeys[i]), gotValues[i]);
    CFRelease(dict);
}

TEST(Dictionary, MutableSetReplaceRemoveBalanceReferences) {
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFStringRef key = string("BSD Name");
    CFStringRef first = string("sda");
    CFStringRef second = string("loop0");
    CFDictionarySetValue(dict, key, first);
    CFDictionarySetValue(dict, key, second);
    EXPECT_EQ(CFGetRetainCount(first), 1);
    EXPECT_EQ(CFGetRetainCount(second), 2);
    EXPECT_EQ(CFGetRetainCount(key), 2);
    CFDictionaryAddValue(dict, key, first); // present: no change
    EXPECT_EQ(CFDictionaryGetValue(dict, key), second);
    CFDictionaryRemoveValue(dict, CFSTR("BSD Name"));
    EXPECT_EQ(CFDictionaryGetCount(dict), 0);
    EXPECT_EQ(CFGetRetainCount(key), 1);
    EXPECT_EQ(CFGetRetainCount(second), 1);

    // Many keys, then the whole dictionary goes.
    for (int i = 0; i < 1000; ++i) {
        CFStringRef k = string(std::to_string(i).c_str());
        CFDictionarySetValue(dict, k, second);
        CFRelease(k);
    }
    EXPECT_EQ(CFDictionaryGetCount(dict), 1000);
    EXPECT_EQ(CFGetRetainCount(second), 1001);
    CFRelease(dict);
    EXPECT_EQ(CFGetRetainCount(second), 1);
    CFRelease(key);
    CFRelease(first);
    CFRelease(second);
}

TEST(Dictionary, EmptyAndWrongTypes) {
    CFDictionaryRef empty =
        CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    EXPECT_EQ(CFDictionaryGetCount(empty), 0);
    const void* untouched = kCFNull;
    CFDictionaryGetKeysAndValues(empty, &untouched, &untouched);
    EXPECT_EQ(untouched, kCFNull);
    CFDictionaryRef notADictionary = reinterpret_cast<CFDictionaryRef>(CFSTR("x"));
    EXPECT_EQ(CFDictionaryGetCount(notADictionary), 0);
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(notADictionary, CFSTR("x"), nullptr));
    CFRelease(empty);
}

// Ranges whose end lies past the contents, however large, are refused and nothing is copied.
TEST(Ranges, PastTheEndIsRefusedWithoutOverflow) {
    const UniChar units[] = {'a', 'b'};
    CFStringRef s = CFStringCreateWithCharacters(nullptr, units, 2);
    const void* items[] = {s, s};
    CFArrayRef array = CFArrayCreate(nullptr, items, 2, &kCFTypeArrayCallBacks);
    const UInt8 bytes[] = {1, 2};
    CFDataRef data = CFDataCreate(nullptr, bytes, 2);
    constexpr CFIndex huge = std::numeric_limits<CFIndex>::max();
    for (CFRange range : {CFRangeMake(1, huge), CFRangeMake(huge, 1), CFRangeMake(1, 2)}) {
        UniChar unit = '#';
        CFStringGetCharacters(s, range, &unit);
        EXPECT_EQ(unit, '#');
        EXPECT_EQ(CFStringCreateWithSubstring(nullptr, s, range), nullptr);
        const void* item = kCFNull;
        CFArrayGetValues(array, range, &item);
        EXPECT_EQ(item, kCFNull);
        UInt8 byte = 9;
        CFDataGetBytes(data, range, &byte);
        EXPECT_EQ(byte, 9);
    }
    UniChar last = 0;
    CFStringGetCharacters(s, CFRangeMake(1, 1), &last);
    EXPECT_EQ(last, 'b');
    CFRelease(data);
    CFRelease(array);
    CFRelease(s);
}

} // namespace
