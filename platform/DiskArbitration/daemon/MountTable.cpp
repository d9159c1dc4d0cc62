#include "MountTable.h"
#include <fstream>
#include <sstream>
#include <sys/sysmacros.h>

namespace diskarb {

std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string octal = field.substr(i + 1, 3);
            if (octal.size() == 3 && octal.find_first_not_of("01234567") == std::string::npos) {
                out.push_back(static_cast<char>(std::stoi(octal, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::map<dev_t, std::string> readMountTable(const std::string& mountinfoPath) {
    std::map<dev_t, std::string> mounts;
    std::map<dev_t, bool> rootMount;
    std::ifstream in(mountinfoPath);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountpoint;
        if (!(fields >> id >> parent >> numbers >> root >> mountpoint)) continue;
        unsigned major = 0, minor = 0;
        if (std::sscanf(numbers.c_str(), "%u:%u", &major, &minor) != 2) continue;
        dev_t number = makedev(major, minor);
        bool isRoot = root == "/";
        auto known = mounts.find(number);
        if (known == mounts.end() || (isRoot && !rootMount[number])) {
            mounts[number] = unescapeMountField(mountpoint);
            rootMount[number] = isRoot;
        }
    }
    return mounts;
}

} // namespace diskarb
