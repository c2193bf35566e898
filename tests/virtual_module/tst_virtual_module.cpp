// The virtual module as the tool meets it: through the slave side of its
// pseudo-terminal, opened here with plain POSIX calls; plus its framing rules, its
// [Ports] mapping and its command-line program.
#include "virtual_module/command_framer.h"
#include "virtual_module/command_handler.h"
#include "virtual_module/port_mapping.h"
#include "platform/printable_bytes.h"
#include "virtual_module/virtual_module.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using virtual_module::Faults;
using virtual_module::VirtualModule;
using virtual_module::VirtualModuleOptions;
using Clock = std::chrono::steady_clock;

namespace {

// Long enough for any reply here to arrive at 9600 baud, short enough to keep the
// suite quick. Nothing is asserted against it except "it came at all".
constexpr auto kReplyTimeout = 2000ms;
// How long a module that should stay quiet is watched.
constexpr auto kQuietWindow = 150ms;

const std::string kDefaultQueryReply = "[Cordelo-BT][1234][9600][1][N][SLAVE][0000 00 00 0000]"
                                       "[0012 6f 3a 9b 01][0][DISCOVERABLE][PIN_ON][v2.0]";

// The tool's end of the line: the slave device, raw, read with poll and timeouts.
class SlaveLine {
public:
    struct Arrival {
        Clock::time_point at;
        std::size_t bytes;
    };

