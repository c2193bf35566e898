// The address key set and layout check, on character codes and positions.
#include "address_rules.h"

#include <array>

namespace main_window {

namespace {

constexpr int kBackspace = 8;
constexpr int kBlank = 32;
constexpr std::array<int, 3> kBlankPositions = {5, 8, 11};

} // namespace

bool IsAddressKey(int code) {
    return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'F') ||
           (code >= 'a' && code <= 'f') || code == kBlank || code == kBackspace;
}

bool HasAddressFormat(const QString& text) {
    if (text.size() != kAddressLength)
        return false;
    for (const int position : kBlankPositions) {
        if (text.at(position - 1) != QChar(kBlank))
            return false;
    }
    return true;
}

} // namespace main_window
