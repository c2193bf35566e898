// Fault drills at the port: floods on a real pseudo-terminal, a noisy settings reply
// split at every byte, and ports that cannot be opened because of the device, another
// program or the user's rights.
#include "module_protocol/module_check.h"
#include "module_protocol/settings_reply.h"
#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"

#include "link_on_device.h"
#include "process_usage.h"
#include "pty_pair.h"
#include "recording_message_box.h"
#include "run_as_nobody.h"
#include "test_platform.h"

#include "virtual_module/virtual_module.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <thread>

using namespace std::chrono_literals;
using virtual_module::VirtualModule;

namespace {

constexpr qsizetype kFloodBytes = 1024 * 1024;
// The module holds the flood until it is sent; the reader's caps and Qt's read buffer
// come to a fraction of a MiB. A reader that kept the flood would go past this.
constexpr qint64 kFloodMemoryBound = kFloodBytes + 1024 * 1024;
// Guards the drain loop against a flood that never ends; reached only on failure.
constexpr auto kDrainDeadline = 20s;

QByteArray Repeated(const QByteArray& pattern) {
    QByteArray flood;
    flood.reserve(kFloodBytes + pattern.size());
    while (flood.size() < kFloodBytes)
        flood += pattern;
    return flood;
}

// Every byte value except the two brackets, over and over.
QByteArray ControlAndHighBytes() {
    QByteArray pattern;
    for (int value = 0; value < 256; ++value) {
        if (value != '[' && value != ']' && (value < 0x20 || value >= 0x7f))
            pattern += static_cast<char>(value);
    }
    return Repeated(pattern);
}

// The tool's link on the real serial port, with COM1 mapped to the given device and COM7
// stored as the port in use.
struct RealLink : doubles::LinkOnDevice {
    explicit RealLink(const QString& device) : LinkOnDevice(device) {
        settings.setValue(QStringLiteral("Properties"), QStringLiteral("CommPort"),
                          QStringLiteral("7"));
    }
    QString storedPort() const {
        return settings.value(QStringLiteral("Properties"), QStringLiteral("CommPort"), {});
    }
};

// Twelve fields as a module might send them: noise and control characters between
// the tokens, and control characters, blanks and high bytes inside some of them.
const QList<QByteArray> kReplyFields = {
    "Bench\t7",        "12\a34",           "115200", "2",         "E",       "MASTER",
    "0012 6f 3a 9b01", "0012 6f 3a 9b 01", "\r\n",   "INVISIBLE", "PIN_OFF", "v1.1\xe9"};
// A "[" outside a token only opens one that the next "[" restarts; a stray "]" would
// be read as an empty field, by design, so it is no noise for this reply.
const QList<QByteArray> kNoise = {"\r\n",  QByteArray("\x00", 1), "~\x07",
                                  "\x1b[", "\x7f\xff ",           "x"};

QByteArray NoisyQueryReply() {
    QByteArray reply;
    for (qsizetype field = 0; field < kReplyFields.size(); ++field) {
        reply += kNoise[field % kNoise.size()];
        reply += '[' + kReplyFields[field] + ']';
    }
    return reply + "\r\n";
}

QString HelperProgram() {
    return QStringLiteral(CORDELO_DRILL_HELPER);
}

} // namespace

class LinkDrillsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void floodWhileConnectedStaysBounded_data();
    void floodWhileConnectedStaysBounded();
    void queryReplySplitAtEveryByte_data();
    void queryReplySplitAtEveryByte();
    void deviceThatIsNoPortExplains_data();
    void deviceThatIsNoPortExplains();
    void portHeldByAnotherProgramExplains();
    void portRefusedToUserGivesGroupAdvice();

private:
    QTemporaryDir m_scratch;
};

