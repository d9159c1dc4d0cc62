// Who may ask the daemon to mount, unmount or eject a disk.
#pragma once
#include "BlockDevices.h"

#include <sys/types.h>

namespace diskarb {

// 0 when the user may act on the device, else EPERM. Root may act on every disk; another
// user on removable media, and on a loop device whose image file that user owns (so that a
// user cannot detach the images that the system or another user attached).
int mayAct(uid_t uid, const BlockDevice& device);

} // namespace diskarb
