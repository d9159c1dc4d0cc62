// Conversions between UTF-8 and UTF-16 for strings.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cf::unicode {

// What decodeUTF8 does with a malformed sequence (an overlong form, an encoded surrogate, a
// value past U+10FFFF, a stray or missing trail byte).
enum class Malformed { Refuse, Replace };

// UTF-8 to UTF-16. Refuse: nullopt for any malformed sequence (strict UTF-8). Replace: each
// malformed sequence becomes one U+FFFD and decoding goes on (never nullopt).
std::optional<std::u16string> decodeUTF8(std::string_view bytes,
                                         Malformed malformed = Malformed::Refuse);
// Unpaired surrogates become U+FFFD.
std::string encodeUTF8(std::u16string_view units);
// The UTF-8 length of the units when encoded as encodeUTF8 does.
size_t utf8Length(std::u16string_view units);

} // namespace cf::unicode
