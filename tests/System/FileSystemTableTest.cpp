#include "mount_table.h"
#include "volume.h"

#include <System/mount.h>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <vector>

namespace {

using macos::detail::narrowBlockCounts;
using Record = struct macos::statfs;

TEST(BlockCounts, RaiseTheBlockSizeUntilEveryCountFits) {
    struct Case {
        uint64_t bsize, blocks, bfree, bavail;
        int32_t bsize32, blocks32, bfree32, bavail32;
    } cases[] = {
        {4096, 1000, 500, 400, 4096, 1000, 500, 400},
        {4096, INT32_MAX, 1, 0, 4096, INT32_MAX, 1, 0},
        {4096, uint64_t{INT32_MAX} + 1, 2, 2, 8192, 1 << 30, 1, 1},
        // 64 TiB of 1 KiB blocks: 2^36 blocks need 2^6 times the block size.
        {1024, uint64_t{1} << 36, uint64_t{1} << 35, 3, 1 << 16, 1 << 30, 1 << 29, 0},
        // The free count alone can be the one that does not fit.
        {512, 10, uint64_t{1} << 33, 0, 512 << 3, 1, 1 << 30, 0},
        // Beyond what a 32-bit block size can carry: saturate, never wrap.
        {1 << 30, UINT64_MAX, UINT64_MAX, 0, 1 << 30, INT32_MAX, INT32_MAX, 0},
    };
    for (const auto& c : cases) {
        auto n = narrowBlockCounts(c.bsize, c.blocks, c.bfree, c.bavail);
        EXPECT_EQ(n.bsize, c.bsize32) << c.blocks;
        EXPECT_EQ(n.blocks, c.blocks32) << c.blocks;
        EXPECT_EQ(n.bfree, c.bfree32) << c.blocks;
        EXPECT_EQ(n.bavail, c.bavail32) << c.blocks;
    }
}

TEST(Names, AreCutAtACharacterBoundaryWithTheirTerminator) {
    char field[6];
    std::memset(field, 'x', sizeof field);
    macos::detail::copyName(field, sizeof field, "ext4");
    EXPECT_STREQ(field, "ext4");
    EXPECT_EQ(field[5], 0) << "the rest of the field is cleared";

    macos::detail::copyName(field, sizeof field, "fuse.sshfs");
    EXPECT_STREQ(field, "fuse.");
    // "abcé" is 5 bytes; "abcdé" would be cut inside the é, so the é goes whole.
    macos::detail::copyName(field, sizeof field, "abcd\xc3\xa9");
    EXPECT_STREQ(field, "abcd");
    macos::detail::copyName(field, sizeof field, "abc\xc3\xa9");
    EXPECT_STREQ(field, "abc\xc3\xa9");
}

TEST(MountInfo, LinesParseWithTheirEscapes) {
    auto entry = macos::detail::parseMountInfoLine(
        "36 35 98:0 /mnt1 /mnt/with\\040space rw,noatime master:1 shared:2 - ext3 /dev/root "
        "rw,errors=continue");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->id, 36u);
    EXPECT_EQ(entry->parentId, 35u);
    EXPECT_EQ(entry->major, 98u);
    EXPECT_EQ(entry->minor, 0u);
    EXPECT_EQ(entry->root, "/mnt1");
    EXPECT_EQ(entry->mountPoint, "/mnt/with space");
    EXPECT_EQ(entry->mountOptions, "rw,noatime");
    EXPECT_EQ(entry->fsType, "ext3");
    EXPECT_EQ(entry->source, "/dev/root");
    EXPECT_EQ(entry->superOptions, "rw,errors=continue");

    EXPECT_FALSE(macos::detail::parseMountInfoLine(""));
    EXPECT_FALSE(macos::detail::parseMountInfoLine("36 35 98:0 / / rw"));
    EXPECT_FALSE(macos::detail::parseMountInfoLine("x 35 98:0 / / rw - ext4 /dev/x rw"));
}

