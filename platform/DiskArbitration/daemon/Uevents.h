// Kernel uevents of block devices, read from the NETLINK_KOBJECT_UEVENT socket (the kernel's
// own broadcast, so no device manager needs to run).
#pragma once
#include <map>
#include <string>

namespace diskarb {

// A non-blocking socket that receives the kernel's uevents, or -1 with errno.
int openUeventSocket();

// One received uevent's keys (ACTION, DEVPATH, SUBSYSTEM, DEVNAME...); empty when the packet
// was no kernel uevent (those of user-space programs on the same group are ignored).
std::map<std::string, std::string> parseUevent(const char* packet, size_t size);

} // namespace diskarb
