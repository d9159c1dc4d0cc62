// The messages between the disk arbitration daemon and its clients. Each is one Mach message:
// the header, then the fields in order (32-bit integers, doubles, and strings written as a
// 32-bit length, the bytes, a NUL and padding to four bytes). Readers check every length
// against the message, so a short or forged message is refused, never read past its end.
#pragma once
#include <cstdint>
#include <cstring>
#include <mach/message.h>
#include <string>
#include <string_view>
#include <vector>

namespace diskarb {

// The daemon's socket unless QUINTAVER_DISKARB_SOCKET names another.
inline constexpr const char* kDefaultSocketPath = "/run/quintaver/diskarbitration/daemon.sock";
inline constexpr const char* kSocketEnvironment = "QUINTAVER_DISKARB_SOCKET";
std::string socketPath();

// Longest string field (a mount point, a device path, a name).
inline constexpr uint32_t kMaxString = 4096;

enum MessageId : mach_msg_id_t {
    // client -> daemon
    kUpdateClientFlags = 500, // flags: the client is ready; the daemon sends the disks it knows
    kRequestMount,            // disk
    kRequestUnmount,          // disk, flags
    kRequestEject,            // disk, flags
    kUnmountPreNotifyAck,     // disk, answer
    kEjectPreNotifyAck,       // disk, answer
    kRequestStatus,           // (nothing)

    // daemon -> client notifications; the client answers each with a reply of id + kReplyOffset
    kDiskAppearedComplete = 1000, // disk, flags, mountpoint, ioContent, deviceTreePath,
                                  // sequenceNumber, timeAppeared, fsType, fsName
    kUnmountPreNotify,            // disk, flags
    kUnmountPostNotify,           // disk, errorCode, pid
    kEjectPreNotify,              // disk, flags
    kEjectPostNotify,             // disk, errorCode, pid
    kNotificationComplete,        // messageType
    kCallFailed,                  // disk, type, error
    kDiskChanged,                 // disk, mountpoint, newVolumeName, flags, success
    kDiskWillBeChecked,           // disk, flags, ioContent

    // daemon -> requester
    kRequestResult = 2000, // status
    kStatusText,           // text
};
inline constexpr mach_msg_id_t kReplyOffset = 100;
inline bool isNotification(mach_msg_id_t id) {
    return id >= kDiskAppearedComplete && id <= kDiskWillBeChecked;
}

// Builds one message; bytes() is ready to send after the last field.
class MessageWriter {
  public:
    explicit MessageWriter(mach_msg_id_t id, bool wantsReply = false);
    MessageWriter& putInt(uint32_t value);
    MessageWriter& putDouble(double value);
    MessageWriter& putString(std::string_view value); // longer than kMaxString: cut there
    const std::vector<uint8_t>& bytes();
    mach_msg_header_t* header() { return reinterpret_cast<mach_msg_header_t*>(buffer_.data()); }

  private:
    std::vector<uint8_t> buffer_;
};

// Reads the fields of one received message in order. After a failed read every later read
// fails too and ok() is false; strings point into the message and end in a NUL.
class MessageReader {
  public:
    MessageReader(const void* message, size_t size);
    mach_msg_id_t id() const { return id_; }
    uint32_t getInt();
    double getDouble();
    const char* getString();
    bool ok() const { return ok_; }

  private:
    const uint8_t* take(size_t count);
    const uint8_t* bytes_;
    size_t size_;
    size_t offset_;
    mach_msg_id_t id_ = 0;
    bool ok_;
};

} // namespace diskarb
