// The client side of Disk Arbitration: one connection for notifications (DiskArbStart), the
// callbacks registered for them, and a short connection of its own for each request.
#include "Protocol.h"

#include <DiskArbitration/DiskArbitration.h>
#include <mach/mach.h>
#include <mach/socket_port.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace diskarb;

std::atomic<mach_port_t> notificationPort{MACH_PORT_NULL};

std::mutex callbacksMutex;
void* callbacks[32];

void* callbackFor(int type) {
    std::lock_guard guard(callbacksMutex);
    return type >= 0 && type < 32 ? callbacks[type] : nullptr;
}

// A new port on a fresh connection to the daemon; MACH_PORT_NULL when none answers.
mach_port_t connectToDaemon() {
    std::string path = socketPath();
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return MACH_PORT_NULL;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return MACH_PORT_NULL;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return MACH_PORT_NULL;
    }
    return mach::insertSocketPort(fd);
}

kern_return_t sendTo(mach_port_t port, MessageWriter& message) {
    if (port == MACH_PORT_NULL) return MACH_SEND_INVALID_DEST;
    message.bytes();
    message.header()->msgh_remote_port = port;
    return mach_msg_send(message.header());
}

// Sends one request on a connection of its own and waits for the daemon's answer.
kern_return_t request(MessageWriter& message, std::string* text = nullptr) {
    mach_port_t port = connectToDaemon();
    if (port == MACH_PORT_NULL) return -1;
    kern_return_t status = -1;
    if (sendTo(port, message) == MACH_MSG_SUCCESS) {
        std::vector<uint8_t> buffer(MACH_MSG_SIZE_MAX);
        auto* header = reinterpret_cast<mach_msg_header_t*>(buffer.data());
        for (;;) {
            header->msgh_size = static_cast<mach_msg_size_t>(buffer.size());
            header->msgh_local_port = port;
            if (mach_msg_receive(header) != MACH_MSG_SUCCESS) break;
            MessageReader in(header, header->msgh_size);
            if (in.id() == kRequestResult) {
                uint32_t value = in.getInt();
                if (in.ok()) status = static_cast<kern_return_t>(value);
                break;
            }
            if (in.id() == kStatusText) {
                const char* value = in.getString();
                if (in.ok()) {
                    if (text) *text = value;
                    status = 0;
                }
                break;
            }
        }
    }
    mach_port_deallocate(mach_task_self(), port);
    return status;
}

kern_return_t acknowledge(MessageId id, const char* diskIdentifier, int errorCode) {
    if (!diskIdentifier) return KERN_INVALID_ARGUMENT;
    MessageWriter out(id);
    out.putString(diskIdentifier).putInt(static_cast<uint32_t>(errorCode));
    return sendTo(notificationPort.load(), out);
}

template <class Callback> Callback registered(int type) {
    return reinterpret_cast<Callback>(callbackFor(type));
}

// Calls the callback that the notification is for; false when it is not understood.
bool dispatch(MessageReader& in) {
    switch (in.id()) {
    case kDiskAppearedComplete: {
        char* disk = const_cast<char*>(in.getString());
        uint32_t flags = in.getInt();
        char* mountpoint = const_cast<char*>(in.getString());
        char* ioContent = const_cast<char*>(in.getString());
        char* deviceTreePath = const_cast<char*>(in.getString());
        uint32_t sequence = in.getInt();
        double time = in.getDouble();
        char* fsType = const_cast<char*>(in.getString());
        char* fsName = const_cast<char*>(in.getString());
        if (!in.ok()) return false;
        if (auto cb =
                registered<DiskArbCallback_DiskAppearedComplete_t>(kDA_DISK_APPEARED_COMPLETE))
            cb(disk, flags, mountpoint, ioContent, deviceTreePath, sequence, time, fsType, fsName);
        return true;
    }
    case kUnmountPreNotify:
    case kEjectPreNotify: {
        char* disk = const_cast<char*>(in.getString());
        uint32_t flags = in.getInt();
        if (!in.ok()) return false;
        bool unmount = in.id() == kUnmountPreNotify;
        auto cb = registered<DiskArbCallback_UnmountPreNotification_t>(
            unmount ? kDA_UNMOUNT_PRE_NOTIFY : kDA_EJECT_PRE_NOTIFY);
        if (cb)
            cb(disk, flags);
        else // a client that does not listen has no objection
            acknowledge(unmount ? kUnmountPreNotifyAck : kEjectPreNotifyAck, disk, 0);
        return true;
    }
    case kUnmountPostNotify:
    case kEjectPostNotify: {
        char* disk = const_cast<char*>(in.getString());
        int error = static_cast<int>(in.getInt());
        pid_t pid = static_cast<pid_t>(in.getInt());
        if (!in.ok()) return false;
        if (auto cb = registered<DiskArbCallback_UnmountPostNotification_t>(
                in.id() == kUnmountPostNotify ? kDA_UNMOUNT_POST_NOTIFY : kDA_EJECT_POST_NOTIFY))
            cb(disk, error, pid);
        return true;
    }
    case kNotificationComplete: {
        int type = static_cast<int>(in.getInt());
        if (!in.ok()) return false;
        if (auto cb = registered<DiskArbCallback_NotificationComplete_t>(kDA_NOTIFICATION_COMPLETE))
            cb(type);
        return true;
    }
    case kCallFailed: {
        char* disk = const_cast<char*>(in.getString());
        int type = static_cast<int>(in.getInt());
        int error = static_cast<int>(in.getInt());
        if (!in.ok()) return false;
        if (auto cb = registered<DiskArbCallback_CallFailedNotification_t>(kDA_CALL_FAILED))
            cb(disk, type, error);
        return true;
    }
    case kDiskChanged: {
        char* disk = const_cast<char*>(in.getString());
        char* mountpoint = const_cast<char*>(in.getString());
        char* name = const_cast<char*>(in.getString());
        int flags = static_cast<int>(in.getInt());
        int success = static_cast<int>(in.getInt());
        if (!in.ok()) return false;
        if (auto cb = registered<DiskArbCallback_DiskChangedNotification_t>(kDA_DISK_CHANGED))
            cb(disk, mountpoint, name, flags, success);
        return true;
    }
    case kDiskWillBeChecked: {
        char* disk = const_cast<char*>(in.getString());
        int flags = static_cast<int>(in.getInt());
        char* ioContent = const_cast<char*>(in.getString());
        if (!in.ok()) return false;
        if (auto cb = registered<DiskArbCallback_DiskWillBeCheckedNotification_t>(
                kDA_DISK_WILL_BE_CHECKED))
            cb(disk, flags, ioContent);
        return true;
    }
    default:
        return false;
    }
}

} // namespace

