#include "attr_reply.h"
#include "bsd_flags.h"
#include "narrow.h"
#include "volume.h"

#include <System/unistd.h>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace macos {

namespace {

// The object a request is about, opened once with O_PATH; what costs more than the statx is
// read only when an attribute asks for it.
class Object {
  public:
    int fd = -1;
    struct statx stx {};
    int error = 0; // the first failure of a lazy read

    ~Object() {
        if (fd >= 0) ::close(fd);
    }

    std::string fdPath() const { return "/proc/self/fd/" + std::to_string(fd); }

    const std::string& realPath() {
        if (!realPath_) {
            std::string target(4096, '\0');
            ssize_t n = ::readlink(fdPath().c_str(), target.data(), target.size());
            if (n < 0) fail();
            target.resize(n < 0 ? 0 : static_cast<size_t>(n));
            realPath_ = std::move(target);
        }
        return *realPath_;
    }

    const struct ::statfs& counts() {
        if (!counts_) {
            counts_.emplace();
            if (::fstatfs(fd, &*counts_) != 0) fail();
        }
        return *counts_;
    }

    const detail::Volume& volume() {
        if (!volume_) {
            auto found = detail::volumeOf(fd);
            if (!found) fail();
            volume_ = found ? std::move(*found) : detail::Volume{};
        }
        return *volume_;
    }

    const struct statx& parent() {
        if (!parent_) {
            parent_.emplace();
            std::string path = realPath();
            size_t slash = path.find_last_of('/');
            std::string dir =
                slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
            if (::statx(AT_FDCWD, dir.c_str(), AT_NO_AUTOMOUNT, STATX_INO, &*parent_) != 0) fail();
        }
        return *parent_;
    }

    void fail() {
        if (error == 0) error = errno ? errno : EIO;
    }