    explicit SlaveLine(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios settings{};
        if (::tcgetattr(m_fd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~SlaveLine() { close(); }
    SlaveLine(const SlaveLine&) = delete;
    SlaveLine& operator=(const SlaveLine&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool send(const std::string& text) const {
        return ::write(m_fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // Everything that arrives until `count` bytes are in or the timeout passes.
    std::string read(std::size_t count, std::chrono::milliseconds timeout = kReplyTimeout) {
        const auto deadline = Clock::now() + timeout;
        std::string received;
        while (received.size() < count) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left <= 0ms)
                break;
            pollfd fd{m_fd, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                break;
            std::array<char, 512> buffer{};
            const ssize_t got =
                ::read(m_fd, buffer.data(), std::min(buffer.size(), count - received.size()));
            if (got <= 0)
                break;
            received.append(buffer.data(), static_cast<std::size_t>(got));
            m_arrivals.push_back({Clock::now(), static_cast<std::size_t>(got)});
        }
        return received;
    }

    // Everything that arrives within the window.
    std::string readFor(std::chrono::milliseconds window) {
        return read(std::numeric_limits<std::size_t>::max() / 2, window);
    }

    const std::vector<Arrival>& arrivals() const { return m_arrivals; }
    void clearArrivals() { m_arrivals.clear(); }

    // True once the other end is gone: poll reports a hang-up or error, and a read
    // finds end of file or EIO.
    bool waitForHangUp(std::chrono::milliseconds timeout) const {
        pollfd fd{m_fd, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        if ((fd.revents & (POLLHUP | POLLERR)) == 0)
            return false;
        char byte = 0;
        const ssize_t got = ::read(m_fd, &byte, 1);
        return got == 0 || (got < 0 && errno == EIO);
    }

private:
    int m_fd = -1;
    std::vector<Arrival> m_arrivals;
};

std::string Tokens(const std::vector<std::string>& tokens) {
    return virtual_module::FormatTokens(tokens, {});
}

// The tokens of a reply, with everything outside brackets dropped.
std::vector<std::string> TokensIn(const std::string& bytes) {
    std::vector<std::string> tokens;
    std::size_t at = 0;
    while ((at = bytes.find('[', at)) != std::string::npos) {
        const std::size_t end = bytes.find(']', at);
        if (end == std::string::npos)
            break;
        tokens.push_back(bytes.substr(at + 1, end - at - 1));
        at = end + 1;
    }
    return tokens;
}

std::chrono::milliseconds ProcessCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto toDuration = [](const timeval& time) {
        return std::chrono::seconds(time.tv_sec) + std::chrono::microseconds(time.tv_usec);
    };
    return std::chrono::duration_cast<std::chrono::milliseconds>(toDuration(usage.ru_utime) +
                                                                 toDuration(usage.ru_stime));
}

// Reads the program's output until `text` appears or it stops writing for five seconds.
bool WaitForOutput(QProcess& program, QByteArray& output, const QByteArray& text) {
    while (!output.contains(text) && program.waitForReadyRead(5000))
        output += program.readAllStandardOutput();
    return output.contains(text);
}

// The query reply of a healthy module that holds `name` and has the own address `address`.
std::string QueryReply(const std::string& name, const std::string& address) {
    return Tokens({name, "1234", "9600", "1", "N", "SLAVE", "0000 00 00 0000", address, "0",
                   "DISCOVERABLE", "PIN_ON", "v2.0"});
}

} // namespace

class TestVirtualModule : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void framerCutsCommandsFromTheStream_data();
    void framerCutsCommandsFromTheStream();
    void framerJoinsACommandSplitAcrossReads();
    void framerDropsAnOverlongCommand();
    void commandKeywordIgnoresParameterAndBrackets_data();
    void commandKeywordIgnoresParameterAndBrackets();
    void escapesRoundTrip();

    void pingAnswersReady();
    void versAnswersTheFirmware();
    void queryAnswersTheTwelveFieldsInOrder();
    void writesAreAcknowledgedAndShownByTheNextQuery();
    void switchesBackAreShownByTheNextQuery();
    void commandsNeedNoTerminatorAndBytesBetweenAreIgnored();
    void resetIsLoggedWithoutReply();
    void unknownCommandGetsNoReply();
    void waitForCommandGivesUpAtTheTimeout();

    void silentModuleAnswersNothing();
    void pingsAreAnsweredFromAttemptN();
    void versionTextCanBeChosen();
    void acknowledgementTextCanBeChanged();
    void namedCommandIsNeitherAnsweredNorApplied();
    void queryReplyCanBeCutInTwo();
    void queryReplyCanBeDelayed();
    void noiseGoesOutsideTheBrackets();
    void goesSilentWhenToldWhileRunning();
    void goesSilentAfterItsTimer();
    void hangUpIsSeenOnTheSlave();
    void hangsUpAfterItsTimer();

    void portCanBeClosedAndReopened();
    void repliesArePacedAt9600Baud();
    void injectedBytesReachTheLine();
    void idleModuleUsesNoProcessor();

    void mappingIsRecordedAndRemoved();
    void mappingPutsBackThePreviousDevice();
    void mappingLeavesAnEntryChangedByOthers();
    void programMapsItsDeviceAndRestoresOnSigint();
    void programExitsAndUnmapsWhenItHangsUp();
    void programRejectsAPortOutOfRange();
    void programRunsEachModuleOnItsOwnPort_data();
    void programRunsEachModuleOnItsOwnPort();
    void programRefusesARunItCannotMake_data();
    void programRefusesARunItCannotMake();
    void oneModuleHangingUpGivesBackItsPortAlone();

private:
    // Starts a module and opens its slave; skips the test when no pty can be had.
    bool startModule(VirtualModuleOptions options = {});
    std::string exchange(const std::string& command, std::size_t replyBytes);

    QTemporaryDir m_configHome;
    std::unique_ptr<VirtualModule> m_module;
    std::unique_ptr<SlaveLine> m_line;
};

void TestVirtualModule::initTestCase() {
    // Before the first QSettings: the [Ports] tests must not touch the user's own store.
    QVERIFY(m_configHome.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_configHome.path()));
    QVERIFY(virtual_module::SettingsLocation().startsWith(m_configHome.path()));

    VirtualModule probe;
    if (!probe.start())
        QSKIP(qPrintable("no pseudo-terminal on this machine: " +
                         QString::fromStdString(probe.errorText())));
}

void TestVirtualModule::cleanup() {
    m_line.reset();
    m_module.reset();
}

bool TestVirtualModule::startModule(VirtualModuleOptions options) {
    m_module = std::make_unique<VirtualModule>(std::move(options));
    if (!m_module->start()) {
        qWarning("cannot start the module: %s", m_module->errorText().c_str());
        return false;
    }
    m_line = std::make_unique<SlaveLine>(m_module->devicePath());
    return m_line->isOpen();
}

std::string TestVirtualModule::exchange(const std::string& command, std::size_t replyBytes) {
    if (!m_line->send(command))
        return "(send failed)";
    return m_line->read(replyBytes);
}

void TestVirtualModule::framerCutsCommandsFromTheStream_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<QByteArray>("ignored");

    QTest::newRow("one command") << QByteArray("<PING>") << QByteArray("<PING>") << QByteArray();
    QTest::newRow("two back to back")
        << QByteArray("<PING><VERS>") << QByteArray("<PING>|<VERS>") << QByteArray();
    QTest::newRow("bytes around") << QByteArray("\r\nx<PING>y\x01") << QByteArray("<PING>")
                                  << QByteArray("\r\nxy\x01");
    QTest::newRow("restart on a new <")
        << QByteArray("<PIN<PING>") << QByteArray("<PING>") << QByteArray("<PIN");
    QTest::newRow("> without <") << QByteArray("PING>") << QByteArray() << QByteArray("PING>");
    QTest::newRow("parameter kept whole")
        << QByteArray("<NAME= a b >") << QByteArray("<NAME= a b >") << QByteArray();
    QTest::newRow("unfinished waits") << QByteArray("<QUE") << QByteArray() << QByteArray();
}

void TestVirtualModule::framerCutsCommandsFromTheStream() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, commands);
    QFETCH(QByteArray, ignored);

