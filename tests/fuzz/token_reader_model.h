// A reference model of the token scanner, written straight from its transition table:
// one character at a time, no cleverness, so the real reader can be checked against it.
#pragma once

#include <optional>
#include <string>

namespace fuzz {

struct TokenReaderModel {
    std::string rxBuffer;
    std::string tokenText;
    bool inToken = false;

    void flush() { rxBuffer.clear(); }

    std::optional<std::string> read(const std::string& arrived) {
        rxBuffer += arrived;
        std::optional<std::string> result;
        std::size_t scanned = 0;
        while (scanned < rxBuffer.size() && !result) {
            const char c = rxBuffer[scanned++];
            if (c == '[') {
                tokenText.clear();
                inToken = true;
            } else if (c == ']') {
                result = tokenText;
                tokenText.clear();
                inToken = false;
            } else if (inToken) {
                tokenText += c;
            }
        }
        rxBuffer.erase(0, scanned);
        return result;
    }
};

} // namespace fuzz
