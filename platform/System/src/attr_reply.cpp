#include "attr_reply.h"

#include <algorithm>
#include <cstring>

namespace macos::detail {

namespace {
void append(std::vector<uint8_t>& to, const void* bytes, size_t length) {
    auto* b = static_cast<const uint8_t*>(bytes);
    to.insert(to.end(), b, b + length);
    to.resize((to.size() + 3) & ~size_t{3}, 0);
}

template <typename T> void appendValue(std::vector<uint8_t>& to, T value) {
    append(to, &value, sizeof value);
}
} // namespace

AttrReply::AttrReply() {
    appendValue<uint32_t>(fixed_, 0);
}

void AttrReply::put32(uint32_t value) {
    appendValue(fixed_, value);
}

// off_t and 64-bit counts sit on 4-byte boundaries in the 32-bit layout: no padding before.
void AttrReply::put64(uint64_t value) {
    appendValue(fixed_, value);
}

void AttrReply::putTimespec(timespec value) {
    appendValue(fixed_, value.tv_sec);
    appendValue(fixed_, value.tv_nsec);
}

void AttrReply::putBytes(const void* bytes, size_t length) {
    append(fixed_, bytes, length);
}

void AttrReply::putReference(std::string_view text) {
    references_.push_back({fixed_.size(), variable_.size()});
    attrreference_t reference{0, static_cast<uint32_t>(text.size() + 1)};
    appendValue(fixed_, reference);
    variable_.insert(variable_.end(), text.begin(), text.end());
    variable_.push_back(0);
    variable_.resize((variable_.size() + 3) & ~size_t{3}, 0);
}

size_t AttrReply::reserveAttributeSet() {
    size_t at = fixed_.size();
    appendValue(fixed_, attribute_set_t{});
    return at;
}

void AttrReply::setAttributeSet(size_t at, const attribute_set_t& set) {
    std::memcpy(fixed_.data() + at, &set, sizeof set);
}

size_t AttrReply::size() const {
    return fixed_.size() + variable_.size();
}

void AttrReply::copyOut(void* buf, size_t bufSize, bool reportFullSize) const {
    std::vector<uint8_t> whole(fixed_);
    for (const auto& ref : references_) {
        int32_t offset = static_cast<int32_t>(fixed_.size() + ref.offset - ref.at);
        std::memcpy(whole.data() + ref.at, &offset, sizeof offset);
    }
    whole.insert(whole.end(), variable_.begin(), variable_.end());
    size_t copied = std::min(bufSize, whole.size());
    uint32_t length = static_cast<uint32_t>(reportFullSize ? whole.size() : copied);
    std::memcpy(whole.data(), &length, sizeof length);
    std::memcpy(buf, whole.data(), copied);
}

} // namespace macos::detail
