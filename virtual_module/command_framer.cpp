#include "command_framer.h"

namespace virtual_module {

CommandFramer::Result CommandFramer::feed(std::string_view bytes) {
    Result result;
    for (const char c : bytes) {
        if (c == '<') {
            // A new start abandons an unfinished command, as a module that lost a byte would.
            if (m_inCommand)
                result.ignored += m_command;
            m_command.assign(1, c);
            m_inCommand = true;
            continue;
        }
        if (!m_inCommand) {
            result.ignored += c;
            continue;
        }
        m_command += c;
        if (c == '>') {
            result.commands.push_back(std::move(m_command));
            m_command.clear();
            m_inCommand = false;
        } else if (m_command.size() > kMaxCommandBytes) {
            result.ignored += m_command;
            m_command.clear();
            m_inCommand = false;
        }
    }
    return result;
}

} // namespace virtual_module
