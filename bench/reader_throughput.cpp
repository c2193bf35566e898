#include "reader_throughput.h"

#include "serial_link/reply_reader.h"

#include "platform/platform.h"

#include <cstring>

namespace bench {
namespace {

constexpr qsizetype kChunkBytes = 4096;

// Hands the input over one chunk at a time, whenever the reader has run dry, as a
// port does when the reader keeps up with the line.
class ChunkedPort : public platform::SerialPort {
public:
    explicit ChunkedPort(const QByteArray& input) : m_input(input) {}

    bool exhausted() const { return m_next >= m_input.size(); }
    void arm() { m_armed = true; }

    void setCommPort(int) override {}
    int commPort() const override { return 1; }
    void setSettings(const QString&) override {}
    void setRtsEnable(bool) override {}
    void setInputLen(int) override {}
    bool open() override { return true; }
    QString errorDescription() const override { return {}; }
    void close() override {}
    bool isOpen() const override { return true; }
    void discardInput() override {}
    void write(const QByteArray&) override {}
    QByteArray readAll() override {
        if (!m_armed)
            return {};
        m_armed = false;
        const QByteArray chunk = m_input.mid(m_next, kChunkBytes);
        m_next += chunk.size();
        return chunk;
    }
    bool waitForInput(std::chrono::milliseconds) override { return m_armed; }
    QString deviceFor(int) const override { return {}; }
    QList<platform::PortAssignment> discoverPorts() const override { return {}; }
    QString openedDevice() const override { return {}; }

private:
    const QByteArray& m_input;
    qsizetype m_next = 0;
    bool m_armed = false;
};

class NoSettings : public platform::SettingsStore {
public:
    QString value(const QString&, const QString&, const QString& fallback) const override {
        return fallback;
    }
    bool setValue(const QString&, const QString&, const QString&) override { return true; }
};

class NoMessages : public platform::MessageBox {
public:
    void show(platform::MessageIcon, const QString&) override {}
};

class NoPacing : public platform::Pacing {
public:
    Clock::time_point now() const override { return Clock::now(); }
    void sleepFor(std::chrono::milliseconds) override {}
    void processEvents() override {}
};

} // namespace

QByteArray MixedInput(qsizetype bytes) {
    static const char* const pieces[] = {
        "[READY]",  "[OK]",
        "\r\n",     "[Cordelo-BT][1234][9600][1][N][SLAVE]",
        "noise ",   "[0000 00 00 0000][0012 6f 3a 9b 01][0][DISCOVERABLE][PIN_ON][v2.0]",
        "]",        "[[x]",
        "\x01\x7f", "[]"};
    QByteArray input;
    input.reserve(bytes + 128);
    for (std::size_t i = 0; input.size() < bytes; ++i)
        input += pieces[(i * 7) % std::size(pieces)];
    input.truncate(bytes);
    return input;
}

ReaderThroughput MeasureReader(const QByteArray& input) {
    using Clock = std::chrono::steady_clock;
    ReaderThroughput result;

    ChunkedPort port(input);
    NoSettings settings;
    NoMessages messages;
    NoPacing pacing;
    platform::Platform services{port, settings, messages, pacing};
    modComm::Link link{services, {}};

    const auto readerStart = Clock::now();
    for (;;) {
        if (modComm::ReadCompleteToken(link)) {
            ++result.tokens;
        } else if (port.exhausted()) {
            break;
        } else {
            port.arm();
        }
    }
    result.readerTime = Clock::now() - readerStart;

    const auto memchrStart = Clock::now();
    qsizetype closings = 0;
    const char* cursor = input.constData();
    const char* const end = cursor + input.size();
    while (const void* found = std::memchr(cursor, ']', static_cast<std::size_t>(end - cursor))) {
        ++closings;
        cursor = static_cast<const char*>(found) + 1;
    }
    result.memchrTime = Clock::now() - memchrStart;
    if (closings != result.tokens)
        result.tokens = -1;
    return result;
}

} // namespace bench
