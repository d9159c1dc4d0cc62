// Who may act on which disk: a user may not detach loop images that are not theirs.
#include "Permission.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

diskarb::BlockDevice loopOf(const std::string& image) {
    diskarb::BlockDevice device;
    device.id = device.wholeDisk = "loop7";
    device.backingFile = image;
    return device;
}

TEST(Permission, UsersActOnRemovableMediaAndOnTheirOwnLoopImages) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give the image to another owner";
    std::string image = (std::filesystem::temp_directory_path() /
                         ("diskarb-permission-" + std::to_string(getpid())))
                            .string();
    std::FILE* f = std::fopen(image.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_EQ(chown(image.c_str(), 4321, 4321), 0);

    diskarb::BlockDevice disk;
    disk.id = disk.wholeDisk = "sda";
    diskarb::BlockDevice removable = disk;
    removable.removable = true;

    struct Case {
        const char* what;
        uid_t uid;
        diskarb::BlockDevice device;
        int expected;
    } cases[] = {
        {"root, a fixed disk", 0, disk, 0},
        {"a user, a fixed disk", 4321, disk, EPERM},
        {"a user, removable media", 4321, removable, 0},
        {"the image's owner, its loop device", 4321, loopOf(image), 0},
        {"another user, that loop device", 1234, loopOf(image), EPERM},
        {"root, that loop device", 0, loopOf(image), 0},
        {"a user, a loop device whose image was deleted", 4321, loopOf(image + " (deleted)"),
         EPERM},
    };
    for (const auto& c : cases)
        EXPECT_EQ(diskarb::mayAct(c.uid, c.device), c.expected) << c.what;
    std::remove(image.c_str());
}

} // namespace
