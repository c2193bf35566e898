// The module's answers: applies one framed command to the settings and says what
// goes back on the line. No I/O and no clock, so every rule is testable alone.
#pragma once

#include "module_settings.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace virtual_module {

// One piece of output: sent when the line is free and the pause has passed.
struct Segment {
    std::string bytes;
    // Counted from when the segment could start: the command's arrival, or the end
    // of the segment before it on the line, whichever is later.
    std::chrono::milliseconds pauseBefore{0};
    std::string label;
};

struct Response {
    // Empty when the module answers nothing.
    std::vector<Segment> segments;
    // What the module did or why it kept quiet, for the log.
    std::string note;
};

// "<NAME=x>" gives "NAME", "<PING>" gives "PING"; brackets are optional.
std::string CommandKeyword(std::string_view command);

// The twelve fields of the query reply, in the order of the settings query.
std::vector<std::string> QueryFields(const ModuleSettings& settings);

// Each token in brackets, with the noise before every one of them.
std::string FormatTokens(const std::vector<std::string>& tokens, std::string_view noise);

class CommandHandler {
public:
    explicit CommandHandler(ModuleSettings settings = {}) : m_settings(std::move(settings)) {}

    // silentNow: the module is silent at this moment, by option or by timer.
    Response handle(std::string_view command, const Faults& faults, bool silentNow);

    const ModuleSettings& settings() const { return m_settings; }
    int pingsReceived() const { return m_pingsReceived; }

private:
    Response answer(const std::vector<std::string>& tokens, const Faults& faults,
                    std::string note = {}) const;
    Response acknowledge(const Faults& faults, std::string note) const;
    Response answerQuery(const Faults& faults) const;
    bool applyWrite(std::string_view keyword, std::string_view parameter, std::string& note);
    bool applySwitch(std::string_view keyword, std::string& note);

    ModuleSettings m_settings;
    int m_pingsReceived = 0;
};

} // namespace virtual_module