extern "C" {

kern_return_t DiskArbStart(mach_port_t* clientPort) {
    if (!clientPort) return KERN_INVALID_ARGUMENT;
    mach_port_t port = connectToDaemon();
    if (port == MACH_PORT_NULL) return kDiskArbServiceUnavailable;
    mach_port_t previous = notificationPort.exchange(port);
    if (previous != MACH_PORT_NULL) mach_port_deallocate(mach_task_self(), previous);
    *clientPort = port;
    return KERN_SUCCESS;
}

void DiskArbAddCallbackHandler(int callbackType, void* callback, int overwrite) {
    if (callbackType < 0 || callbackType >= 32) return;
    std::lock_guard guard(callbacksMutex);
    if (overwrite || !callbacks[callbackType]) callbacks[callbackType] = callback;
}

#define REGISTER(Name, type)                                                                       \
    void DiskArbRegisterCallback_##Name(DiskArbCallback_##Name##_t callback) {                     \
        DiskArbAddCallbackHandler(type, reinterpret_cast<void*>(callback), 1);                     \
    }
REGISTER(CallFailedNotification, kDA_CALL_FAILED)
REGISTER(UnmountPreNotification, kDA_UNMOUNT_PRE_NOTIFY)
REGISTER(UnmountPostNotification, kDA_UNMOUNT_POST_NOTIFY)
REGISTER(EjectPreNotification, kDA_EJECT_PRE_NOTIFY)
REGISTER(EjectPostNotification, kDA_EJECT_POST_NOTIFY)
REGISTER(ClientDisconnectedNotification, kDA_CLIENT_DISCONNECTED)
REGISTER(DiskChangedNotification, kDA_DISK_CHANGED)
REGISTER(NotificationComplete, kDA_NOTIFICATION_COMPLETE)
REGISTER(DiskWillBeCheckedNotification, kDA_DISK_WILL_BE_CHECKED)
#undef REGISTER

kern_return_t DiskArbUpdateClientFlags(void) {
    MessageWriter out(kUpdateClientFlags);
    out.putInt(0);
    return sendTo(notificationPort.load(), out);
}

int DiskArbHandleMsg(mach_msg_header_t* inMsg, mach_msg_header_t* outMsg) {
    bool understood = false;
    mach_msg_header_t received = {};
    if (inMsg) {
        received = *inMsg;
        MessageReader in(inMsg, inMsg->msgh_size);
        understood = in.ok() && isNotification(in.id()) && dispatch(in);
    }
    if (outMsg) {
        // The reply: header and one status word, well inside the 1024-byte reply buffer.
        outMsg->msgh_bits = MACH_MSGH_BITS(MACH_MSG_TYPE_MOVE_SEND_ONCE, 0);
        outMsg->msgh_size = sizeof(mach_msg_header_t) + sizeof(uint32_t);
        outMsg->msgh_remote_port = received.msgh_remote_port;
        outMsg->msgh_local_port = MACH_PORT_NULL;
        outMsg->msgh_voucher_port = MACH_PORT_NULL;
        outMsg->msgh_id = received.msgh_id + kReplyOffset;
        uint32_t status = understood ? 0 : 1;
        std::memcpy(outMsg + 1, &status, sizeof status);
    }
    return understood ? 1 : 0;
}

kern_return_t DiskArbUnmountPreNotifyAck_async_auto(const char* diskIdentifier, int errorCode) {
    return acknowledge(kUnmountPreNotifyAck, diskIdentifier, errorCode);
}

kern_return_t DiskArbEjectPreNotifyAck_async_auto(const char* diskIdentifier, int errorCode) {
    return acknowledge(kEjectPreNotifyAck, diskIdentifier, errorCode);
}

kern_return_t DiskArbRequestMount_auto(const char* diskIdentifier) {
    if (!diskIdentifier) return -1;
    MessageWriter out(kRequestMount);
    out.putString(diskIdentifier);
    return request(out);
}

kern_return_t DiskArbUnmountRequest_auto(const char* diskIdentifier, unsigned int flags) {
    if (!diskIdentifier) return -1;
    MessageWriter out(kRequestUnmount);
    out.putString(diskIdentifier).putInt(flags);
    return request(out);
}

kern_return_t DiskArbEjectRequest_auto(const char* diskIdentifier, unsigned int flags) {
    if (!diskIdentifier) return -1;
    MessageWriter out(kRequestEject);
    out.putString(diskIdentifier).putInt(flags);
    return request(out);
}

kern_return_t DiskArbCopyStatus_auto(char* buffer, size_t size) {
    if (!buffer || size == 0) return -1;
    MessageWriter out(kRequestStatus);
    std::string text;
    kern_return_t status = request(out, &text);
    size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return status;
}

} // extern "C"
