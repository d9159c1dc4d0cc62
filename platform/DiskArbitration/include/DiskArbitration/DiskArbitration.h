// Disk Arbitration, client side: a connection to the disk arbitration daemon, whose
// notifications arrive as Mach messages on the port DiskArbStart hands back. Feed that port
// to a run loop (CFMachPortCreateWithPort) and pass each message to DiskArbHandleMsg, which
// calls the registered callback on that thread and writes the reply to send back.
//
// A disk's identifier is its block device name ("loop3", "sdb1"). The daemon is reached at
// /run/quintaver/diskarbitration/daemon.sock, or at the path in QUINTAVER_DISKARB_SOCKET.
#pragma once
#include <mach/message.h>
#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef char* DiskArbDiskIdentifier; // block device name
typedef char* DiskArbMountpoint;     // absolute path; "" when not mounted
typedef char* DiskArbIOContent;      // partition type, or partition scheme of a whole disk
typedef char* DiskArbDeviceTreePath; // kernel device path, e.g. /devices/virtual/block/loop3
typedef char* DiskArbGenericString;

// Flags of a disk-appeared notification.
enum {
    kDiskArbDiskAppearedLockedMask = 1 << 0,    // read-only
    kDiskArbDiskAppearedEjectableMask = 1 << 1, // a loop device or removable media
    kDiskArbDiskAppearedWholeDiskMask = 1 << 2, // not a partition
    kDiskArbDiskAppearedNetworkDiskMask = 1 << 3,
    kDiskArbDiskAppearedBeingCheckedMask = 1 << 4,
    kDiskArbDiskAppearedNonLeafDiskMask = 1 << 5,      // a whole disk with partitions
    kDiskArbDiskAppearedUnrecognizableFormat = 1 << 8, // no file system and no partitions
};

// The operation of a call-failed notification, and the messageType of NotificationComplete.
enum {
    kDiskArbCallMount = 1,
    kDiskArbCallUnmount = 2,
    kDiskArbCallEject = 3,
    kDiskArbCompletedDiskAppeared = 25, // the initial list of disks has been sent
};

// Callback types of DiskArbAddCallbackHandler.
enum {
    kDA_CALL_FAILED = 10,
    kDA_UNMOUNT_PRE_NOTIFY = 11,
    kDA_UNMOUNT_POST_NOTIFY = 12,
    kDA_EJECT_PRE_NOTIFY = 13,
    kDA_EJECT_POST_NOTIFY = 14,
    kDA_CLIENT_DISCONNECTED = 15,
    kDA_DISK_CHANGED = 16,
    kDA_NOTIFICATION_COMPLETE = 17,
    kDA_WILL_CLIENT_RELEASE_DEVICE = 18,
    kDA_DISK_WILL_BE_CHECKED = 19,
    kDA_DISK_APPEARED_COMPLETE = 25,
};

// DiskArbStart's status when no daemon answers at the socket.
#define kDiskArbServiceUnavailable 1102

typedef void (*DiskArbCallback_CallFailedNotification_t)(DiskArbDiskIdentifier diskIdentifier,
                                                         int type, int error);
typedef void (*DiskArbCallback_UnmountPreNotification_t)(DiskArbDiskIdentifier diskIdentifier,
                                                         unsigned int flags);
typedef void (*DiskArbCallback_UnmountPostNotification_t)(DiskArbDiskIdentifier diskIdentifier,
                                                          int errorCode, pid_t dissenter);
typedef void (*DiskArbCallback_EjectPreNotification_t)(DiskArbDiskIdentifier diskIdentifier,
                                                       unsigned int flags);
typedef void (*DiskArbCallback_EjectPostNotification_t)(DiskArbDiskIdentifier diskIdentifier,
                                                        int errorCode, pid_t dissenter);