  private:
    std::optional<std::string> realPath_;
    std::optional<struct ::statfs> counts_;
    std::optional<detail::Volume> volume_;
    std::optional<struct statx> parent_;
};

using Packer = void (*)(detail::AttrReply&, Object&);
struct AttrRow {
    uint32_t bit;
    Packer pack;
};

timespec macTime(const statx_timestamp& t) {
    return {detail::narrowTime(t.tv_sec), static_cast<int32_t>(t.tv_nsec)};
}

bool earlier(const statx_timestamp& a, const statx_timestamp& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

fsobj_type_t objectType(uint16_t mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return VREG;
    case S_IFDIR:
        return VDIR;
    case S_IFBLK:
        return VBLK;
    case S_IFCHR:
        return VCHR;
    case S_IFLNK:
        return VLNK;
    case S_IFSOCK:
        return VSOCK;
    case S_IFIFO:
        return VFIFO;
    default:
        return VNON;
    }
}

void putObjectId(detail::AttrReply& r, uint64_t inode) {
    r.put32(static_cast<uint32_t>(inode));
    r.put32(static_cast<uint32_t>(inode >> 32));
}

std::string_view lastComponent(std::string_view path) {
    if (path.empty() || path == "/") return "/";
    return path.substr(path.find_last_of('/') + 1);
}

uint32_t userAccess(const Object& o) {
    uint32_t access = 0;
    for (int mode : {R_OK, W_OK, X_OK})
        if (::faccessat(o.fd, "", mode, AT_EACCESS | AT_EMPTY_PATH) == 0) access |= mode;
    return access;
}

void putFinderInfo(detail::AttrReply& r, Object& o) {
    uint8_t info[kFinderInfoLength] = {};
    // A short, missing or unreadable value (symbolic links hold no user attributes) is zeros.
    uint8_t value[kFinderInfoLength];
    if (::getxattr(o.fdPath().c_str(), kFinderInfoAttributeName, value, sizeof value) ==
        static_cast<ssize_t>(sizeof value))
        std::copy(std::begin(value), std::end(value), info);
    r.putBytes(info, sizeof info);
}

uint32_t entryCount(const Object& o) {
    int dirFd = ::openat(o.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    uint32_t count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") ++count;
    }
    ::closedir(dir);
    return count;
}

uint64_t bytesOf(uint64_t blocks, uint64_t unit) {
    return blocks * unit;
}
uint64_t fragment(const struct ::statfs& fs) {
    return fs.f_frsize ? fs.f_frsize : fs.f_bsize;
}

// Rows in bit order: the reply carries the values in this order.
constexpr AttrRow commonRows[] = {
    {ATTR_CMN_NAME, [](auto& r, auto& o) { r.putReference(lastComponent(o.realPath())); }},
    {ATTR_CMN_DEVID,
     [](auto& r, auto& o) { r.put32(detail::makeDev(o.stx.stx_dev_major, o.stx.stx_dev_minor)); }},
    {ATTR_CMN_FSID,
     [](auto& r, auto& o) {
         r.put32(detail::makeDev(o.stx.stx_dev_major, o.stx.stx_dev_minor));
         r.put32(static_cast<uint32_t>(o.counts().f_type));
     }},
    {ATTR_CMN_OBJTYPE, [](auto& r, auto& o) { r.put32(objectType(o.stx.stx_mode)); }},
    {ATTR_CMN_OBJID, [](auto& r, auto& o) { putObjectId(r, o.stx.stx_ino); }},
    {ATTR_CMN_OBJPERMANENTID, [](auto& r, auto& o) { putObjectId(r, o.stx.stx_ino); }},
    {ATTR_CMN_PAROBJID, [](auto& r, auto& o) { putObjectId(r, o.parent().stx_ino); }},
    {ATTR_CMN_CRTIME,
     [](auto& r, auto& o) {
         const auto& s = o.stx;
         if (s.stx_mask & STATX_BTIME) return r.putTimespec(macTime(s.stx_btime));
         r.putTimespec(macTime(earlier(s.stx_mtime, s.stx_ctime) ? s.stx_mtime : s.stx_ctime));
     }},
    {ATTR_CMN_MODTIME, [](auto& r, auto& o) { r.putTimespec(macTime(o.stx.stx_mtime)); }},
    {ATTR_CMN_CHGTIME, [](auto& r, auto& o) { r.putTimespec(macTime(o.stx.stx_ctime)); }},
    {ATTR_CMN_ACCTIME, [](auto& r, auto& o) { r.putTimespec(macTime(o.stx.stx_atime)); }},
    {ATTR_CMN_FNDRINFO, putFinderInfo},
    {ATTR_CMN_OWNERID, [](auto& r, auto& o) { r.put32(o.stx.stx_uid); }},
    {ATTR_CMN_GRPID, [](auto& r, auto& o) { r.put32(o.stx.stx_gid); }},
    {ATTR_CMN_ACCESSMASK, [](auto& r, auto& o) { r.put32(o.stx.stx_mode & 07777u); }},
    {ATTR_CMN_FLAGS,
     [](auto& r, auto& o) {
         r.put32(
             detail::bsdFlagsFromStatxAttributes(o.stx.stx_attributes & o.stx.stx_attributes_mask));
     }},
    {ATTR_CMN_USERACCESS, [](auto& r, auto& o) { r.put32(userAccess(o)); }},
    {ATTR_CMN_FILEID, [](auto& r, auto& o) { r.put64(o.stx.stx_ino); }},
    {ATTR_CMN_PARENTID, [](auto& r, auto& o) { r.put64(o.parent().stx_ino); }},
};

constexpr AttrRow volumeRows[] = {
    {ATTR_VOL_FSTYPE, [](auto& r, auto& o) { r.put32(static_cast<uint32_t>(o.counts().f_type)); }},
    {ATTR_VOL_SIZE,
     [](auto& r, auto& o) { r.put64(bytesOf(o.counts().f_blocks, fragment(o.counts()))); }},
    {ATTR_VOL_SPACEFREE,
     [](auto& r, auto& o) { r.put64(bytesOf(o.counts().f_bfree, fragment(o.counts()))); }},
    {ATTR_VOL_SPACEAVAIL,
     [](auto& r, auto& o) { r.put64(bytesOf(o.counts().f_bavail, fragment(o.counts()))); }},
    {ATTR_VOL_MINALLOCATION, [](auto& r, auto& o) { r.put64(fragment(o.counts())); }},
    {ATTR_VOL_ALLOCATIONCLUMP,
     [](auto& r, auto& o) { r.put64(static_cast<uint64_t>(o.counts().f_bsize)); }},
    {ATTR_VOL_IOBLOCKSIZE,
     [](auto& r, auto& o) { r.put32(detail::saturate<uint32_t>(o.counts().f_bsize)); }},
    {ATTR_VOL_OBJCOUNT,
     [](auto& r, auto& o) {
         const auto& fs = o.counts();
         r.put32(detail::saturate<uint32_t>(fs.f_files - std::min(fs.f_ffree, fs.f_files)));
     }},
    {ATTR_VOL_FILECOUNT,
     [](auto& r, auto& o) {
         const auto& fs = o.counts();
         r.put32(detail::saturate<uint32_t>(fs.f_files - std::min(fs.f_ffree, fs.f_files)));
     }},
    {ATTR_VOL_DIRCOUNT, [](auto& r, auto&) { r.put32(0); }},
    {ATTR_VOL_MAXOBJCOUNT,
     [](auto& r, auto& o) { r.put32(detail::saturate<uint32_t>(o.counts().f_files)); }},
    {ATTR_VOL_MOUNTPOINT, [](auto& r, auto& o) { r.putReference(o.volume().mount.mountPoint); }},
    {ATTR_VOL_NAME,
     [](auto& r, auto& o) { r.putReference(lastComponent(o.volume().mount.mountPoint)); }},
    {ATTR_VOL_MOUNTFLAGS, [](auto& r, auto& o) { r.put32(detail::macMountFlags(o.volume())); }},
    {ATTR_VOL_MOUNTEDDEVICE, [](auto& r, auto& o) { r.putReference(o.volume().mount.source); }},
};

constexpr AttrRow dirRows[] = {
    {ATTR_DIR_LINKCOUNT, [](auto& r, auto& o) { r.put32(o.stx.stx_nlink); }},
    {ATTR_DIR_ENTRYCOUNT, [](auto& r, auto& o) { r.put32(entryCount(o)); }},
    {ATTR_DIR_MOUNTSTATUS,
     [](auto& r, auto& o) {
         bool root = (o.stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                     (o.stx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
         r.put32(root ? DIR_MNTSTATUS_MNTPOINT : 0);
     }},
};

uint64_t allocated(const Object& o) {
    return o.stx.stx_blocks * 512;
}

constexpr AttrRow fileRows[] = {
    {ATTR_FILE_LINKCOUNT, [](auto& r, auto& o) { r.put32(o.stx.stx_nlink); }},
    {ATTR_FILE_TOTALSIZE, [](auto& r, auto& o) { r.put64(o.stx.stx_size); }},
    {ATTR_FILE_ALLOCSIZE, [](auto& r, auto& o) { r.put64(allocated(o)); }},
    {ATTR_FILE_IOBLOCKSIZE, [](auto& r, auto& o) { r.put32(o.stx.stx_blksize); }},
    {ATTR_FILE_DEVTYPE,
     [](auto& r, auto& o) {
         bool device = S_ISCHR(o.stx.stx_mode) || S_ISBLK(o.stx.stx_mode);
         r.put32(device ? detail::makeDev(o.stx.stx_rdev_major, o.stx.stx_rdev_minor) : 0);
     }},
    {ATTR_FILE_DATALENGTH, [](auto& r, auto& o) { r.put64(o.stx.stx_size); }},
    {ATTR_FILE_DATAALLOCSIZE, [](auto& r, auto& o) { r.put64(allocated(o)); }},
    {ATTR_FILE_RSRCLENGTH, [](auto& r, auto&) { r.put64(0); }},
    {ATTR_FILE_RSRCALLOCSIZE, [](auto& r, auto&) { r.put64(0); }},
};

template <size_t N> constexpr uint32_t maskOf(const AttrRow (&rows)[N], uint32_t extra = 0) {
    uint32_t mask = extra;
    for (const auto& row : rows)
        mask |= row.bit;
    return mask;
}

template <size_t N>
uint32_t pack(detail::AttrReply& reply, Object& object, const AttrRow (&rows)[N], uint32_t bits) {
    uint32_t packed = 0;
    for (const auto& row : rows) {
        if (bits & row.bit) {
            row.pack(reply, object);
            packed |= row.bit;
        }
    }
    return packed;
}

bool validRequest(const attrlist& list) {
    if (list.bitmapcount != ATTR_BIT_MAP_COUNT) return false;
    if (list.commonattr & ~maskOf(commonRows, ATTR_CMN_RETURNED_ATTRS)) return false;
    if (list.volattr & ~maskOf(volumeRows, ATTR_VOL_INFO)) return false;
    if (list.dirattr & ~maskOf(dirRows)) return false;
    if (list.fileattr & ~maskOf(fileRows)) return false;
    if (list.forkattr != 0) return false;
    // Volume attributes come alone, and only with ATTR_VOL_INFO.
    if (list.volattr && (!(list.volattr & ATTR_VOL_INFO) || list.dirattr || list.fileattr))
        return false;
    return true;
}

bool needsDescriptor(const attrlist& list) {
    constexpr uint32_t common = ATTR_CMN_NAME | ATTR_CMN_FSID | ATTR_CMN_PAROBJID |
                                ATTR_CMN_FNDRINFO | ATTR_CMN_USERACCESS | ATTR_CMN_PARENTID;
    return (list.commonattr & common) || list.volattr || (list.dirattr & ATTR_DIR_ENTRYCOUNT);
}

} // namespace

int getattrlist(const char* path, struct attrlist* attrList, void* attrBuf, size_t attrBufSize,
                uint32_t options) {
    if (!attrList || !validRequest(*attrList)) {
        errno = EINVAL;
        return -1;
    }
    if (!attrBuf || attrBufSize < sizeof(uint32_t)) {
        errno = ERANGE;
        return -1;
    }
    // A request that the status record answers alone costs one statx; the others open the
    // object once, so every value describes the same object.
    const attrlist& list = *attrList;
    Object object;
    bool nofollow = options & FSOPT_NOFOLLOW;
    constexpr unsigned wanted = STATX_BASIC_STATS | STATX_BTIME;
    if (needsDescriptor(list)) {
        object.fd = ::open(path, O_PATH | O_CLOEXEC | (nofollow ? O_NOFOLLOW : 0));
        if (object.fd < 0) return -1;
        if (::statx(object.fd, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, wanted, &object.stx) != 0)
            return -1;
    } else {
        int flags = AT_NO_AUTOMOUNT | (nofollow ? AT_SYMLINK_NOFOLLOW : 0);
        if (::statx(AT_FDCWD, path, flags, wanted, &object.stx) != 0) return -1;
    }

    bool directory = S_ISDIR(object.stx.stx_mode);
    detail::AttrReply reply;
    size_t setAt = (list.commonattr & ATTR_CMN_RETURNED_ATTRS) ? reply.reserveAttributeSet() : 0;
    attribute_set_t returned{};
    returned.commonattr = pack(reply, object, commonRows, list.commonattr);
    returned.volattr = pack(reply, object, volumeRows, list.volattr);
    if (directory)
        returned.dirattr = pack(reply, object, dirRows, list.dirattr);
    else
        returned.fileattr = pack(reply, object, fileRows, list.fileattr);
    if (object.error) {
        errno = object.error;
        return -1;
    }
    if (list.commonattr & ATTR_CMN_RETURNED_ATTRS) {
        returned.commonattr |= ATTR_CMN_RETURNED_ATTRS;
        returned.volattr |= list.volattr & ATTR_VOL_INFO;
        reply.setAttributeSet(setAt, returned);
    }
    reply.copyOut(attrBuf, attrBufSize, options & FSOPT_REPORT_FULLSIZE);
    return 0;
}

} // namespace macos