    virtual_module::CommandFramer framer;
    const auto result = framer.feed(input.toStdString());
    QByteArrayList framed;
    for (const std::string& command : result.commands)
        framed << QByteArray::fromStdString(command);
    QCOMPARE(framed.join('|'), commands);
    QCOMPARE(QByteArray::fromStdString(result.ignored), ignored);
}

void TestVirtualModule::framerJoinsACommandSplitAcrossReads() {
    virtual_module::CommandFramer framer;
    QVERIFY(framer.feed("<PI").commands.empty());
    QVERIFY(framer.inCommand());
    const auto result = framer.feed("NG>");
    QCOMPARE(result.commands, std::vector<std::string>{"<PING>"});
    QVERIFY(!framer.inCommand());
}

void TestVirtualModule::framerDropsAnOverlongCommand() {
    virtual_module::CommandFramer framer;
    const std::string flood =
        "<" + std::string(virtual_module::CommandFramer::kMaxCommandBytes, 'x');
    const auto result = framer.feed(flood + "><PING>");
    QCOMPARE(result.commands, std::vector<std::string>{"<PING>"});
    QCOMPARE(result.ignored.size(), flood.size() + 1);
}

void TestVirtualModule::commandKeywordIgnoresParameterAndBrackets_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("keyword");
    QTest::newRow("plain") << "<PING>"
                           << "PING";
    QTest::newRow("parameter") << "<ADDR=1234 56 78 9abc>"
                               << "ADDR";
    QTest::newRow("no brackets") << "ADDR"
                                 << "ADDR";
    QTest::newRow("empty parameter") << "<NAME=>"
                                     << "NAME";
}

void TestVirtualModule::commandKeywordIgnoresParameterAndBrackets() {
    QFETCH(QString, command);
    QFETCH(QString, keyword);
    QCOMPARE(QString::fromStdString(virtual_module::CommandKeyword(command.toStdString())),
             keyword);
}

void TestVirtualModule::escapesRoundTrip() {
    const std::string bytes("a\r\n\t\\\x07\xff\0z", 9);
    const std::string printable = platform::PrintableBytes(bytes);
    QCOMPARE(printable, std::string("a\\r\\n\\t\\\\\\x07\\xff\\x00z"));
    QCOMPARE(platform::UnescapeBytes(printable), bytes);
}

void TestVirtualModule::pingAnswersReady() {
    QVERIFY(startModule());
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    QCOMPARE(m_module->waitForCommand(1, kReplyTimeout), std::optional<std::string>("<PING>"));
}

void TestVirtualModule::versAnswersTheFirmware() {
    QVERIFY(startModule());
    QCOMPARE(exchange("<VERS>", 6), std::string("[v2.0]"));
}

void TestVirtualModule::queryAnswersTheTwelveFieldsInOrder() {
    QVERIFY(startModule());
    const std::string reply = exchange("<QUERY>", kDefaultQueryReply.size());
    QCOMPARE(reply, kDefaultQueryReply);
    QCOMPARE(TokensIn(reply).size(), std::size_t{12});
    QCOMPARE(m_line->readFor(50ms), std::string());
}

