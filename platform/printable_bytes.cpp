#include "printable_bytes.h"

#include <array>
#include <optional>

namespace platform {
namespace {

std::optional<int> HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return std::nullopt;
}

std::optional<char> SimpleEscape(char c) {
    switch (c) {
    case 'r':
        return '\r';
    case 'n':
        return '\n';
    case 't':
        return '\t';
    case '0':
        return '\0';
    case '\\':
        return '\\';
    default:
        return std::nullopt;
    }
}

} // namespace

std::string PrintableBytes(std::string_view bytes) {
    static constexpr std::array<char, 16> kHex = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                  '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\r':
            text += "\\r";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\\':
            text += "\\\\";
            break;
        default:
            if (byte >= 0x20 && byte < 0x7f) {
                text += c;
            } else {
                text += "\\x";
                text += kHex[byte >> 4];
                text += kHex[byte & 0x0f];
            }
        }
    }
    return text;
}

std::string UnescapeBytes(std::string_view text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char next = text[i + 1];
        if (const auto simple = SimpleEscape(next)) {
            bytes += *simple;
            ++i;
            continue;
        }
        if (next == 'x' && i + 3 < text.size()) {
            const auto high = HexDigitValue(text[i + 2]);
            const auto low = HexDigitValue(text[i + 3]);
            if (high && low) {
                bytes += static_cast<char>(*high * 16 + *low);
                i += 3;
                continue;
            }
        }
        bytes += text[i];
    }
    return bytes;
}

} // namespace platform
