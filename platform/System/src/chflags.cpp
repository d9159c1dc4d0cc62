#include "bsd_flags.h"

#include <System/stat.h>
#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace macos {

namespace {

// Closes a descriptor on every path, keeping the errno of the failure being reported.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
        }
    }
};

} // namespace

// Inode flags live behind an ioctl on an open file. The object is first reached with O_PATH,
// which opens nothing: only a regular file or a directory is then reopened for the ioctl, since
// on a device node the ioctl would go to the driver and opening it could act on the device.
int detail::changeBsdFlags(const char* path, uint32_t flags, bool followLinks) {
    auto wanted = detail::inodeFlagsFromBsdFlags(flags);
    if (!wanted) {
        errno = EOPNOTSUPP;
        return -1;
    }
    Descriptor object{::open(path, O_PATH | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW))};
    if (object.fd < 0) return -1;
    struct ::stat st;
    if (::fstat(object.fd, &st) != 0) return -1;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        errno = EOPNOTSUPP;
        return -1;
    }
    std::string reopen = "/proc/self/fd/" + std::to_string(object.fd);
    Descriptor file{::open(reopen.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0) return -1;

    int current = 0;
    if (::ioctl(file.fd, FS_IOC_GETFLAGS, &current) != 0) {
        // A file system without inode flags holds none, so clearing them all is done already.
        if ((errno == ENOTTY || errno == EOPNOTSUPP) && *wanted == 0) return 0;
        return -1;
    }
    // Setting even an unchanged word lets the kernel check that the caller may change it.
    uint32_t replaced =
        (static_cast<uint32_t>(current) & ~detail::inodeFlagsWithBsdCounterpart()) | *wanted;
    int next = static_cast<int>(replaced);
    return ::ioctl(file.fd, FS_IOC_SETFLAGS, &next) == 0 ? 0 : -1;
}

int chflags(const char* path, uint32_t flags) {
    return detail::changeBsdFlags(path, flags, true);
}

} // namespace macos
