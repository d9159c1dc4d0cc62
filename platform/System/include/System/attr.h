// Attribute lists: the request record and the attribute bits of getattrlist/setattrlist, with
// the reply records in the layout of the 32-bit Mac platform (4-byte aligned, host byte order).
//
// A reply starts with its 32-bit length (the length field included), then, when requested,
// the attribute_set_t of ATTR_CMN_RETURNED_ATTRS, then each requested attribute in bit order,
// group by group (common, volume, directory, file); directory attributes are returned only for
// directories and file attributes only for other objects. Variable-length values travel as an
// attrreference_t whose offset counts from the reference itself; their bytes follow the fixed
// part, each 4-byte aligned, names NUL-terminated with the NUL counted in the length.
//
// Attributes of this platform (type in the reply; where the value comes from):
//   common ATTR_CMN_NAME          attrreference_t  last path component ("/" for the root)
//          ATTR_CMN_DEVID         dev_t            device, as lstat's st_dev
//          ATTR_CMN_FSID          fsid_t           { device of the volume, Linux f_type }
//          ATTR_CMN_OBJTYPE       fsobj_type_t     VREG, VDIR, VLNK, ...
//          ATTR_CMN_OBJID         fsobj_id_t       { inode low 32 bits, inode high 32 bits }
//          ATTR_CMN_OBJPERMANENTID fsobj_id_t      the same
//          ATTR_CMN_PAROBJID      fsobj_id_t       object id of the parent directory
//          ATTR_CMN_CRTIME        timespec         statx birth time; where the file system
//                                                  keeps none, the older of mtime and ctime
//          ATTR_CMN_MODTIME, ATTR_CMN_CHGTIME, ATTR_CMN_ACCTIME  timespec
//          ATTR_CMN_FNDRINFO      32 bytes         extended attribute
//          "user.com.quenlark.FinderInfo",
//                                                  zeros when absent
//          ATTR_CMN_OWNERID, ATTR_CMN_GRPID  uint32_t
//          ATTR_CMN_ACCESSMASK    uint32_t         mode & 07777
//          ATTR_CMN_FLAGS         uint32_t         BSD flags, as lstat's st_flags
//          ATTR_CMN_USERACCESS    uint32_t         R_OK|W_OK|X_OK for the effective ids
//          ATTR_CMN_FILEID, ATTR_CMN_PARENTID  uint64_t  inode numbers
//   volume (ATTR_VOL_INFO must accompany any volume bit; no dir/file/fork bits with them)
//          ATTR_VOL_FSTYPE        uint32_t         Linux f_type (file-system magic)
//          ATTR_VOL_SIZE, ATTR_VOL_SPACEFREE, ATTR_VOL_SPACEAVAIL  off_t bytes
//          ATTR_VOL_MINALLOCATION off_t            fragment size
//          ATTR_VOL_ALLOCATIONCLUMP off_t          preferred I/O size
//          ATTR_VOL_IOBLOCKSIZE   uint32_t         preferred I/O size
//          ATTR_VOL_OBJCOUNT      uint32_t         inodes in use
//          ATTR_VOL_FILECOUNT     uint32_t         inodes in use (Linux keeps no separate count)
//          ATTR_VOL_DIRCOUNT      uint32_t         0: Linux keeps no directory count
//          ATTR_VOL_MAXOBJCOUNT   uint32_t         inodes in all
//          ATTR_VOL_MOUNTPOINT    attrreference_t  mount point
//          ATTR_VOL_NAME          attrreference_t  last component of the mount point ("/")
//          ATTR_VOL_MOUNTFLAGS    uint32_t         MNT_* flags, as statfs's f_flags
//          ATTR_VOL_MOUNTEDDEVICE attrreference_t  mount source
//   directory ATTR_DIR_LINKCOUNT  uint32_t
//          ATTR_DIR_ENTRYCOUNT    uint32_t         entries other than "." and ".."
//          ATTR_DIR_MOUNTSTATUS   uint32_t         DIR_MNTSTATUS_MNTPOINT for a mount point
//   file   ATTR_FILE_LINKCOUNT    uint32_t
//          ATTR_FILE_TOTALSIZE, ATTR_FILE_ALLOCSIZE  off_t
//          ATTR_FILE_IOBLOCKSIZE  uint32_t
//          ATTR_FILE_DEVTYPE      uint32_t         device number of a device node, else 0
//          ATTR_FILE_DATALENGTH, ATTR_FILE_DATAALLOCSIZE  off_t
//          ATTR_FILE_RSRCLENGTH, ATTR_FILE_RSRCALLOCSIZE  off_t  0: no resource forks here
// Any other bit (fork attributes included) fails with EINVAL. 32-bit counts saturate.
//
// setattrlist takes the values without the leading length, in the same order, and sets
// ATTR_CMN_MODTIME, ATTR_CMN_ACCTIME (nanoseconds 0 to 999999999), ATTR_CMN_FNDRINFO (all
// zeros removes it), ATTR_CMN_OWNERID, ATTR_CMN_GRPID (all ones leaves either unchanged),
// ATTR_CMN_ACCESSMASK and ATTR_CMN_FLAGS. Owner and group go first, since changing them clears
// the set-id bits that the mask may set; then the mask, the Finder info and the times; the
// flags last, so that an immutable flag does not block the rest. Any other bit, a value cut
// short or a time out of range fails with EINVAL before anything changes.
#pragma once
#include <System/types.h>