void TestVirtualModule::writesAreAcknowledgedAndShownByTheNextQuery() {
    QVERIFY(startModule());
    const std::vector<std::string> writes = {
        "<NAME=Garden Gate>", "<PKEY=0042>", "<BAUD=115200>",          "<SBIT=2>",
        "<PRTY=E>",           "<MASTER>",    "<ADDR=1a2b 3c 4d 5e6f>", "<INVISIBLE>",
        "<PIN_OFF>"};
    for (const std::string& write : writes)
        QCOMPARE(exchange(write, 4), std::string("[OK]"));

    const std::string expected =
        Tokens({"Garden Gate", "0042", "115200", "2", "E", "MASTER", "1a2b 3c 4d 5e6f",
                "0012 6f 3a 9b 01", "0", "INVISIBLE", "PIN_OFF", "v2.0"});
    QCOMPARE(exchange("<QUERY>", expected.size()), expected);

    const virtual_module::ModuleSettings settings = m_module->settings();
    QCOMPARE(settings.name, std::string("Garden Gate"));
    QCOMPARE(settings.pin, std::string("0042"));
    QCOMPARE(settings.parity, std::string("E"));
    QVERIFY(settings.master);
    QVERIFY(!settings.discoverable);
    QVERIFY(!settings.pinRequested);
    QCOMPARE(m_module->receivedCommands().size(), writes.size() + 1);
}

void TestVirtualModule::switchesBackAreShownByTheNextQuery() {
    VirtualModuleOptions options;
    options.settings.master = true;
    options.settings.discoverable = false;
    options.settings.pinRequested = false;
    QVERIFY(startModule(options));
    for (const std::string write : {"<SLAVE>", "<DISCOVERABLE>", "<PIN_ON>", "<NAME=>"})
        QCOMPARE(exchange(write, 4), std::string("[OK]"));
    const std::string expected =
        Tokens({"", "1234", "9600", "1", "N", "SLAVE", "0000 00 00 0000", "0012 6f 3a 9b 01", "0",
                "DISCOVERABLE", "PIN_ON", "v2.0"});
    QCOMPARE(exchange("<QUERY>", expected.size()), expected);
}

void TestVirtualModule::commandsNeedNoTerminatorAndBytesBetweenAreIgnored() {
    QVERIFY(startModule());
    QVERIFY(m_line->send("\r\nxx<PI"));
    QVERIFY(m_module->waitForCommand(1, 100ms) == std::nullopt);
    QVERIFY(m_line->send(std::string("NG>\0zz\r\n<VERS>", 14)));
    QCOMPARE(m_line->read(13), std::string("[READY][v2.0]"));
    QCOMPARE(m_module->receivedCommands(), (std::vector<std::string>{"<PING>", "<VERS>"}));
}

void TestVirtualModule::resetIsLoggedWithoutReply() {
    QVERIFY(startModule());
    QVERIFY(m_line->send("<RESET>"));
    QCOMPARE(m_module->waitForCommand(1, kReplyTimeout), std::optional<std::string>("<RESET>"));
    QCOMPARE(m_line->readFor(kQuietWindow), std::string());
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
}

void TestVirtualModule::unknownCommandGetsNoReply() {
    QVERIFY(startModule());
    QVERIFY(m_line->send("<ping><HELLO><PING=1>"));
    QVERIFY(m_module->waitForCommand(3, kReplyTimeout).has_value());
    QCOMPARE(m_line->readFor(kQuietWindow), std::string());
}

void TestVirtualModule::waitForCommandGivesUpAtTheTimeout() {
    QVERIFY(startModule());
    const auto before = Clock::now();
    QVERIFY(m_module->waitForCommand(1, 100ms) == std::nullopt);
    QVERIFY(Clock::now() - before >= 90ms);
    QVERIFY(m_module->waitForCommand(0, 10ms) == std::nullopt);
}

void TestVirtualModule::silentModuleAnswersNothing() {
    VirtualModuleOptions options;
    options.faults.silent = true;
    QVERIFY(startModule(options));
    QVERIFY(m_line->send("<PING><VERS><QUERY><NAME=x>"));
    QCOMPARE(m_module->waitForCommand(4, kReplyTimeout), std::optional<std::string>("<NAME=x>"));
    QCOMPARE(m_line->readFor(kQuietWindow), std::string());
    QCOMPARE(m_module->settings().name, std::string("Cordelo-BT"));
}

void TestVirtualModule::pingsAreAnsweredFromAttemptN() {
    VirtualModuleOptions options;
    options.faults.answerPingsFrom = 3;
    QVERIFY(startModule(options));
    QVERIFY(m_line->send("<PING>"));
    QVERIFY(m_module->waitForCommand(1, kReplyTimeout).has_value());
    QVERIFY(m_line->send("<PING>"));
    QVERIFY(m_module->waitForCommand(2, kReplyTimeout).has_value());
    QCOMPARE(m_line->readFor(kQuietWindow), std::string());
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
}

