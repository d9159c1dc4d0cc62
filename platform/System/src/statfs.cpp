#include "volume.h"

#include <System/mount.h>
#include <fcntl.h>
#include <unistd.h>

namespace macos {

// One descriptor for the statistics and the mount id, so both describe the same object.
int statfs(const char* path, struct statfs* buf) {
    int fd = ::open(path, O_PATH | O_CLOEXEC);
    if (fd < 0) return -1;
    auto volume = detail::volumeOf(fd);
    ::close(fd);
    if (!volume) return -1;
    detail::fillStatfsRecord(*buf, *volume);
    return 0;
}

} // namespace macos
