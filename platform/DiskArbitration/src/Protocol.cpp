#include "Protocol.h"
#include <cstdlib>

namespace diskarb {

std::string socketPath() {
    const char* path = std::getenv(kSocketEnvironment);
    return path && *path ? path : kDefaultSocketPath;
}

MessageWriter::MessageWriter(mach_msg_id_t id, bool wantsReply)
    : buffer_(sizeof(mach_msg_header_t)) {
    mach_msg_header_t* h = header();
    h->msgh_bits =
        MACH_MSGH_BITS(MACH_MSG_TYPE_COPY_SEND, wantsReply ? MACH_MSG_TYPE_MAKE_SEND_ONCE : 0);
    h->msgh_id = id;
}

MessageWriter& MessageWriter::putInt(uint32_t value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    buffer_.insert(buffer_.end(), p, p + sizeof value);
    return *this;
}

MessageWriter& MessageWriter::putDouble(double value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    buffer_.insert(buffer_.end(), p, p + sizeof value);
    return *this;
}

MessageWriter& MessageWriter::putString(std::string_view value) {
    if (value.size() > kMaxString) value = value.substr(0, kMaxString);
    putInt(static_cast<uint32_t>(value.size()));
    buffer_.insert(buffer_.end(), value.begin(), value.end());
    buffer_.push_back(0);
    while (buffer_.size() % 4)
        buffer_.push_back(0);
    return *this;
}

const std::vector<uint8_t>& MessageWriter::bytes() {
    header()->msgh_size = static_cast<mach_msg_size_t>(buffer_.size());
    return buffer_;
}

MessageReader::MessageReader(const void* message, size_t size)
    : bytes_(static_cast<const uint8_t*>(message)), size_(size), offset_(sizeof(mach_msg_header_t)),
      ok_(message && size >= sizeof(mach_msg_header_t)) {
    if (ok_) {
        mach_msg_header_t header;
        std::memcpy(&header, bytes_, sizeof header);
        id_ = header.msgh_id;
    }
}

const uint8_t* MessageReader::take(size_t count) {
    if (!ok_ || count > size_ - offset_) {
        ok_ = false;
        return nullptr;
    }
    const uint8_t* p = bytes_ + offset_;
    offset_ += count;
    return p;
}

uint32_t MessageReader::getInt() {
    uint32_t value = 0;
    if (const uint8_t* p = take(sizeof value)) std::memcpy(&value, p, sizeof value);
    return value;
}

double MessageReader::getDouble() {
    double value = 0;
    if (const uint8_t* p = take(sizeof value)) std::memcpy(&value, p, sizeof value);
    return value;
}

const char* MessageReader::getString() {
    uint32_t length = getInt();
    if (!ok_ || length > kMaxString) {
        ok_ = false;
        return nullptr;
    }
    size_t padded = (length + 1 + 3) & ~size_t{3};
    const uint8_t* p = take(padded);
    if (!p || p[length] != 0 || std::memchr(p, 0, length)) {
        ok_ = false;
        return nullptr;
    }
    return reinterpret_cast<const char*>(p);
}

} // namespace diskarb