TEST(Statfs, TheRecordDescribesTheRootFileSystem) {
    Record record;
    std::memset(&record, 0x5a, sizeof record);
    ASSERT_EQ(macos::statfs("/", &record), 0) << std::strerror(errno);
    struct ::statfs fs;
    ASSERT_EQ(::statfs("/", &fs), 0);

    uint64_t fragment = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    // The total survives the narrowing to within one (raised) block.
    uint64_t linuxBytes = fragment * fs.f_blocks;
    uint64_t macBytes = uint64_t(record.f_bsize) * uint32_t(record.f_blocks);
    EXPECT_LE(macBytes, linuxBytes);
    EXPECT_LT(linuxBytes - macBytes, uint64_t(record.f_bsize));
    EXPECT_EQ(record.f_iosize, int32_t(fs.f_bsize));
    EXPECT_STREQ(record.f_mntonname, "/");
    EXPECT_NE(record.f_fstypename[0], 0);
    EXPECT_NE(record.f_mntfromname[0], 0);
    EXPECT_EQ(record.f_fsid.val[1], int32_t(fs.f_type));
    EXPECT_TRUE(record.f_flags & macos::MNT_ROOTFS);
    EXPECT_TRUE(record.f_flags & macos::MNT_LOCAL);
    EXPECT_EQ(bool(record.f_flags & macos::MNT_RDONLY), bool(fs.f_flags & ST_RDONLY));
    EXPECT_EQ(record.f_otype, 0);
    EXPECT_EQ(record.f_reserved3, 0);
    EXPECT_EQ(record.f_reserved4[3], 0);

    EXPECT_EQ(macos::statfs("/no/such/path", &record), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(Getfsstat, CountsFillsWholeRecordsAndLeavesTheRestAlone) {
    int count = macos::getfsstat(nullptr, 0, macos::MNT_NOWAIT);
    ASSERT_GT(count, 0);
    EXPECT_EQ(size_t(count), macos::detail::readMountTable().size());

    std::vector<Record> all(count + 1);
    int written = macos::getfsstat(all.data(), int(all.size() * sizeof(Record)), macos::MNT_WAIT);
    EXPECT_EQ(written, count);
    bool sawRoot = false;
    for (int i = 0; i < written; ++i)
        sawRoot |= std::strcmp(all[i].f_mntonname, "/") == 0;
    EXPECT_TRUE(sawRoot);

    // Room for one record and a half: one record, the half untouched.
    std::vector<uint8_t> bytes(sizeof(Record) * 3 / 2, 0xee);
    EXPECT_EQ(macos::getfsstat(reinterpret_cast<Record*>(bytes.data()), int(bytes.size()),
                               macos::MNT_NOWAIT),
              std::min(count, 1));
    for (size_t i = sizeof(Record); i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], 0xee) << i;

    EXPECT_EQ(macos::getfsstat(all.data(), -1, macos::MNT_WAIT), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(Mount, RefusesFlagsAndBlocksItCannotCarry) {
    EXPECT_EQ(macos::mount("tmpfs", "/nonexistent", 0x00000400 /* MNT_QUARANTINE */, nullptr, 0),
              -1);
    EXPECT_EQ(errno, EINVAL);
    const char noTerminators[] = {'t', 'm', 'p'};
    EXPECT_EQ(macos::mount("tmpfs", "/nonexistent", 0, noTerminators, sizeof noTerminators), -1);
    EXPECT_EQ(errno, EINVAL);
    const char oneTerminator[] = {'t', 'm', 'p', 0, 's', 'i', 'z', 'e'};
    EXPECT_EQ(macos::mount("tmpfs", "/nonexistent", 0, oneTerminator, sizeof oneTerminator), -1);
    EXPECT_EQ(errno, EINVAL);
    // A well-formed block reaches the kernel, which finds no such directory.
    const char block[] = "tmpfs\0size=1m";
    EXPECT_EQ(macos::mount("tmpfs", "/nonexistent", 0, block, sizeof block), -1);
    EXPECT_EQ(errno, ENOENT);
}

} // namespace
