#include "command_handler.h"

#include "platform/printable_bytes.h"

#include <utility>

namespace virtual_module {
namespace {

std::string_view StripBrackets(std::string_view command) {
    if (!command.empty() && command.front() == '<')
        command.remove_prefix(1);
    if (!command.empty() && command.back() == '>')
        command.remove_suffix(1);
    return command;
}

std::string Quoted(std::string_view text) {
    // Appended rather than "\"" + ..., which GCC 12 misreads as an overlapping copy.
    std::string quoted(1, '"');
    quoted += platform::PrintableBytes(text);
    quoted += '"';
    return quoted;
}

} // namespace

std::string CommandKeyword(std::string_view command) {
    const std::string_view body = StripBrackets(command);
    return std::string(body.substr(0, body.find('=')));
}

std::vector<std::string> QueryFields(const ModuleSettings& settings) {
    return {
        settings.name,
        settings.pin,
        settings.baud,
        settings.stopBits,
        settings.parity,
        settings.master ? "MASTER" : "SLAVE",
        settings.connectAddress,
        settings.ownAddress,
        settings.field9,
        settings.discoverable ? "DISCOVERABLE" : "INVISIBLE",
        settings.pinRequested ? "PIN_ON" : "PIN_OFF",
        settings.firmware,
    };
}

std::string FormatTokens(const std::vector<std::string>& tokens, std::string_view noise) {
    std::string bytes;
    for (const std::string& token : tokens) {
        bytes += noise;
        bytes += '[';
        bytes += token;
        bytes += ']';
    }
    return bytes;
}

Response CommandHandler::handle(std::string_view command, const Faults& faults, bool silentNow) {
    const std::string_view body = StripBrackets(command);
    const std::string keyword = CommandKeyword(command);

    if (keyword == "PING")
        ++m_pingsReceived;
    if (silentNow)
        return {{}, "silent: no reply"};
    if (!faults.noReplyTo.empty() && keyword == CommandKeyword(faults.noReplyTo))
        return {{}, "no reply to " + keyword + " (fault option): not applied"};

    if (body == "PING") {
        if (m_pingsReceived < faults.answerPingsFrom) {
            return {{},
                    "ping " + std::to_string(m_pingsReceived) +
                        " not answered (answering from ping " +
                        std::to_string(faults.answerPingsFrom) + ")"};
        }
        return answer({"READY"}, faults);
    }
    if (body == "VERS")
        return answer({m_settings.firmware}, faults);
    if (body == "QUERY")
        return answerQuery(faults);
    if (body == "RESET")
        return {{}, "reset: no reply"};

    if (!faults.forget.empty() && keyword == CommandKeyword(faults.forget))
        return acknowledge(faults,
                           "acknowledged " + keyword + " but did not store it (fault option)");

    std::string note;
    if (const auto equals = body.find('='); equals != std::string_view::npos) {
        if (applyWrite(keyword, body.substr(equals + 1), note))
            return acknowledge(faults, std::move(note));
    } else if (applySwitch(keyword, note)) {
        return acknowledge(faults, std::move(note));
    }
    return {{}, "unknown command: no reply"};
}

Response CommandHandler::answer(const std::vector<std::string>& tokens, const Faults& faults,
                                std::string note) const {
    Response response;
    response.segments.push_back({FormatTokens(tokens, faults.noise), {}, "reply"});
    response.note = std::move(note);
    return response;
}

Response CommandHandler::acknowledge(const Faults& faults, std::string note) const {
    return answer({faults.ackText}, faults, std::move(note));
}

Response CommandHandler::answerQuery(const Faults& faults) const {
    std::string bytes = FormatTokens(QueryFields(m_settings), faults.noise);
    Response response;
    if (faults.queryCutAt && *faults.queryCutAt > 0 && *faults.queryCutAt < bytes.size()) {
        const std::size_t cut = *faults.queryCutAt;
        response.segments.push_back(
            {bytes.substr(0, cut), faults.queryDelay, "query reply, part 1 of 2"});
        response.segments.push_back(
            {bytes.substr(cut), faults.queryCutPause, "query reply, part 2 of 2"});
        response.note = "query reply cut after byte " + std::to_string(cut);
    } else {
        response.segments.push_back({std::move(bytes), faults.queryDelay, "query reply"});
    }
    if (faults.queryDelay.count() > 0) {
        if (!response.note.empty())
            response.note += ", ";
        response.note +=
            "query reply delayed by " + std::to_string(faults.queryDelay.count()) + " ms";
    }
    return response;
}

bool CommandHandler::applyWrite(std::string_view keyword, std::string_view parameter,
                                std::string& note) {
    std::string* field = nullptr;
    const char* what = nullptr;
    if (keyword == "NAME") {
        field = &m_settings.name;
        what = "name";
    } else if (keyword == "PKEY") {
        field = &m_settings.pin;
        what = "PIN";
    } else if (keyword == "BAUD") {
        field = &m_settings.baud;
        what = "baud rate";
    } else if (keyword == "SBIT") {
        field = &m_settings.stopBits;
        what = "stop bits";
    } else if (keyword == "PRTY") {
        field = &m_settings.parity;
        what = "parity";
    } else if (keyword == "ADDR") {
        field = &m_settings.connectAddress;
        what = "connect address";
    } else {
        return false;
    }
    field->assign(parameter);
    note = std::string(what) + " set to " + Quoted(parameter);
    return true;
}

bool CommandHandler::applySwitch(std::string_view keyword, std::string& note) {
    if (keyword == "MASTER" || keyword == "SLAVE") {
        m_settings.master = keyword == "MASTER";
        note = "role set to " + std::string(keyword);
    } else if (keyword == "DISCOVERABLE" || keyword == "INVISIBLE") {
        m_settings.discoverable = keyword == "DISCOVERABLE";
        note = "visibility set to " + std::string(keyword);
    } else if (keyword == "PIN_ON" || keyword == "PIN_OFF") {
        m_settings.pinRequested = keyword == "PIN_ON";
        note = "PIN request set to " + std::string(keyword);
    } else {
        return false;
    }
    return true;
}

} // namespace virtual_module
