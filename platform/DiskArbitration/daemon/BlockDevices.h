// The block devices the kernel shows in sysfs, read afresh whenever one may have changed: a
// uevent's announcements vary by kernel and driver, the attributes are what they are now.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace diskarb {

struct BlockDevice {
    std::string id;         // the block device's name: loop3, sdb1
    std::string devicePath; // its kernel device path: /devices/virtual/block/loop3
    dev_t number = 0;       // major:minor, as the mount table names it
    uint64_t sectors = 0;   // 512-byte sectors
    bool readOnly = false;
    bool removable = false;  // removable media (of the whole disk)
    bool whole = true;       // false for a partition
    std::string wholeDisk;   // the whole disk's name (its own for a whole disk)
    std::string backingFile; // the image file of a loop device
    bool isLoop() const { return wholeDisk.rfind("loop", 0) == 0; }
};

// The device named id under sysfsRoot ("/sys"), or nothing when it is no disk: gone, of size
// 0 (a loop device without a backing file, an empty drive) or a memory-backed device.
std::optional<BlockDevice> readBlockDevice(const std::string& sysfsRoot, const std::string& id);

// The names of every block device sysfs lists, disks or not.
std::vector<std::string> listBlockDevices(const std::string& sysfsRoot);

} // namespace diskarb
