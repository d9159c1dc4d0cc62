// What a disk holds, found by libblkid from its contents.
#pragma once
#include <string>

namespace diskarb {

struct Contents {
    std::string fsType;    // file system type as mount(2) takes it: "ext4", "vfat"; "" for none
    std::string fsName;    // the volume name (label); "" for none
    std::string ioContent; // partition type of a partition, partition scheme of a whole disk
};

Contents probeContents(const std::string& devicePath);

} // namespace diskarb