void TestVirtualModule::versionTextCanBeChosen() {
    VirtualModuleOptions options;
    options.settings.firmware = "v1.1";
    QVERIFY(startModule(options));
    QCOMPARE(exchange("<VERS>", 6), std::string("[v1.1]"));
    QCOMPARE(TokensIn(exchange("<QUERY>", kDefaultQueryReply.size())).back(), std::string("v1.1"));
}

void TestVirtualModule::acknowledgementTextCanBeChanged() {
    VirtualModuleOptions options;
    options.faults.ackText = "ok";
    QVERIFY(startModule(options));
    QCOMPARE(exchange("<NAME=Box>", 4), std::string("[ok]"));
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    QCOMPARE(m_module->settings().name, std::string("Box"));
}

void TestVirtualModule::namedCommandIsNeitherAnsweredNorApplied() {
    VirtualModuleOptions options;
    options.faults.noReplyTo = "ADDR";
    QVERIFY(startModule(options));
    QCOMPARE(exchange("<MASTER>", 4), std::string("[OK]"));
    QVERIFY(m_line->send("<ADDR=1111 22 33 4444>"));
    QVERIFY(m_module->waitForCommand(2, kReplyTimeout).has_value());
    QCOMPARE(m_line->readFor(kQuietWindow), std::string());
    QCOMPARE(m_module->settings().connectAddress, std::string("0000 00 00 0000"));
    QCOMPARE(exchange("<INVISIBLE>", 4), std::string("[OK]"));
}

void TestVirtualModule::queryReplyCanBeCutInTwo() {
    constexpr std::size_t kCut = 20;
    VirtualModuleOptions options;
    options.faults.queryCutAt = kCut;
    options.faults.queryCutPause = 300ms;
    QVERIFY(startModule(options));
    QVERIFY(m_line->send("<QUERY>"));
    QCOMPARE(m_line->read(kCut), kDefaultQueryReply.substr(0, kCut));
    const auto headArrived = Clock::now();
    QCOMPARE(m_line->readFor(100ms), std::string());
    QCOMPARE(m_line->read(kDefaultQueryReply.size() - kCut), kDefaultQueryReply.substr(kCut));
    QVERIFY(m_line->arrivals().back().at - headArrived >= 200ms);
}

void TestVirtualModule::queryReplyCanBeDelayed() {
    VirtualModuleOptions options;
    options.faults.queryDelay = 250ms;
    QVERIFY(startModule(options));
    const auto sent = Clock::now();
    QVERIFY(m_line->send("<QUERY>"));
    QCOMPARE(m_line->read(1), std::string("["));
    QVERIFY(Clock::now() - sent >= 200ms);
    QCOMPARE("[" + m_line->read(kDefaultQueryReply.size() - 1), kDefaultQueryReply);
}

void TestVirtualModule::noiseGoesOutsideTheBrackets() {
    VirtualModuleOptions options;
    options.faults.noise = std::string("\r\n\0~", 4);
    QVERIFY(startModule(options));
    QCOMPARE(exchange("<PING>", 11), std::string("\r\n\0~[READY]", 11));
    const std::string reply = exchange("<QUERY>", kDefaultQueryReply.size() + std::size_t{12} * 4);
    QCOMPARE(Tokens(TokensIn(reply)), kDefaultQueryReply);
    QVERIFY(reply.find(options.faults.noise + "[1234]") != std::string::npos);
}

void TestVirtualModule::goesSilentWhenToldWhileRunning() {
    QVERIFY(startModule());
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    Faults faults = m_module->faults();
    faults.silent = true;
    m_module->setFaults(faults);
    QVERIFY(m_line->send("<PING>"));
    QVERIFY(m_module->waitForCommand(2, kReplyTimeout).has_value());
    QCOMPARE(m_line->readFor(kQuietWindow), std::string());
    faults.silent = false;
    m_module->setFaults(faults);
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
}

void TestVirtualModule::goesSilentAfterItsTimer() {
    VirtualModuleOptions options;
    options.faults.silentAfter = 300ms;
    QVERIFY(startModule(options));
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    std::this_thread::sleep_for(350ms);
    QVERIFY(m_line->send("<PING>"));
    QVERIFY(m_module->waitForCommand(2, kReplyTimeout).has_value());
    QCOMPARE(m_line->readFor(kQuietWindow), std::string());
}

void TestVirtualModule::hangUpIsSeenOnTheSlave() {
    QVERIFY(startModule());
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    m_module->hangUp();
    QVERIFY(m_module->isHungUp());
    QVERIFY(m_line->waitForHangUp(kReplyTimeout));
    errno = 0;
    QVERIFY(!m_line->send("<PING>"));
    QCOMPARE(errno, EIO);
    QVERIFY(!SlaveLine(m_module->devicePath()).isOpen());
}

