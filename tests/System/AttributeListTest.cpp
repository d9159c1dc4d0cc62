#include "attr_reply.h"

#include <System/mount.h>
#include <System/stat.h>
#include <System/unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

template <typename T> T at(const std::vector<uint8_t>& b, size_t offset) {
    T value;
    std::memcpy(&value, b.data() + offset, sizeof value);
    return value;
}

std::string referenced(const std::vector<uint8_t>& b, size_t offset) {
    int32_t dataOffset = at<int32_t>(b, offset);
    uint32_t length = at<uint32_t>(b, offset + 4);
    EXPECT_GT(length, 0u);
    EXPECT_EQ(b[offset + dataOffset + length - 1], 0) << "the length counts the NUL";
    return std::string(reinterpret_cast<const char*>(b.data() + offset + dataOffset), length - 1);
}

TEST(AttrReply, ReferencesPointPastTheFixedPartFromThemselves) {
    macos::detail::AttrReply reply;
    reply.putReference("name");
    reply.put32(7);
    reply.putReference("longer text");
    reply.put64(0x1122334455667788ull);
    // 4 length + 8 ref + 4 + 8 ref + 8 = 32 fixed; "name\0" pads to 8, "longer text\0" is 12.
    ASSERT_EQ(reply.size(), 32u + 8 + 12);
    std::vector<uint8_t> b(reply.size());
    reply.copyOut(b.data(), b.size(), false);
    EXPECT_EQ(at<uint32_t>(b, 0), 52u);
    EXPECT_EQ(at<int32_t>(b, 4), 32 - 4);
    EXPECT_EQ(referenced(b, 4), "name");
    EXPECT_EQ(at<uint32_t>(b, 12), 7u);
    EXPECT_EQ(at<int32_t>(b, 16), 40 - 16);
    EXPECT_EQ(referenced(b, 16), "longer text");
    EXPECT_EQ(at<uint64_t>(b, 24), 0x1122334455667788ull) << "64-bit values on 4-byte boundaries";
}

TEST(AttrReply, ASmallBufferHoldsWhatFitsAndSaysHowMuch) {
    macos::detail::AttrReply reply;
    reply.put32(1);
    reply.putReference("abcdefgh");
    std::vector<uint8_t> b(10, 0xee);
    reply.copyOut(b.data(), 8, false);
    EXPECT_EQ(at<uint32_t>(b, 0), 8u) << "bytes returned";
    EXPECT_EQ(at<uint32_t>(b, 4), 1u);
    EXPECT_EQ(b[8], 0xee) << "nothing past the buffer";
    reply.copyOut(b.data(), 8, true);
    EXPECT_EQ(at<uint32_t>(b, 0), reply.size()) << "FSOPT_REPORT_FULLSIZE: bytes needed";
}

class TempFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/attrlist-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        dir = pattern;
        file = dir + "/file.txt";
        int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0640);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "hello", 5), 5);
        ::close(fd);
    }
    void TearDown() override { std::system(("rm -rf " + dir).c_str()); }

    std::vector<uint8_t> get(const std::string& path, macos::attrlist list, uint32_t options = 0,
                             size_t size = 1024) {
        std::vector<uint8_t> b(size);
        list.bitmapcount = macos::ATTR_BIT_MAP_COUNT;
        EXPECT_EQ(macos::getattrlist(path.c_str(), &list, b.data(), b.size(), options), 0)
            << std::strerror(errno);
        return b;
    }

    std::string dir, file;
};

TEST_F(TempFile, CommonAndFileAttributesMatchTheStatusRecord) {
    using namespace macos;
    attrlist list{};
    list.commonattr = ATTR_CMN_NAME | ATTR_CMN_DEVID | ATTR_CMN_OBJTYPE | ATTR_CMN_OBJID |
                      ATTR_CMN_PAROBJID | ATTR_CMN_MODTIME | ATTR_CMN_OWNERID |
                      ATTR_CMN_ACCESSMASK | ATTR_CMN_FLAGS | ATTR_CMN_USERACCESS;
    list.fileattr =
        ATTR_FILE_LINKCOUNT | ATTR_FILE_TOTALSIZE | ATTR_FILE_DATALENGTH | ATTR_FILE_RSRCLENGTH;
    list.dirattr = ATTR_DIR_ENTRYCOUNT; // not returned for a file
    auto b = get(file, list);
    struct macos::stat st;
    ASSERT_EQ(macos::lstat(file.c_str(), &st), 0);
    struct macos::stat parent;
    ASSERT_EQ(macos::lstat(dir.c_str(), &parent), 0);

    EXPECT_EQ(at<uint32_t>(b, 0), 4u + 8 + 4 + 4 + 8 + 8 + 8 + 4 + 4 + 4 + 4 + 4 + 8 + 8 + 8 + 12);
    EXPECT_EQ(referenced(b, 4), "file.txt");
    EXPECT_EQ(at<int32_t>(b, 12), st.st_dev);
    EXPECT_EQ(at<uint32_t>(b, 16), VREG);
    EXPECT_EQ(at<uint32_t>(b, 20), st.st_ino);
    EXPECT_EQ(at<uint32_t>(b, 28), parent.st_ino);
    EXPECT_EQ(at<int32_t>(b, 36), st.st_mtimespec.tv_sec);
    EXPECT_EQ(at<int32_t>(b, 40), st.st_mtimespec.tv_nsec);
    EXPECT_EQ(at<uint32_t>(b, 44), st.st_uid);
    EXPECT_EQ(at<uint32_t>(b, 48), 0640u);
    EXPECT_EQ(at<uint32_t>(b, 52), st.st_flags);
    EXPECT_EQ(at<uint32_t>(b, 56) & (R_OK | W_OK), uint32_t(R_OK | W_OK));
    EXPECT_EQ(at<uint32_t>(b, 60), 1u);
    EXPECT_EQ(at<int64_t>(b, 64), 5);
    EXPECT_EQ(at<int64_t>(b, 72), 5);
    EXPECT_EQ(at<int64_t>(b, 80), 0);
}

