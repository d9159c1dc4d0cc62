#include "bsd_flags.h"
#include "narrow.h"

#include <System/stat.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/stat.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

TEST(Narrowing, TimesSaturateInsteadOfWrapping) {
    struct Case {
        int64_t seconds;
        int32_t expected;
    } cases[] = {
        {0, 0},
        {-86400, -86400},
        {INT32_MAX, INT32_MAX},
        {int64_t{INT32_MAX} + 1, INT32_MAX},
        {int64_t{INT32_MIN} - 1, INT32_MIN},
        {int64_t{1} << 40, INT32_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(macos::detail::narrowTime(c.seconds), c.expected) << c.seconds;
}

TEST(Narrowing, DeviceNumbersInTheMacEncoding) {
    EXPECT_EQ(macos::detail::makeDev(8, 1), (8 << 24) | 1);
    EXPECT_EQ(macos::detail::makeDev(7, 0x123456), (7 << 24) | 0x123456);
    EXPECT_EQ(macos::detail::makeDev(0, 0), 0);
    // A major that needs the sign bit arrives as a negative dev_t, bit for bit.
    EXPECT_LT(macos::detail::makeDev(0xfe, 0), 0);
}

TEST(BsdFlags, StatxAttributesMapToTheirFlags) {
    using namespace macos;
    EXPECT_EQ(detail::bsdFlagsFromStatxAttributes(0), 0u);
    EXPECT_EQ(detail::bsdFlagsFromStatxAttributes(STATX_ATTR_NODUMP), UF_NODUMP);
    EXPECT_EQ(detail::bsdFlagsFromStatxAttributes(STATX_ATTR_IMMUTABLE), SF_IMMUTABLE);
    EXPECT_EQ(detail::bsdFlagsFromStatxAttributes(STATX_ATTR_APPEND), SF_APPEND);
    EXPECT_EQ(detail::bsdFlagsFromStatxAttributes(STATX_ATTR_NODUMP | STATX_ATTR_APPEND),
              UF_NODUMP | SF_APPEND);
    // Attributes without a BSD counterpart are dropped.
    EXPECT_EQ(detail::bsdFlagsFromStatxAttributes(STATX_ATTR_AUTOMOUNT), 0u);
}

class LstatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quintaver-stat-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }
    std::string dir;
};

TEST_F(LstatTest, MatchesTheLinuxRecordForAFile) {
    std::string file = dir + "/f";
    int fd = open(file.c_str(), O_CREAT | O_WRONLY, 0640);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "hello", 5), 5);
    close(fd);

    struct macos::stat sb;
    ASSERT_EQ(macos::lstat(file.c_str(), &sb), 0);
    struct ::stat ls;
    ASSERT_EQ(::lstat(file.c_str(), &ls), 0);
    EXPECT_EQ(sb.st_ino, static_cast<uint32_t>(ls.st_ino));
    EXPECT_EQ(sb.st_mode, ls.st_mode);
    EXPECT_EQ(sb.st_nlink, ls.st_nlink);
    EXPECT_EQ(sb.st_uid, ls.st_uid);
    EXPECT_EQ(sb.st_gid, ls.st_gid);
    EXPECT_EQ(sb.st_size, 5);
    EXPECT_EQ(sb.st_blocks, ls.st_blocks);
    EXPECT_EQ(sb.st_blksize, static_cast<uint32_t>(ls.st_blksize));
    EXPECT_EQ(sb.st_mtimespec.tv_sec, ls.st_mtim.tv_sec);
    EXPECT_EQ(sb.st_mtimespec.tv_nsec, ls.st_mtim.tv_nsec);
    EXPECT_EQ(sb.st_dev, macos::detail::makeDev(major(ls.st_dev), minor(ls.st_dev)));
}

TEST_F(LstatTest, DescribesASymbolicLinkItself) {
    std::string link = dir + "/l";
    ASSERT_EQ(symlink("/no/such/target", link.c_str()), 0);
    struct macos::stat sb;
    ASSERT_EQ(macos::lstat(link.c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & S_IFMT, S_IFLNK);
    EXPECT_EQ(sb.st_size, 15);
}

TEST_F(LstatTest, FailsWithTheErrorNumber) {
    struct macos::stat sb;
    errno = 0;
    EXPECT_EQ(macos::lstat((dir + "/missing").c_str(), &sb), -1);
    EXPECT_EQ(errno, ENOENT);
    std::string file = dir + "/plain";
    close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    EXPECT_EQ(macos::lstat((file + "/below").c_str(), &sb), -1);
    EXPECT_EQ(errno, ENOTDIR);
}

} // namespace
