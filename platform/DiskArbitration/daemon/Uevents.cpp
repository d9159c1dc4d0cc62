#include "Uevents.h"
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace diskarb {

int openUeventSocket() {
    int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) return -1;
    int size = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_nl address = {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1; // the kernel's group
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

std::map<std::string, std::string> parseUevent(const char* packet, size_t size) {
    std::map<std::string, std::string> keys;
    // The kernel's packets start "ACTION@DEVPATH\0"; libudev's start "libudev\0".
    const char* end = packet + size;
    const char* first = static_cast<const char*>(std::memchr(packet, '\0', size));
    if (!first || !std::memchr(packet, '@', first - packet)) return keys;
    for (const char* p = first + 1; p < end;) {
        const char* stop = static_cast<const char*>(std::memchr(p, '\0', end - p));
        if (!stop) stop = end;
        const char* equals = static_cast<const char*>(std::memchr(p, '=', stop - p));
        if (equals) keys.emplace(std::string(p, equals), std::string(equals + 1, stop));
        p = stop + 1;
    }
    return keys;
}

} // namespace diskarb
