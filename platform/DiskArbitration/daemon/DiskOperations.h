// Mounting, unmounting and ejecting a disk on this machine. Each returns 0 or an errno value.
#pragma once
#include <string>

namespace diskarb {

// Mounts /dev/<id> with its file system at <mountRoot>/<id>, made for it, nosuid and nodev
// (read-only when the device is). The mount point made is left in mountpoint.
int mountDisk(const std::string& id, const std::string& fsType, bool readOnly,
              const std::string& mountRoot, std::string& mountpoint);

// Unmounts it; a mount point under mountRoot that this daemon made is removed afterwards.
int unmountDisk(const std::string& mountpoint, const std::string& mountRoot);

// Ejects the whole disk: a loop device is detached from its image, removable media ejected.
int ejectDisk(const std::string& wholeDisk, bool isLoop, bool removable);

} // namespace diskarb
