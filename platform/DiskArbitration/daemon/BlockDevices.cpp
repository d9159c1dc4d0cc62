#include "BlockDevices.h"
#include <dirent.h>
#include <fstream>
#include <limits.h>
#include <stdlib.h>
#include <sys/sysmacros.h>

namespace diskarb {
namespace {

std::string readAttribute(const std::string& path) {
    std::ifstream in(path);
    std::string value;
    std::getline(in, value);
    return value;
}

bool memoryBacked(const std::string& id) {
    return id.rfind("ram", 0) == 0 || id.rfind("zram", 0) == 0;
}

} // namespace

std::optional<BlockDevice> readBlockDevice(const std::string& sysfsRoot, const std::string& id) {
    if (id.empty() || id.find('/') != std::string::npos || id == "." || id == "..") return {};
    if (memoryBacked(id)) return {};
    std::string link = sysfsRoot + "/class/block/" + id;
    char resolved[PATH_MAX];
    if (!realpath(link.c_str(), resolved)) return {};
    std::string dir = resolved;

    BlockDevice device;
    device.id = id;
    device.devicePath = dir.rfind(sysfsRoot, 0) == 0 ? dir.substr(sysfsRoot.size()) : dir;
    unsigned major = 0, minor = 0;
    if (std::sscanf(readAttribute(dir + "/dev").c_str(), "%u:%u", &major, &minor) != 2) return {};
    device.number = makedev(major, minor);
    device.sectors = std::strtoull(readAttribute(dir + "/size").c_str(), nullptr, 10);
    if (device.sectors == 0) return {};
    device.readOnly = readAttribute(dir + "/ro") == "1";

    device.whole = readAttribute(dir + "/partition").empty();
    std::string wholeDir = dir;
    if (!device.whole) {
        wholeDir = dir.substr(0, dir.rfind('/'));
        device.wholeDisk = wholeDir.substr(wholeDir.rfind('/') + 1);
    } else {
        device.wholeDisk = id;
    }
    device.removable = readAttribute(wholeDir + "/removable") == "1";
    if (device.isLoop()) {
        device.backingFile = readAttribute(wholeDir + "/loop/backing_file");
        if (device.backingFile.empty()) return {};
    }
    return device;
}

std::vector<std::string> listBlockDevices(const std::string& sysfsRoot) {
    std::vector<std::string> names;
    DIR* dir = opendir((sysfsRoot + "/class/block").c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
    }
    closedir(dir);
    return names;
}

} // namespace diskarb
