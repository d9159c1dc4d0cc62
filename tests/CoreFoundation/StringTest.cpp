// Strings: UTF-16 contents, strict UTF-8, conversions back.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string unitsOf(CFStringRef s) {
    std::u16string units(CFStringGetLength(s), u'\0');
    CFStringGetCharacters(s, CFRangeMake(0, CFStringGetLength(s)),
                          reinterpret_cast<UniChar*>(units.data()));
    return units;
}

TEST(String, CharactersRoundTripUnchanged) {
    // Outside the BMP (a surrogate pair), NUL inside, an unpaired surrogate, and empty.
    for (std::u16string text : {std::u16string(u"a\U0001F600b"), std::u16string(u"x\0y", 3),
                                std::u16string(u"\xd800z"), std::u16string()}) {
        CFStringRef s = CFStringCreateWithCharacters(kCFAllocatorDefault,
                                                     reinterpret_cast<const UniChar*>(text.data()),
                                                     static_cast<CFIndex>(text.size()));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(CFGetTypeID(s), CFStringGetTypeID());
        EXPECT_EQ(CFStringGetLength(s), static_cast<CFIndex>(text.size()));
        EXPECT_EQ(unitsOf(s), text);
        CFRelease(s);
    }
}

TEST(String, Utf8DecodesToUtf16) {
    CFStringRef s =
        CFStringCreateWithCString(nullptr, "h\xc3\xa9\xf0\x9f\x98\x80", kCFStringEncodingUTF8);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(unitsOf(s), u"h\u00e9\U0001F600");
    char buffer[16];
    ASSERT_TRUE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8));
    EXPECT_STREQ(buffer, "h\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_FALSE(CFStringGetCString(s, buffer, 7, kCFStringEncodingUTF8)); // no room for NUL
    EXPECT_FALSE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingASCII));
    CFRelease(s);
}

TEST(String, InvalidUtf8GivesNoString) {
    const char* invalid[] = {
        "\xc0\x80",                 // the modified form of NUL (overlong)
        "\xed\xa0\xbd\xed\xb8\x80", // a surrogate pair encoded one by one, as modified UTF-8 does
        "\xe0\x80\xaf",             // overlong '/'
        "\xf4\x90\x80\x80",         // past U+10FFFF
        "\x80",                     // lone continuation byte
        "ab\xe2\x82",               // cut short
        "\xff",
    };
    for (const char* bytes : invalid) {
        EXPECT_EQ(CFStringCreateWithCString(nullptr, bytes, kCFStringEncodingUTF8), nullptr)
            << testing::PrintToString(bytes);
    }
    EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xe9", kCFStringEncodingASCII), nullptr);
}

TEST(String, UntrustedUtf8KeepsItsTextAndMarksWhatIsMalformed) {
    struct Case {
        std::string_view bytes;
        std::u16string units;
    } cases[] = {
        {"plain", u"plain"},
        {"Zo\xc3\xab \xf0\x9f\x98\x80", u"Zo\u00eb \U0001F600"},
        {"a\xe9"
         "b",
         u"a\ufffd"
         "b"},                         // a Latin-1 byte amid UTF-8
        {"ab\xe2\x82", u"ab\ufffd"},   // cut short at the end
        {"\xc0\x80x", u"\ufffdx"},     // overlong
        {"\xed\xa0\xbdz", u"\ufffdz"}, // an encoded surrogate
        {"\x80\x80", u"\ufffd\ufffd"}, // stray continuation bytes
        {"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(_CFStringDecodeUTF8Replacing(c.bytes), c.units)
            << testing::PrintToString(c.bytes);
}

TEST(String, EqualContentsAreEqualAndHashAlike) {
    CFStringRef a = CFStringCreateWithCString(nullptr, "BSD Name", kCFStringEncodingUTF8);
    UniChar units[] = {'B', 'S', 'D', ' ', 'N', 'a', 'm', 'e'};
    CFStringRef b = CFStringCreateWithCharacters(nullptr, units, 8);
    EXPECT_NE(a, b);
    EXPECT_TRUE(CFEqual(a, b));
    EXPECT_EQ(CFHash(a), CFHash(b));
    EXPECT_TRUE(CFEqual(a, CFSTR("BSD Name")));
    EXPECT_EQ(CFSTR("BSD Name"), CFSTR("BSD Name"));
    EXPECT_EQ(CFStringCompare(a, CFSTR("bsd name"), kCFCompareCaseInsensitive), kCFCompareEqualTo);
    EXPECT_EQ(CFStringCompare(a, CFSTR("BSD"), 0), kCFCompareGreaterThan);
    CFRelease(a);
    CFRelease(b);
}

TEST(String, MutableStringsAppendAndCopyDetaches) {
    CFMutableStringRef m = CFStringCreateMutable(nullptr, 0);
    CFStringAppendCString(m, "disk", kCFStringEncodingUTF8);
    CFStringRef frozen = CFStringCreateCopy(nullptr, m);
    CFStringAppend(m, CFSTR("0s1"));
    CFStringAppend(m, m);
    EXPECT_EQ(_CFStringCopyUTF8String(m), "disk0s1disk0s1");
    EXPECT_EQ(_CFStringCopyUTF8String(frozen), "disk");
    // An immutable string is not a mutable one.
    CFStringAppend(const_cast<CFMutableStringRef>(frozen), CFSTR("!"));
    EXPECT_EQ(_CFStringCopyUTF8String(frozen), "disk");
    CFRelease(frozen);
    CFRelease(m);
}

TEST(String, BytesInOtherEncodings) {
    const UInt8 utf16be[] = {0xfe, 0xff, 0x00, 'o', 0x00, 'k'};
    CFStringRef s = CFStringCreateWithBytes(nullptr, utf16be, 6, kCFStringEncodingUTF16, true);
    EXPECT_EQ(unitsOf(s), u"ok");
    UInt8 out[8];
    CFIndex used = 0;
    EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 2), kCFStringEncodingUTF16LE, 0, false, out,
                               sizeof out, &used),
              2);
    EXPECT_EQ(used, 4);
    EXPECT_EQ(out[0], 'o');
    CFRelease(s);
    const UInt8 latin1[] = {'c', 0xe9};
    s = CFStringCreateWithBytes(nullptr, latin1, 2, kCFStringEncodingISOLatin1, false);
    EXPECT_EQ(unitsOf(s), u"c\u00e9");
    CFRelease(s);
}

TEST(String, WrongTypesGiveFailureValues) {
    CFStringRef notAString = reinterpret_cast<CFStringRef>(kCFBooleanTrue);
    EXPECT_EQ(CFStringGetLength(notAString), 0);
    char buffer[4] = "abc";
    EXPECT_FALSE(CFStringGetCString(notAString, buffer, 4, kCFStringEncodingUTF8));
    EXPECT_FALSE(_CFStringCopyUTF8String(notAString));
}

} // namespace