namespace macos {

struct attrlist {
    uint16_t bitmapcount;
    uint16_t reserved;
    uint32_t commonattr;
    uint32_t volattr;
    uint32_t dirattr;
    uint32_t fileattr;
    uint32_t forkattr;
};
static_assert(sizeof(attrlist) == 24);

inline constexpr uint16_t ATTR_BIT_MAP_COUNT = 5;

struct attribute_set_t {
    uint32_t commonattr;
    uint32_t volattr;
    uint32_t dirattr;
    uint32_t fileattr;
    uint32_t forkattr;
};
static_assert(sizeof(attribute_set_t) == 20);

struct attrreference_t {
    int32_t attr_dataoffset;
    uint32_t attr_length;
};
static_assert(sizeof(attrreference_t) == 8);

struct fsobj_id_t {
    uint32_t fid_objno;
    uint32_t fid_generation;
};
static_assert(sizeof(fsobj_id_t) == 8);

struct fsid_t {
    int32_t val[2];
};
static_assert(sizeof(fsid_t) == 8);

using fsobj_type_t = uint32_t;

// Object types (enum vtype).
inline constexpr fsobj_type_t VNON = 0;
inline constexpr fsobj_type_t VREG = 1;
inline constexpr fsobj_type_t VDIR = 2;
inline constexpr fsobj_type_t VBLK = 3;
inline constexpr fsobj_type_t VCHR = 4;
inline constexpr fsobj_type_t VLNK = 5;
inline constexpr fsobj_type_t VSOCK = 6;
inline constexpr fsobj_type_t VFIFO = 7;

// Options.
inline constexpr uint32_t FSOPT_NOFOLLOW = 0x00000001;
inline constexpr uint32_t FSOPT_REPORT_FULLSIZE = 0x00000004;
inline constexpr uint32_t FSOPT_PACK_INVAL_ATTRS = 0x00000008;

// Common attributes.
inline constexpr uint32_t ATTR_CMN_NAME = 0x00000001;
inline constexpr uint32_t ATTR_CMN_DEVID = 0x00000002;
inline constexpr uint32_t ATTR_CMN_FSID = 0x00000004;
inline constexpr uint32_t ATTR_CMN_OBJTYPE = 0x00000008;
inline constexpr uint32_t ATTR_CMN_OBJTAG = 0x00000010;
inline constexpr uint32_t ATTR_CMN_OBJID = 0x00000020;
inline constexpr uint32_t ATTR_CMN_OBJPERMANENTID = 0x00000040;
inline constexpr uint32_t ATTR_CMN_PAROBJID = 0x00000080;
inline constexpr uint32_t ATTR_CMN_SCRIPT = 0x00000100;
inline constexpr uint32_t ATTR_CMN_CRTIME = 0x00000200;
inline constexpr uint32_t ATTR_CMN_MODTIME = 0x00000400;
inline constexpr uint32_t ATTR_CMN_CHGTIME = 0x00000800;
inline constexpr uint32_t ATTR_CMN_ACCTIME = 0x00001000;
inline constexpr uint32_t ATTR_CMN_BKUPTIME = 0x00002000;
inline constexpr uint32_t ATTR_CMN_FNDRINFO = 0x00004000;
inline constexpr uint32_t ATTR_CMN_OWNERID = 0x00008000;
inline constexpr uint32_t ATTR_CMN_GRPID = 0x00010000;
inline constexpr uint32_t ATTR_CMN_ACCESSMASK = 0x00020000;
inline constexpr uint32_t ATTR_CMN_FLAGS = 0x00040000;
inline constexpr uint32_t ATTR_CMN_USERACCESS = 0x00200000;
inline constexpr uint32_t ATTR_CMN_EXTENDED_SECURITY = 0x00400000;
inline constexpr uint32_t ATTR_CMN_UUID = 0x00800000;
inline constexpr uint32_t ATTR_CMN_GRPUUID = 0x01000000;
inline constexpr uint32_t ATTR_CMN_FILEID = 0x02000000;
inline constexpr uint32_t ATTR_CMN_PARENTID = 0x04000000;
inline constexpr uint32_t ATTR_CMN_FULLPATH = 0x08000000;
inline constexpr uint32_t ATTR_CMN_ADDEDTIME = 0x10000000;
inline constexpr uint32_t ATTR_CMN_RETURNED_ATTRS = 0x80000000;

// Volume attributes.
inline constexpr uint32_t ATTR_VOL_FSTYPE = 0x00000001;
inline constexpr uint32_t ATTR_VOL_SIGNATURE = 0x00000002;
inline constexpr uint32_t ATTR_VOL_SIZE = 0x00000004;
inline constexpr uint32_t ATTR_VOL_SPACEFREE = 0x00000008;
inline constexpr uint32_t ATTR_VOL_SPACEAVAIL = 0x00000010;
inline constexpr uint32_t ATTR_VOL_MINALLOCATION = 0x00000020;
inline constexpr uint32_t ATTR_VOL_ALLOCATIONCLUMP = 0x00000040;
inline constexpr uint32_t ATTR_VOL_IOBLOCKSIZE = 0x00000080;
inline constexpr uint32_t ATTR_VOL_OBJCOUNT = 0x00000100;
inline constexpr uint32_t ATTR_VOL_FILECOUNT = 0x00000200;
inline constexpr uint32_t ATTR_VOL_DIRCOUNT = 0x00000400;
inline constexpr uint32_t ATTR_VOL_MAXOBJCOUNT = 0x00000800;
inline constexpr uint32_t ATTR_VOL_MOUNTPOINT = 0x00001000;
inline constexpr uint32_t ATTR_VOL_NAME = 0x00002000;
inline constexpr uint32_t ATTR_VOL_MOUNTFLAGS = 0x00004000;
inline constexpr uint32_t ATTR_VOL_MOUNTEDDEVICE = 0x00008000;
inline constexpr uint32_t ATTR_VOL_ENCODINGSUSED = 0x00010000;
inline constexpr uint32_t ATTR_VOL_CAPABILITIES = 0x00020000;
inline constexpr uint32_t ATTR_VOL_UUID = 0x00040000;
inline constexpr uint32_t ATTR_VOL_ATTRIBUTES = 0x40000000;
inline constexpr uint32_t ATTR_VOL_INFO = 0x80000000;

// Directory attributes.
inline constexpr uint32_t ATTR_DIR_LINKCOUNT = 0x00000001;
inline constexpr uint32_t ATTR_DIR_ENTRYCOUNT = 0x00000002;
inline constexpr uint32_t ATTR_DIR_MOUNTSTATUS = 0x00000004;
inline constexpr uint32_t DIR_MNTSTATUS_MNTPOINT = 0x00000001;

// File attributes.
inline constexpr uint32_t ATTR_FILE_LINKCOUNT = 0x00000001;
inline constexpr uint32_t ATTR_FILE_TOTALSIZE = 0x00000002;
inline constexpr uint32_t ATTR_FILE_ALLOCSIZE = 0x00000004;
inline constexpr uint32_t ATTR_FILE_IOBLOCKSIZE = 0x00000008;
inline constexpr uint32_t ATTR_FILE_CLUMPSIZE = 0x00000010;
inline constexpr uint32_t ATTR_FILE_DEVTYPE = 0x00000020;
inline constexpr uint32_t ATTR_FILE_FILETYPE = 0x00000040;
inline constexpr uint32_t ATTR_FILE_FORKCOUNT = 0x00000080;
inline constexpr uint32_t ATTR_FILE_FORKLIST = 0x00000100;
inline constexpr uint32_t ATTR_FILE_DATALENGTH = 0x00000200;
inline constexpr uint32_t ATTR_FILE_DATAALLOCSIZE = 0x00000400;
inline constexpr uint32_t ATTR_FILE_DATAEXTENTS = 0x00000800;
inline constexpr uint32_t ATTR_FILE_RSRCLENGTH = 0x00001000;
inline constexpr uint32_t ATTR_FILE_RSRCALLOCSIZE = 0x00002000;
inline constexpr uint32_t ATTR_FILE_RSRCEXTENTS = 0x00004000;

// Fork attributes.
inline constexpr uint32_t ATTR_FORK_TOTALSIZE = 0x00000001;
inline constexpr uint32_t ATTR_FORK_ALLOCSIZE = 0x00000002;

// The extended attribute that keeps the 32 bytes of ATTR_CMN_FNDRINFO.
inline constexpr const char* kFinderInfoAttributeName = "user.com.quenlark.FinderInfo";
inline constexpr uint32_t kFinderInfoLength = 32;

} // namespace macos
