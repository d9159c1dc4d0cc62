// The daemon's message fields: written and read back, and short or forged messages refused.
#include "Protocol.h"

#include <gtest/gtest.h>

using namespace diskarb;

TEST(Protocol, FieldsRoundTripInOrder) {
    MessageWriter out(kDiskAppearedComplete, true);
    out.putString("loop3").putInt(0x80000006u).putString("").putDouble(1.5).putString("vfat");
    auto bytes = out.bytes();
    EXPECT_EQ(bytes.size() % 4, 0u);
    MessageReader in(bytes.data(), bytes.size());
    EXPECT_EQ(in.id(), kDiskAppearedComplete);
    EXPECT_STREQ(in.getString(), "loop3");
    EXPECT_EQ(in.getInt(), 0x80000006u);
    EXPECT_STREQ(in.getString(), "");
    EXPECT_EQ(in.getDouble(), 1.5);
    EXPECT_STREQ(in.getString(), "vfat");
    EXPECT_TRUE(in.ok());
    in.getInt();
    EXPECT_FALSE(in.ok()) << "reading past the end fails";
}

TEST(Protocol, ShortAndForgedMessagesAreRefused) {
    MessageWriter out(kUnmountPreNotify, true);
    out.putString("sdb1").putInt(0);
    auto bytes = out.bytes();
    for (size_t cut : {size_t{0}, size_t{10}, sizeof(mach_msg_header_t) + 2, bytes.size() - 5}) {
        MessageReader in(bytes.data(), cut);
        in.getString();
        in.getInt();
        EXPECT_FALSE(in.ok()) << "cut at " << cut;
    }
    auto forged = bytes;
    uint32_t huge = 0x7fffffff; // a string length past the end
    std::memcpy(forged.data() + sizeof(mach_msg_header_t), &huge, sizeof huge);
    MessageReader in(forged.data(), forged.size());
    EXPECT_EQ(in.getString(), nullptr);
    EXPECT_FALSE(in.ok());
    auto noTerminator = bytes;
    noTerminator[sizeof(mach_msg_header_t) + 4 + 4] = 'x'; // the NUL after "sdb1"
    MessageReader in2(noTerminator.data(), noTerminator.size());
    EXPECT_EQ(in2.getString(), nullptr);
}
