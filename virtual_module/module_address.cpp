#include "module_address.h"

#include <cstdint>

namespace virtual_module {
namespace {

constexpr int kAddressDigits = 12;
constexpr std::uint64_t kLargestAddress = (std::uint64_t{1} << (4 * kAddressDigits)) - 1;

std::optional<unsigned> HexValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    return std::nullopt;
}

} // namespace

std::optional<std::string> AddressAfter(const std::string& first, unsigned offset) {
    std::uint64_t value = 0;
    int digits = 0;
    for (const char c : first) {
        if (const auto digit = HexValue(c)) {
            value = value * 16 + *digit;
            ++digits;
        } else if (c != ' ') {
            return std::nullopt;
        }
    }
    if (digits != kAddressDigits || kLargestAddress - value < offset)
        return std::nullopt;
    value += offset;

    std::string address = first;
    for (auto at = address.rbegin(); at != address.rend(); ++at) {
        if (*at == ' ')
            continue;
        *at = "0123456789abcdef"[value % 16];
        value /= 16;
    }
    return address;
}

} // namespace virtual_module