void LinkDrillsTest::initTestCase() {
    QVERIFY(m_scratch.isValid());
    qputenv("XDG_CONFIG_HOME", m_scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    QVERIFY(QDir(m_scratch.path()).mkdir(QStringLiteral("a-folder")));
    QFile file(m_scratch.filePath(QStringLiteral("a-file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void LinkDrillsTest::floodWhileConnectedStaysBounded_data() {
    QTest::addColumn<QByteArray>("flood");
    QTest::addColumn<bool>("pingAnsweredAfter");

    QTest::newRow("text without brackets") << Repeated("x") << true;
    QTest::newRow("one endless token") << "[" + Repeated("y") << true;
    QTest::newRow("control characters and high bytes") << ControlAndHighBytes() << true;
    QTest::newRow("close brackets") << Repeated("]") << false;
    QTest::newRow("short tokens") << Repeated("[OK]") << false;
    QTest::newRow("empty tokens and noise") << Repeated("]a][b][]\r\n") << false;
}

void LinkDrillsTest::floodWhileConnectedStaysBounded() {
    QFETCH(QByteArray, flood);
    QFETCH(bool, pingAnsweredAfter);
    VirtualModule module;
    QVERIFY2(module.start(), module.errorText().c_str());
    RealLink tool(QString::fromStdString(module.devicePath()));
    QVERIFY(modComm::OpenPort(tool.link, 1));
    QVERIFY(modProg::PingModule(tool.link));

    const qint64 heapBefore = drills::LiveHeapBytes();
    module.inject(flood.toStdString(), VirtualModule::Pacing::Burst);

    // Read as fast as the reader allows until the module has put all of it on the line
    // and the line is empty.
    qsizetype mostUnscanned = 0;
    qsizetype longestToken = 0;
    qint64 mostHeap = heapBefore;
    int readsAfterFlood = 0;
    const auto deadline = std::chrono::steady_clock::now() + kDrainDeadline;
    while (readsAfterFlood < 3 && std::chrono::steady_clock::now() < deadline) {
        modComm::ReadToken(tool.link);
        mostUnscanned = std::max(mostUnscanned, tool.link.rx.unscannedSize());
        longestToken = std::max(longestToken, tool.link.rx.TokenText.size());
        mostHeap = std::max(mostHeap, drills::LiveHeapBytes());
        readsAfterFlood = module.waitUntilLineIdle(0ms) ? readsAfterFlood + 1 : 0;
        std::this_thread::sleep_for(1ms);
    }
    QVERIFY2(readsAfterFlood == 3, "the flood did not drain");

    QVERIFY(tool.port.isOpen());
    QVERIFY2(mostUnscanned <= modComm::kMaxUnscannedBytes,
             qPrintable(QString::number(mostUnscanned)));
    QVERIFY2(longestToken <= modComm::kMaxTokenLength, qPrintable(QString::number(longestToken)));
    QVERIFY2(mostHeap - heapBefore < kFloodMemoryBound,
             qPrintable(QString::number(mostHeap - heapBefore) + " bytes more"));

    if (!pingAnsweredAfter) {
        // A wait reads four tokens at most, so the keep-alive gives the module up behind
        // a backlog of tokens; connecting again starts from a clean line.
        QVERIFY(!modProg::PingModule(tool.link));
        modComm::ClosePort(tool.link);
        QVERIFY(modComm::OpenPort(tool.link, 1));
    }
    QVERIFY(modProg::PingModule(tool.link));
}

void LinkDrillsTest::queryReplySplitAtEveryByte_data() {
    QTest::addColumn<int>("cut");
    const QByteArray reply = NoisyQueryReply();
    for (qsizetype cut = 0; cut <= reply.size(); ++cut)
        QTest::addRow("first %d bytes", static_cast<int>(cut)) << static_cast<int>(cut);
}

void LinkDrillsTest::queryReplySplitAtEveryByte() {
    QFETCH(int, cut);
    const QByteArray reply = NoisyQueryReply();
    doubles::TestPlatform test;
    QVERIFY(test.port.open());
    modComm::Link link{test.platform, {}};
    // The first part is there when the pause ends; the rest comes while the fields are
    // being read, as from a module that stalled in the middle of its reply.
    test.port.setOnWrite([&test, &reply, cut](const QByteArray& text) {
        if (text != "<QUERY>")
            return;
        test.port.feed(reply.left(cut), 50ms);
        test.port.feed(reply.mid(cut), modProg::kQueryPause + 250ms);
    });

    const modProg::SettingsReply read = modProg::ReadSettingsReply(link);

    for (int field = 0; field < modProg::kFieldCount; ++field)
        QCOMPARE(read.fields[field], QString::fromLatin1(kReplyFields[field]));
}

void LinkDrillsTest::deviceThatIsNoPortExplains_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("advice");

    QTest::newRow("a folder") << m_scratch.filePath(QStringLiteral("a-folder"))
                              << QStringLiteral("This is not a serial device. Check which "
                                                "device COM1 is mapped to.");
    QTest::newRow("a regular file") << m_scratch.filePath(QStringLiteral("a-file"))
                                    << QStringLiteral("This is not a serial device. Check "
                                                      "which device COM1 is mapped to.");
    QTest::newRow("nothing") << m_scratch.filePath(QStringLiteral("ttyUSB-unplugged"))
                             << QStringLiteral("map COM1 to it with the line\nCOM1=/dev/ttyUSB0\n"
                                               "in section [Ports] of ");
}

void LinkDrillsTest::deviceThatIsNoPortExplains() {
    QFETCH(QString, device);
    QFETCH(QString, advice);
    RealLink tool(device);

    QVERIFY(!modComm::OpenPort(tool.link, 1));

    QVERIFY(!tool.port.isOpen());
    QCOMPARE(tool.messages.shown().size(), 1);
    const QString text = tool.messages.shown().first().text;
    QVERIFY2(text.startsWith(QStringLiteral("Error while opening COM1 !\r\n")), qPrintable(text));
    QVERIFY2(text.contains(device), qPrintable(text));
    QVERIFY2(text.contains(advice), qPrintable(text));
    QCOMPARE(tool.storedPort(), QStringLiteral("7"));

    // Nothing is left half-open: the same port object opens a real device next.
    doubles::PtyPair pty;
    if (!pty.isValid())
        return;
    tool.settings.setValue(QStringLiteral("Ports"), QStringLiteral("COM1"), pty.slavePath());
    QVERIFY(modComm::OpenPort(tool.link, 1));
    QCOMPARE(tool.storedPort(), QStringLiteral("1"));
}

void LinkDrillsTest::portHeldByAnotherProgramExplains() {
    doubles::PtyPair pty;
    if (!pty.isValid())
        QSKIP("This system gives no pseudo-terminals");
    QProcess holder;
    holder.start(HelperProgram(), {QStringLiteral("hold"), pty.slavePath()});
    QVERIFY2(holder.waitForReadyRead(5000), qPrintable(holder.readAllStandardError()));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
    RealLink tool(pty.slavePath());

    QVERIFY(!modComm::OpenPort(tool.link, 1));

    QVERIFY(!tool.port.isOpen());
    const QString text = tool.messages.texts().join(QString());
    QVERIFY2(text.startsWith(QStringLiteral("Error while opening COM1 !\r\n")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Another program holds the port. Close it and try "
                                          "again.")),
             qPrintable(text));
    QCOMPARE(tool.storedPort(), QStringLiteral("7"));

    // Once the other program lets go, the same port opens.
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(5000));
    QCOMPARE(holder.exitCode(), 0);
    QVERIFY(modComm::OpenPort(tool.link, 1));
    QCOMPARE(tool.storedPort(), QStringLiteral("1"));
}

void LinkDrillsTest::portRefusedToUserGivesGroupAdvice() {
    if (::geteuid() != 0)
        QSKIP("Needs root to switch to an unprivileged user: a pseudo-terminal made here "
              "belongs to this user, who may always open it");
    doubles::PtyPair pty;
    if (!pty.isValid())
        QSKIP("This system gives no pseudo-terminals");
    QVERIFY(::chmod(pty.slavePath().toLocal8Bit().constData(), 0600) == 0);

    QProcess tool;
    drills::RunAsNobody(tool);
    tool.start(HelperProgram(), {QStringLiteral("open"), pty.slavePath()});
    if (!tool.waitForStarted(5000))
        QSKIP("The unprivileged user cannot run programs from this build folder");
    QVERIFY(tool.waitForFinished(10000));
    if (tool.exitCode() == drills::kCannotSwitchUser)
        QSKIP("This system does not let the test switch to the user nobody");

    const QString text = QString::fromLocal8Bit(tool.readAllStandardOutput());
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY2(text.startsWith(QStringLiteral("Error while opening COM1 !\r\n")), qPrintable(text));
    QVERIFY2(text.contains(pty.slavePath()), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Your user must be in the group \"dialout\" to use "
                                          "serial ports")),
             qPrintable(text));
}

QTEST_GUILESS_MAIN(LinkDrillsTest)
#include "tst_link_drills.moc"
