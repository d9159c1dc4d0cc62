// The BSD scalar types of the 32-bit Mac platform whose records the natives copy.
#pragma once
#include <cstdint>

namespace macos {

using dev_t = int32_t;
using ino_t = uint32_t;
using mode_t = uint16_t;
using nlink_t = uint16_t;
using uid_t = uint32_t;
using gid_t = uint32_t;
using off_t = int64_t;
using blkcnt_t = int64_t;
using blksize_t = uint32_t;
using time_t = int32_t;

struct timespec {
    time_t tv_sec;
    int32_t tv_nsec;
};

} // namespace macos