void TestVirtualModule::hangsUpAfterItsTimer() {
    VirtualModuleOptions options;
    options.faults.hangUpAfter = 200ms;
    bool toldOfHangUp = false;
    options.onHangUp = [&toldOfHangUp] { toldOfHangUp = true; };
    QVERIFY(startModule(options));
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    QVERIFY(m_line->waitForHangUp(kReplyTimeout));
    m_module->stop();
    QVERIFY(m_module->isHungUp());
    QVERIFY(toldOfHangUp);
}

void TestVirtualModule::portCanBeClosedAndReopened() {
    QVERIFY(startModule());
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    m_line.reset();
    std::this_thread::sleep_for(50ms);
    m_line = std::make_unique<SlaveLine>(m_module->devicePath());
    QVERIFY(m_line->isOpen());
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    QVERIFY(m_module->isRunning());
}

void TestVirtualModule::repliesArePacedAt9600Baud() {
    QVERIFY(startModule());
    const auto sent = Clock::now();
    QVERIFY(m_line->send("<QUERY>"));
    QCOMPARE(m_line->read(kDefaultQueryReply.size()), kDefaultQueryReply);
    const auto& arrivals = m_line->arrivals();
    QVERIFY(!arrivals.empty());
    // 106 characters take about 110 ms on the line; allow half of that for spread.
    const auto nominal =
        virtual_module::kCharPeriod9600 * static_cast<long long>(kDefaultQueryReply.size() - 1);
    const auto spread = arrivals.back().at - arrivals.front().at;
    QVERIFY2(spread >= nominal / 2,
             qPrintable(
                 QStringLiteral("reply arrived within %1 us")
                     .arg(std::chrono::duration_cast<std::chrono::microseconds>(spread).count())));
    QVERIFY(arrivals.size() > 5);
    QVERIFY(arrivals.back().at - sent < 5s);
}

void TestVirtualModule::injectedBytesReachTheLine() {
    QVERIFY(startModule());
    m_module->inject("\x01 [junk] \x02");
    QCOMPARE(m_line->read(10), std::string("\x01 [junk] \x02"));
    m_module->inject(std::string(2000, '#'), VirtualModule::Pacing::Burst);
    QCOMPARE(m_line->read(2000), std::string(2000, '#'));
    QVERIFY(m_module->waitUntilLineIdle(kReplyTimeout));
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
}

void TestVirtualModule::idleModuleUsesNoProcessor() {
    QVERIFY(startModule());
    QCOMPARE(exchange("<PING>", 7), std::string("[READY]"));
    const auto before = ProcessCpuTime();
    std::this_thread::sleep_for(400ms);
    const auto used = ProcessCpuTime() - before;
    // A busy-waiting thread would burn nearly all of the 400 ms.
    QVERIFY2(used < 40ms,
             qPrintable(QStringLiteral("%1 ms of processor time while idle").arg(used.count())));
}

void TestVirtualModule::mappingIsRecordedAndRemoved() {
    QVERIFY(!virtual_module::MappedDevice(2).has_value());
    {
        virtual_module::PortMapping mapping;
        QVERIFY(mapping.record(2, QStringLiteral("/dev/pts/77")));
        QCOMPARE(virtual_module::MappedDevice(2), std::optional<QString>("/dev/pts/77"));
        const QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                              QStringLiteral("Cordelo Setup"), QStringLiteral("Cordelo Setup"));
        QCOMPARE(store.value(QStringLiteral("Ports/COM2")).toString(),
                 QStringLiteral("/dev/pts/77"));
        QCOMPARE(mapping.restore(), virtual_module::PortMapping::Restored::KeyRemoved);
    }
    QVERIFY(!virtual_module::MappedDevice(2).has_value());
}

void TestVirtualModule::mappingPutsBackThePreviousDevice() {
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                        QStringLiteral("Cordelo Setup"), QStringLiteral("Cordelo Setup"));
        store.setValue(QStringLiteral("Ports/COM3"), QStringLiteral("/dev/ttyUSB0"));
    }
    {
        virtual_module::PortMapping mapping;
        QVERIFY(mapping.record(3, QStringLiteral("/dev/pts/78")));
        QCOMPARE(mapping.previous(), std::optional<QString>("/dev/ttyUSB0"));
        QCOMPARE(virtual_module::MappedDevice(3), std::optional<QString>("/dev/pts/78"));
    } // the destructor restores
    QCOMPARE(virtual_module::MappedDevice(3), std::optional<QString>("/dev/ttyUSB0"));
}

