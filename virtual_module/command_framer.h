// Cuts the incoming byte stream into "<...>" commands. The tool sends no line
// terminator, so the brackets are the only framing there is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace virtual_module {

class CommandFramer {
public:
    struct Result {
        // Complete commands, brackets included, in the order they arrived.
        std::vector<std::string> commands;
        // Bytes that were not part of any complete command (noise, cut-off starts).
        std::string ignored;
    };

    // A command longer than this is dropped: no real command comes near it, and a
    // flood without ">" must not grow the buffer without bound.
    static constexpr std::size_t kMaxCommandBytes = 256;

    Result feed(std::string_view bytes);
    bool inCommand() const { return m_inCommand; }

private:
    bool m_inCommand = false;
    std::string m_command;
};

} // namespace virtual_module
