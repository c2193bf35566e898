// The connect-to address as the user enters it: which typed characters the box takes,
// and the layout it must have, "xxxx xx xx xxxx".
#pragma once

#include <QString>

namespace main_window {

inline constexpr int kAddressLength = 15;

// Hexadecimal digits of either case, the blank and backspace.
bool IsAddressKey(int code);

// Fifteen characters with blanks at positions 5, 8 and 11 (counting from 1); the other
// characters are not looked at.
bool HasAddressFormat(const QString& text);

} // namespace main_window
