#include "Permission.h"

#include <cerrno>
#include <sys/stat.h>

namespace diskarb {

int mayAct(uid_t uid, const BlockDevice& device) {
    if (uid == 0 || device.removable) return 0;
    if (device.isLoop()) {
        // A deleted image shows as "path (deleted)" and no longer stats: nobody owns it.
        struct stat image;
        if (::stat(device.backingFile.c_str(), &image) == 0 && image.st_uid == uid) return 0;
    }
    return EPERM;
}

} // namespace diskarb
