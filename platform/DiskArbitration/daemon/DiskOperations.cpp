#include "DiskOperations.h"
#include <cerrno>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <linux/loop.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace diskarb {

int mountDisk(const std::string& id, const std::string& fsType, bool readOnly,
              const std::string& mountRoot, std::string& mountpoint) {
    if (fsType.empty() || fsType == "swap" || fsType.find("_member") != std::string::npos)
        return EINVAL; // nothing mountable on it
    if (mkdir(mountRoot.c_str(), 0755) != 0 && errno != EEXIST) return errno;
    std::string path = mountRoot + "/" + id;
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return errno;
    unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    std::string device = "/dev/" + id;
    if (mount(device.c_str(), path.c_str(), fsType.c_str(), flags, nullptr) != 0) {
        int error = errno;
        rmdir(path.c_str());
        return error;
    }
    mountpoint = path;
    return 0;
}

int unmountDisk(const std::string& mountpoint, const std::string& mountRoot) {
    if (mountpoint.empty()) return EINVAL;
    if (umount2(mountpoint.c_str(), UMOUNT_NOFOLLOW) != 0) return errno;
    if (mountpoint.rfind(mountRoot + "/", 0) == 0) rmdir(mountpoint.c_str());
    return 0;
}

namespace {

// START STOP UNIT with the eject bit, for removable drives that are no CD drive.
int scsiEject(int fd) {
    unsigned char command[6] = {0x1b, 0, 0, 0, 0x02, 0};
    unsigned char sense[32] = {};
    sg_io_hdr_t io = {};
    io.interface_id = 'S';
    io.cmd_len = sizeof command;
    io.cmdp = command;
    io.dxfer_direction = SG_DXFER_NONE;
    io.mx_sb_len = sizeof sense;
    io.sbp = sense;
    io.timeout = 10000;
    if (ioctl(fd, SG_IO, &io) != 0) return errno;
    return io.status == 0 ? 0 : EIO;
}

} // namespace

int ejectDisk(const std::string& wholeDisk, bool isLoop, bool removable) {
    std::string device = "/dev/" + wholeDisk;
    int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    int result = EOPNOTSUPP;
    if (isLoop) {
        result = ioctl(fd, LOOP_CLR_FD, 0) == 0 ? 0 : errno;
    } else if (removable) {
        result = ioctl(fd, CDROMEJECT, 0) == 0 ? 0 : scsiEject(fd);
    }
    close(fd);
    return result;
}

} // namespace diskarb
