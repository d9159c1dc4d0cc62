// Builds an attribute-list reply: fixed-size values in request order, then the bytes that
// attribute references point to, then copies as much as the caller's buffer holds.
#pragma once
#include <System/attr.h>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace macos::detail {

class AttrReply {
  public:
    // The length field comes first; with returnedAttrs, the attribute set follows it.
    AttrReply();

    void put32(uint32_t value);
    void put64(uint64_t value);
    void putTimespec(timespec value);
    // Fixed-size bytes, padded to 4.
    void putBytes(const void* bytes, size_t length);
    // An attrreference_t to text stored NUL-terminated after the fixed part.
    void putReference(std::string_view text);
    // Where a later set() may write 20 bytes of attribute_set_t.
    size_t reserveAttributeSet();
    void setAttributeSet(size_t at, const attribute_set_t& set);

    // The full size the reply needs.
    size_t size() const;
    // Copies the reply into buf, cut to bufSize; the length field holds the bytes copied, or
    // with reportFullSize, the full size. bufSize must be at least 4.
    void copyOut(void* buf, size_t bufSize, bool reportFullSize) const;

  private:
    struct Reference {
        size_t at;     // where the attrreference_t sits in fixed_
        size_t offset; // where its data starts in variable_
    };
    std::vector<uint8_t> fixed_;
    std::vector<uint8_t> variable_;
    std::vector<Reference> references_;
};

} // namespace macos::detail
