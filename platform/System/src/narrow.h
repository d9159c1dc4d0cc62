// Linux values narrowed into the 32-bit members of the Mac records.
#pragma once
#include <System/types.h>
#include <cstdint>
#include <limits>

namespace macos::detail {

// A device number the Mac way: major in the top 8 bits, minor in the low 24.
inline dev_t makeDev(uint32_t major, uint32_t minor) {
    return static_cast<dev_t>((major << 24) | (minor & 0x00ffffffu));
}

// Seconds clamped into 32 bits, so a far date saturates instead of wrapping into the past.
inline time_t narrowTime(int64_t seconds) {
    constexpr int64_t lo = std::numeric_limits<time_t>::min();
    constexpr int64_t hi = std::numeric_limits<time_t>::max();
    return static_cast<time_t>(seconds < lo ? lo : seconds > hi ? hi : seconds);
}

template <typename T> T saturate(uint64_t value) {
    constexpr uint64_t hi = std::numeric_limits<T>::max();
    return static_cast<T>(value > hi ? hi : value);
}

} // namespace macos::detail
