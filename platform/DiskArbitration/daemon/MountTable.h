// Where each block device is mounted, from /proc/self/mountinfo.
#pragma once
#include <map>
#include <string>
#include <sys/types.h>

namespace diskarb {

// The first mount point of each device number (the one mounted earliest). A device's root
// mount is preferred to a bind mount of one of its directories.
std::map<dev_t, std::string> readMountTable(const std::string& mountinfoPath);

// The mount point field unescaped (\040 is a space, \011 a tab, \012 a newline, \134 '\').
std::string unescapeMountField(const std::string& field);

} // namespace diskarb
