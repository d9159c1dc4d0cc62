// What the platform knows about the file system that holds an object: its Linux statistics
// and its mount-table entry, and how both become the Mac statistics record.
#pragma once
#include "mount_table.h"

#include <System/mount.h>
#include <optional>
#include <string_view>
#include <sys/vfs.h>

namespace macos::detail {

struct Volume {
    struct ::statfs counts {};
    MountEntry mount; // empty fields when the mount table has no entry for it
};

// The volume of an open descriptor (O_PATH will do). Nothing, with errno set, on failure.
std::optional<Volume> volumeOf(int fd);

// Block counts in units of bsize, all four within 32 signed bits.
struct NarrowedBlocks {
    int32_t bsize;
    int32_t blocks;
    int32_t bfree;
    int32_t bavail;
};

// Doubles the block size and halves the counts until the largest count fits; saturates only
// where the block size itself would no longer fit.
NarrowedBlocks narrowBlockCounts(uint64_t bsize, uint64_t blocks, uint64_t bfree, uint64_t bavail);

// Copies text into a fixed field of size bytes, cut at a character boundary to leave room
// for its NUL; the rest of the field is zeroed.
void copyName(char* field, size_t size, std::string_view text);

// The Mac mount flags of a volume.
uint32_t macMountFlags(const Volume& volume);

// The Mac device number of the volume (as lstat's st_dev of its objects).
dev_t volumeDevice(const Volume& volume);

// The 272-byte record of a volume; haveCounts false leaves the counts zero.
void fillStatfsRecord(struct statfs& record, const Volume& volume, bool haveCounts = true);

} // namespace macos::detail