TEST_F(TempFile, VolumeAttributesMatchStatfs) {
    using namespace macos;
    attrlist list{};
    list.volattr = ATTR_VOL_INFO | ATTR_VOL_FSTYPE | ATTR_VOL_SIZE | ATTR_VOL_IOBLOCKSIZE |
                   ATTR_VOL_MOUNTPOINT | ATTR_VOL_MOUNTFLAGS;
    auto b = get(dir, list);
    struct ::statfs fs;
    ASSERT_EQ(::statfs(dir.c_str(), &fs), 0);
    EXPECT_EQ(at<uint32_t>(b, 4), uint32_t(fs.f_type));
    EXPECT_EQ(at<uint64_t>(b, 8), uint64_t(fs.f_blocks) * (fs.f_frsize ? fs.f_frsize : fs.f_bsize));
    EXPECT_EQ(at<uint32_t>(b, 16), uint32_t(fs.f_bsize));
    std::string mountPoint = referenced(b, 20);
    EXPECT_EQ(dir.rfind(mountPoint == "/" ? "" : mountPoint, 0), 0u) << mountPoint;
    EXPECT_TRUE(at<uint32_t>(b, 28) & MNT_LOCAL);
}

TEST_F(TempFile, DirectoryAttributesOnlyForDirectories) {
    using namespace macos;
    attrlist list{};
    list.commonattr = ATTR_CMN_OBJTYPE | ATTR_CMN_RETURNED_ATTRS;
    list.dirattr = ATTR_DIR_ENTRYCOUNT | ATTR_DIR_MOUNTSTATUS;
    list.fileattr = ATTR_FILE_TOTALSIZE;
    auto b = get(dir, list);
    EXPECT_EQ(at<uint32_t>(b, 0), 4u + 20 + 4 + 4 + 4);
    EXPECT_EQ(at<uint32_t>(b, 4), ATTR_CMN_OBJTYPE | ATTR_CMN_RETURNED_ATTRS);
    EXPECT_EQ(at<uint32_t>(b, 4 + 8), ATTR_DIR_ENTRYCOUNT | ATTR_DIR_MOUNTSTATUS);
    EXPECT_EQ(at<uint32_t>(b, 4 + 12), 0u) << "no file attributes for a directory";
    EXPECT_EQ(at<uint32_t>(b, 24), VDIR);
    EXPECT_EQ(at<uint32_t>(b, 28), 1u) << "one entry besides . and ..";
    EXPECT_EQ(at<uint32_t>(b, 32), 0u) << "a temp directory is no mount point";
}

TEST_F(TempFile, SymbolicLinksFollowedOrNot) {
    using namespace macos;
    std::string link = dir + "/link";
    ASSERT_EQ(::symlink("file.txt", link.c_str()), 0);
    attrlist list{};
    list.commonattr = ATTR_CMN_NAME | ATTR_CMN_OBJTYPE;
    auto followed = get(link, list);
    EXPECT_EQ(referenced(followed, 4), "file.txt");
    EXPECT_EQ(at<uint32_t>(followed, 12), VREG);
    auto itself = get(link, list, FSOPT_NOFOLLOW);
    EXPECT_EQ(referenced(itself, 4), "link");
    EXPECT_EQ(at<uint32_t>(itself, 12), VLNK);
}

