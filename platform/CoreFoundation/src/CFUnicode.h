// Conversions between UTF-8 and UTF-16 for strings.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cf::unicode {

// Strict UTF-8: overlong forms, encoded surrogates and values past U+10FFFF are refused.
std::optional<std::u16string> decodeUTF8(std::string_view bytes);
// Unpaired surrogates become U+FFFD.
std::string encodeUTF8(std::u16string_view units);
// The UTF-8 length of the units when encoded as encodeUTF8 does.
size_t utf8Length(std::u16string_view units);

} // namespace cf::unicode