void TestVirtualModule::mappingLeavesAnEntryChangedByOthers() {
    virtual_module::PortMapping mapping;
    QVERIFY(mapping.record(4, QStringLiteral("/dev/pts/79")));
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                        QStringLiteral("Cordelo Setup"), QStringLiteral("Cordelo Setup"));
        store.setValue(QStringLiteral("Ports/COM4"), QStringLiteral("/dev/pts/80"));
    }
    QCOMPARE(mapping.restore(), virtual_module::PortMapping::Restored::ChangedByOthers);
    QCOMPARE(virtual_module::MappedDevice(4), std::optional<QString>("/dev/pts/80"));
}

void TestVirtualModule::programMapsItsDeviceAndRestoresOnSigint() {
    {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope,
                        QStringLiteral("Cordelo Setup"), QStringLiteral("Cordelo Setup"));
        store.setValue(QStringLiteral("Ports/COM7"), QStringLiteral("/dev/ttyS6"));
    }
    QProcess program;
    program.start(QStringLiteral(CORDELO_VIRTUAL_MODULE_PROGRAM),
                  {QStringLiteral("--com"), QStringLiteral("7")});
    QVERIFY(program.waitForStarted());

    QByteArray output;
    while (!output.contains("ready") && program.waitForReadyRead(5000))
        output += program.readAllStandardOutput();
    QVERIFY2(output.contains("ready"), output.constData());
    const QRegularExpression devicePattern(QStringLiteral(R"(device (\S+))"));
    const auto match = devicePattern.match(QString::fromLocal8Bit(output));
    QVERIFY(match.hasMatch());
    const QString device = match.captured(1);
    QCOMPARE(virtual_module::MappedDevice(7), std::optional<QString>(device));

    {
        SlaveLine line(device.toStdString());
        QVERIFY(line.isOpen());
        QVERIFY(line.send("<PING>"));
        QCOMPARE(line.read(7), std::string("[READY]"));
    }

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), SIGINT), 0);
    QVERIFY(program.waitForFinished(5000));
    output += program.readAllStandardOutput();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(output.contains("received <PING>"), output.constData());
    QVERIFY2(output.contains("sent [READY]"), output.constData());
    QVERIFY2(output.contains("restored [Ports] COM7=/dev/ttyS6"), output.constData());
    QCOMPARE(virtual_module::MappedDevice(7), std::optional<QString>("/dev/ttyS6"));
}

void TestVirtualModule::programExitsAndUnmapsWhenItHangsUp() {
    QProcess program;
    program.start(QStringLiteral(CORDELO_VIRTUAL_MODULE_PROGRAM),
                  {QStringLiteral("--com"), QStringLiteral("8"), QStringLiteral("--hang-up-after"),
                   QStringLiteral("0.3")});
    QVERIFY(program.waitForFinished(5000));
    const QByteArray output = program.readAllStandardOutput();
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(output.contains("mapped [Ports] COM8="), output.constData());
    QVERIFY2(output.contains("hung up"), output.constData());
    QVERIFY2(output.contains("removed [Ports] COM8"), output.constData());
    QVERIFY(!virtual_module::MappedDevice(8).has_value());
}

void TestVirtualModule::programRejectsAPortOutOfRange() {
    QProcess program;
    program.start(QStringLiteral(CORDELO_VIRTUAL_MODULE_PROGRAM),
                  {QStringLiteral("--com"), QStringLiteral("17")});
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(program.readAllStandardError().contains("--com"));
    QVERIFY(!virtual_module::MappedDevice(17).has_value());
}

void TestVirtualModule::programRunsEachModuleOnItsOwnPort_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("addresses");
    // The name each module holds after "<NAME=Unit>" was acknowledged.
    QTest::addColumn<QStringList>("names");
    QTest::newRow("one module at an address")
        << QStringList{"--address", "0012 6F 3A 0007"} << QStringList{"0012 6f 3a 0007"}
        << QStringList{"Unit"};
    QTest::newRow("three modules counted on")
        << QStringList{"--count", "3", "--address", "0012 6f 3a 00fe"}
        << QStringList{"0012 6f 3a 00fe", "0012 6f 3a 00ff", "0012 6f 3a 0100"}
        << QStringList{"Unit", "Unit", "Unit"};
    QTest::newRow("a fault aimed at one module")
        << QStringList{"--count", "3", "--forget", "NAME", "--fail-module", "2"}
        << QStringList{"0012 6f 3a 9b 01", "0012 6f 3a 9b 02", "0012 6f 3a 9b 03"}
        << QStringList{"Unit", "Cordelo-BT", "Unit"};
    QTest::newRow("a fault on every module") << QStringList{"--count", "2", "--forget", "NAME"}
                                             << QStringList{"0012 6f 3a 9b 01", "0012 6f 3a 9b 02"}
                                             << QStringList{"Cordelo-BT", "Cordelo-BT"};
}

