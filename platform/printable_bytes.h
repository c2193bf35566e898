// Line bytes as readable log text: control and non-ASCII bytes become escapes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// "\r", "\n", "\t", "\\" and "\xHH" for everything outside printable ASCII.
std::string PrintableBytes(std::string_view bytes);

// The reverse of PrintableBytes, for texts given on the command line. Unknown or
// incomplete escapes are kept as they stand.
std::string UnescapeBytes(std::string_view text);

} // namespace platform
