#include "CFUnicode.h"

#include <cstdint>

namespace cf::unicode {

std::optional<std::u16string> decodeUTF8(std::string_view bytes, Malformed malformed) {
    std::u16string units;
    units.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<uint8_t>(bytes[i]);
        if (lead < 0x80) {
            units.push_back(lead);
            ++i;
            continue;
        }
        int trail = 0;
        char32_t c = 0, minimum = 0;
        if ((lead & 0xe0) == 0xc0) {
            trail = 1, c = lead & 0x1f, minimum = 0x80;
        } else if ((lead & 0xf0) == 0xe0) {
            trail = 2, c = lead & 0x0f, minimum = 0x800;
        } else if ((lead & 0xf8) == 0xf0) {
            trail = 3, c = lead & 0x07, minimum = 0x10000;
        }
        // The lead byte and the trail bytes that follow it, up to the sequence's length.
        size_t taken = 1;
        bool whole = trail > 0;
        for (int k = 1; whole && k <= trail; ++k, ++taken) {
            if (i + k >= bytes.size() || (static_cast<uint8_t>(bytes[i + k]) & 0xc0) != 0x80) {
                whole = false;
                break;
            }
            c = c << 6 | (static_cast<uint8_t>(bytes[i + k]) & 0x3f);
        }
        if (!whole || c < minimum || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) {
            if (malformed == Malformed::Refuse) return std::nullopt;
            units.push_back(u'\ufffd');
            i += taken;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            units.push_back(static_cast<char16_t>(0xd800 + (c >> 10)));
            units.push_back(static_cast<char16_t>(0xdc00 + (c & 0x3ff)));
        } else {
            units.push_back(static_cast<char16_t>(c));
        }
        i += taken;
    }
    return units;
}

namespace {

// The code point at units[i] and how many units it takes.
char32_t codePointAt(std::u16string_view units, size_t i, size_t& width) {
    char16_t u = units[i];
    width = 1;
    if (u >= 0xd800 && u <= 0xdbff && i + 1 < units.size()) {
        char16_t low = units[i + 1];
        if (low >= 0xdc00 && low <= 0xdfff) {
            width = 2;
            return 0x10000 + ((char32_t(u) - 0xd800) << 10) + (low - 0xdc00);
        }
    }
    if (u >= 0xd800 && u <= 0xdfff) return 0xfffd;
    return u;
}

} // namespace

std::string encodeUTF8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0, width; i < units.size(); i += width) {
        char32_t c = codePointAt(units, i, width);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xc0 | c >> 6));
            out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xe0 | c >> 12));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        } else {
            out.push_back(static_cast<char>(0xf0 | c >> 18));
            out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        }
    }
    return out;
}

size_t utf8Length(std::u16string_view units) {
    size_t length = 0;
    for (size_t i = 0, width; i < units.size(); i += width) {
        char32_t c = codePointAt(units, i, width);
        length += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    }
    return length;
}

} // namespace cf::unicode