typedef void (*DiskArbCallback_ClientDisconnectedNotification_t)(void);
typedef void (*DiskArbCallback_DiskChangedNotification_t)(DiskArbDiskIdentifier diskIdentifier,
                                                          DiskArbMountpoint newMountPoint,
                                                          DiskArbGenericString newVolumeName,
                                                          int flags, int success);
typedef void (*DiskArbCallback_NotificationComplete_t)(int messageType);
typedef void (*DiskArbCallback_DiskWillBeCheckedNotification_t)(
    DiskArbDiskIdentifier diskIdentifier, int flags, DiskArbIOContent ioContent);
typedef void (*DiskArbCallback_DiskAppearedComplete_t)(
    DiskArbDiskIdentifier diskIdentifier, unsigned int flags, DiskArbMountpoint mountpoint,
    DiskArbIOContent ioContent, DiskArbDeviceTreePath deviceTreePath, unsigned int sequenceNumber,
    double timeAppeared, DiskArbGenericString fsType, DiskArbGenericString fsName);

// Connects to the daemon; *clientPort receives the port its notifications arrive on.
// 0 on success, kDiskArbServiceUnavailable when no daemon answers.
kern_return_t DiskArbStart(mach_port_t* clientPort);

void DiskArbRegisterCallback_CallFailedNotification(DiskArbCallback_CallFailedNotification_t);
void DiskArbRegisterCallback_UnmountPreNotification(DiskArbCallback_UnmountPreNotification_t);
void DiskArbRegisterCallback_UnmountPostNotification(DiskArbCallback_UnmountPostNotification_t);
void DiskArbRegisterCallback_EjectPreNotification(DiskArbCallback_EjectPreNotification_t);
void DiskArbRegisterCallback_EjectPostNotification(DiskArbCallback_EjectPostNotification_t);
void DiskArbRegisterCallback_ClientDisconnectedNotification(
    DiskArbCallback_ClientDisconnectedNotification_t);
void DiskArbRegisterCallback_DiskChangedNotification(DiskArbCallback_DiskChangedNotification_t);
void DiskArbRegisterCallback_NotificationComplete(DiskArbCallback_NotificationComplete_t);
void DiskArbRegisterCallback_DiskWillBeCheckedNotification(
    DiskArbCallback_DiskWillBeCheckedNotification_t);
// Registers callback for callbackType (kDA_*); with overwrite 0 a callback already registered
// for that type stays.
void DiskArbAddCallbackHandler(int callbackType, void* callback, int overwrite);

// Tells the daemon the client is ready: it sends every disk it knows (DiskAppearedComplete),
// then NotificationComplete(kDiskArbCompletedDiskAppeared), then each change as it happens.
kern_return_t DiskArbUpdateClientFlags(void);

// Decodes one notification, calls its registered callback on this thread and writes the reply
// (at most 1024 bytes) into outMsg for mach_msg_send. Returns 1 when the message was understood;
// a reply is written either way.
int DiskArbHandleMsg(mach_msg_header_t* inMsg, mach_msg_header_t* outMsg);

// The client's answer to an unmount or eject pre-notification: 0 for no objection, any other
// value refuses the operation.
kern_return_t DiskArbUnmountPreNotifyAck_async_auto(const char* diskIdentifier, int errorCode);
kern_return_t DiskArbEjectPreNotifyAck_async_auto(const char* diskIdentifier, int errorCode);

// Requests, each on a connection of its own, waiting for the outcome: 0 on success, an errno
// value when the operation failed, the refusing client's answer code when one refused, -1
// when no daemon answers.
kern_return_t DiskArbRequestMount_auto(const char* diskIdentifier);
kern_return_t DiskArbUnmountRequest_auto(const char* diskIdentifier, unsigned int flags);
kern_return_t DiskArbEjectRequest_auto(const char* diskIdentifier, unsigned int flags);
// The daemon's description of its clients and disks, NUL-terminated, cut to size bytes.
kern_return_t DiskArbCopyStatus_auto(char* buffer, size_t size);

#ifdef __cplusplus
}
#endif