void TestVirtualModule::programRunsEachModuleOnItsOwnPort() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, names);
    constexpr int kFirstCom = 9;
    QProcess program;
    program.start(QStringLiteral(CORDELO_VIRTUAL_MODULE_PROGRAM),
                  arguments + QStringList{"--com", QString::number(kFirstCom)});
    QByteArray output;
    QVERIFY2(WaitForOutput(program, output, "ready"), output.constData());

    for (qsizetype index = 0; index < addresses.size(); ++index) {
        const auto device = virtual_module::MappedDevice(kFirstCom + static_cast<int>(index));
        QVERIFY2(device.has_value(), output.constData());
        SlaveLine line(device->toStdString());
        QVERIFY(line.isOpen());
        QVERIFY(line.send("<NAME=Unit>"));
        QCOMPARE(line.read(4), std::string("[OK]"));
        const std::string reply =
            QueryReply(names[index].toStdString(), addresses[index].toStdString());
        QVERIFY(line.send("<QUERY>"));
        QCOMPARE(line.read(reply.size()), reply);
    }
    QVERIFY(!virtual_module::MappedDevice(kFirstCom + static_cast<int>(addresses.size())));

    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), SIGINT), 0);
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 0);
    for (qsizetype index = 0; index < addresses.size(); ++index)
        QVERIFY(!virtual_module::MappedDevice(kFirstCom + static_cast<int>(index)));
}

void TestVirtualModule::programRefusesARunItCannotMake_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    QTest::newRow("past COM16") << QStringList{"--com", "15", "--count", "3"} << "COM16";
    QTest::newRow("more than the COM ports") << QStringList{"--count", "17"} << "--no-map";
    QTest::newRow("more than it runs unmapped")
        << QStringList{"--no-map", "--count", "257"} << "256";
    QTest::newRow("address in five groups")
        << QStringList{"--address", "0012 6f 3a 9b 01"} << "--address";
    QTest::newRow("addresses run out")
        << QStringList{"--address", "ffff ff ff fffe", "--count", "3"} << "ffff ff ff ffff";
    QTest::newRow("no such module")
        << QStringList{"--count", "2", "--forget", "NAME", "--fail-module", "3"} << "--fail-module";
    QTest::newRow("no fault to aim") << QStringList{"--fail-module", "1"} << "--fail-module";
}

void TestVirtualModule::programRefusesARunItCannotMake() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    QProcess program;
    program.start(QStringLiteral(CORDELO_VIRTUAL_MODULE_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(5000));
    QCOMPARE(program.exitCode(), 2);
    const QByteArray error = program.readAllStandardError();
    QVERIFY2(error.contains(named.toUtf8()), error.constData());
    QVERIFY(!virtual_module::MappedDevice(1) && !virtual_module::MappedDevice(15));
}

void TestVirtualModule::oneModuleHangingUpGivesBackItsPortAlone() {
    QProcess program;
    program.start(QStringLiteral(CORDELO_VIRTUAL_MODULE_PROGRAM),
                  {"--com", "13", "--count", "2", "--hang-up-after", "0.3", "--fail-module", "1"});
    QByteArray output;
    QVERIFY2(WaitForOutput(program, output, "module 1: removed [Ports] COM13"), output.constData());
    QVERIFY(!virtual_module::MappedDevice(13));
    const auto device = virtual_module::MappedDevice(14);
    QVERIFY(device.has_value());
    {
        SlaveLine line(device->toStdString());
        QVERIFY(line.isOpen());
        QVERIFY(line.send("<PING>"));
        QCOMPARE(line.read(7), std::string("[READY]"));
    }
    QCOMPARE(program.state(), QProcess::Running);
    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), SIGINT), 0);
    QVERIFY(program.waitForFinished(5000));
    QVERIFY(!virtual_module::MappedDevice(14));
}

QTEST_GUILESS_MAIN(TestVirtualModule)
#include "tst_virtual_module.moc"