TEST_F(TempFile, RequestsOutsideTheTableFail) {
    using namespace macos;
    struct Case {
        attrlist list;
        int error;
    } cases[] = {
        {{5, 0, ATTR_CMN_SCRIPT, 0, 0, 0, 0}, EINVAL},
        {{5, 0, 0, 0, 0, ATTR_FILE_FORKLIST, 0}, EINVAL},
        {{5, 0, 0, 0, 0, 0, ATTR_FORK_TOTALSIZE}, EINVAL},
        {{5, 0, 0, ATTR_VOL_SIZE, 0, 0, 0}, EINVAL}, // no ATTR_VOL_INFO
        {{5, 0, 0, ATTR_VOL_INFO | ATTR_VOL_SIZE, 0, ATTR_FILE_TOTALSIZE, 0}, EINVAL},
        {{4, 0, ATTR_CMN_NAME, 0, 0, 0, 0}, EINVAL},
    };
    uint8_t b[64];
    for (auto& c : cases) {
        EXPECT_EQ(macos::getattrlist(file.c_str(), &c.list, b, sizeof b, 0), -1);
        EXPECT_EQ(errno, c.error);
    }
    attrlist fine{5, 0, ATTR_CMN_NAME, 0, 0, 0, 0};
    EXPECT_EQ(macos::getattrlist(file.c_str(), &fine, b, 3, 0), -1);
    EXPECT_EQ(errno, ERANGE) << "no room for the length";
}

TEST_F(TempFile, SetattrlistSetsTimesModeAndFinderInfo) {
    using namespace macos;
    struct {
        macos::timespec modified;
        uint8_t finderInfo[32];
        uint32_t mask;
    } values{{1000000000, 5}, {'T', 'E', 'X', 'T', 't', 't', 'x', 't'}, 0604};
    static_assert(sizeof values == 8 + 32 + 4);
    attrlist set{5, 0, ATTR_CMN_MODTIME | ATTR_CMN_FNDRINFO | ATTR_CMN_ACCESSMASK, 0, 0, 0, 0};
    ASSERT_EQ(macos::setattrlist(file.c_str(), &set, &values, sizeof values, 0), 0)
        << std::strerror(errno);
    EXPECT_EQ(macos::setattrlist(file.c_str(), &set, &values, sizeof values - 1, 0), -1)
        << "values cut short";
    EXPECT_EQ(errno, EINVAL);

    attrlist read{5, 0, ATTR_CMN_MODTIME | ATTR_CMN_FNDRINFO | ATTR_CMN_ACCESSMASK, 0, 0, 0, 0};
    auto b = get(file, read);
    EXPECT_EQ(at<int32_t>(b, 4), 1000000000);
    EXPECT_EQ(at<int32_t>(b, 8), 5);
    EXPECT_EQ(std::memcmp(b.data() + 12, values.finderInfo, 32), 0);
    EXPECT_EQ(at<uint32_t>(b, 44), 0604u);

    // All zeros is no Finder info.
    std::memset(values.finderInfo, 0, sizeof values.finderInfo);
    attrlist clear{5, 0, ATTR_CMN_FNDRINFO, 0, 0, 0, 0};
    ASSERT_EQ(macos::setattrlist(file.c_str(), &clear, values.finderInfo, 32, 0), 0);
    EXPECT_EQ(::getxattr(file.c_str(), kFinderInfoAttributeName, nullptr, 0), -1);

    attrlist unsettable{5, 0, ATTR_CMN_NAME, 0, 0, 0, 0};
    EXPECT_EQ(macos::setattrlist(file.c_str(), &unsettable, &values, sizeof values, 0), -1);
    EXPECT_EQ(errno, EINVAL);
}

bool inodeFlagsWork(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

TEST_F(TempFile, ChflagsSetsWhatLstatReadsBack) {
    if (!inodeFlagsWork(file)) GTEST_SKIP() << "the file system of /tmp keeps no inode flags";
    struct macos::stat st;
    ASSERT_EQ(macos::chflags(file.c_str(), macos::UF_NODUMP), 0) << std::strerror(errno);
    ASSERT_EQ(macos::lstat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_flags, macos::UF_NODUMP);
    ASSERT_EQ(macos::chflags(file.c_str(), 0), 0);
    ASSERT_EQ(macos::lstat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_flags, 0u);

    EXPECT_EQ(macos::chflags(file.c_str(), macos::UF_HIDDEN), -1) << "no counterpart";
    EXPECT_EQ(errno, EOPNOTSUPP);
    EXPECT_EQ(macos::chflags("/dev/null", 0), -1) << "device nodes are not opened";
    EXPECT_EQ(errno, EOPNOTSUPP);

    if (geteuid() != 0) GTEST_SKIP() << "needs root: immutable flags";
    ASSERT_EQ(macos::chflags(file.c_str(), macos::UF_IMMUTABLE), 0);
    ASSERT_EQ(macos::lstat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_flags, macos::SF_IMMUTABLE) << "Linux has one immutable flag";
    EXPECT_EQ(::open(file.c_str(), O_WRONLY), -1);
    ASSERT_EQ(macos::chflags(file.c_str(), 0), 0);
}

} // namespace
