// What the simulated module holds in memory and how it misbehaves on purpose.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace virtual_module {

// One character at 9600 baud: a start bit, eight data bits and a stop bit.
inline constexpr std::chrono::nanoseconds kCharPeriod9600{1'041'667};

// The module's settings, as the twelve fields of the query reply report them.
struct ModuleSettings {
    std::string name = "Cordelo-BT";
    std::string pin = "1234";
    std::string baud = "9600";
    std::string stopBits = "1";
    std::string parity = "N";
    bool master = false;
    std::string connectAddress = "0000 00 00 0000";
    std::string ownAddress = "0012 6f 3a 9b 01";
    std::string field9 = "0";
    bool discoverable = true;
    bool pinRequested = true;
    // Answers "<VERS>" and is field 12 of the query reply.
    std::string firmware = "v2.0";

    bool operator==(const ModuleSettings&) const = default;
};

// Deliberate faults, for drills. The defaults describe a healthy module.
struct Faults {
    // Logs every command but answers none and applies none.
    bool silent = false;
    // Pings before this attempt (counted from 1 over the whole run) get no answer.
    int answerPingsFrom = 1;
    // The acknowledgement token of every write command.
    std::string ackText = "OK";
    // A command keyword ("ADDR", "PING", ...) that is neither answered nor applied.
    std::string noReplyTo;
    // A write command keyword ("NAME", "SLAVE", ...) that is acknowledged but not stored.
    std::string forget;
    // Pause between receiving "<QUERY>" and the first byte of its reply.
    std::chrono::milliseconds queryDelay{0};
    // Cuts the query reply after this many bytes ...
    std::optional<std::size_t> queryCutAt;
    // ... and sends the rest after this pause.
    std::chrono::milliseconds queryCutPause{300};
    // Bytes put on the line before every reply token (outside the brackets).
    std::string noise;
    // Goes silent this long after start().
    std::optional<std::chrono::milliseconds> silentAfter;
    // Closes the pty master this long after start(), as if the module were unplugged.
    std::optional<std::chrono::milliseconds> hangUpAfter;

    bool operator==(const Faults&) const = default;
};

// What a noise drill puts between tokens when no bytes are given.
inline const std::string kDefaultNoise = std::string("\r\n~\x07 ", 5);

} // namespace virtual_module
