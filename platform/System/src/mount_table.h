// The mount table of this process, from /proc/self/mountinfo.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace macos::detail {

struct MountEntry {
    uint64_t id = 0;
    uint64_t parentId = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string root;       // the directory of the file system mounted here
    std::string mountPoint; // relative to this process's root
    std::string mountOptions;
    std::string fsType; // "ext4", "fuse.sshfs"
    std::string source; // "/dev/vda", "tmpfs", "server:/export"
    std::string superOptions;
};

// One mountinfo line, or nothing when it does not have the fields of one.
std::optional<MountEntry> parseMountInfoLine(std::string_view line);

// The entries of every mountinfo line, in the kernel's order. Empty, with errno set, when the
// table cannot be read.
std::vector<MountEntry> readMountTable();

// The entry of a mount id (statx STATX_MNT_ID), looked up in a freshly read table.
std::optional<MountEntry> findMount(uint64_t mountId);

// Whether a file system type reaches its data over the network (and so may not answer).
bool isNetworkFileSystem(std::string_view fsType);

} // namespace macos::detail
