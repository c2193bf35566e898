// Fault drills on the whole tool: a megabyte from the module at once, while connected.
// Memory must stay bounded, the window must stay itself, and the link must come back.
#include "frm_main.h"

#include "process_usage.h"
#include "tool_on_module.h"

#include <QToolButton>

#include <QTest>

using namespace std::chrono_literals;
using doubles::kGreenLamp;
using doubles::kRedLamp;
using virtual_module::VirtualModule;

namespace {

constexpr qsizetype kFloodBytes = 1024 * 1024;
// The module's copy of the flood is made before the watch starts; the tool's share is
// its caps and Qt's read buffer, a fraction of a MiB. A tool that kept the flood would
// go past this.
constexpr qint64 kFloodMemoryBound = kFloodBytes;
constexpr int kKeepAliveVerdictMs = 3000;
// The keep-alive's first tick comes within a second, and a flood that it reads through
// is gone within a few more.
constexpr int kFloodVerdictMs = 10000;
// A user who sees the red lamp clicks Connect again; each failed click shows one of
// these. Replies to the pings that went unanswered behind the flood come late, and the
// version wait of the next Connect takes them for its own: two to five clicks here.
constexpr int kReconnectClicks = 4;
const QStringList kConnectFailures = {
    QStringLiteral("No reply from device!"),
    QStringLiteral("Invalid firmware version!\r\nIt must be v1.1 or v2.0 !")};

std::string Repeated(const std::string& pattern) {
    std::string flood;
    flood.reserve(kFloodBytes + pattern.size());
    while (flood.size() < static_cast<std::size_t>(kFloodBytes))
        flood += pattern;
    return flood;
}

class MemoryWatch {
public:
    // From here on, so that what connecting and painting allocate does not count.
    void restart() { m_before = m_most = drills::LiveHeapBytes(); }
    void sample() { m_most = std::max(m_most, drills::LiveHeapBytes()); }
    qint64 growth() const { return m_most - m_before; }

private:
    qint64 m_before = drills::LiveHeapBytes();
    qint64 m_most = m_before;
};

} // namespace

class FloodDrillsTest : public QObject {
    Q_OBJECT

private slots:
    void floodOfTextIsSurvived();
    void floodOfTokensIsSurvived();

private:
    // Connects, types a name and floods; returns once the keep-alive has given up on the
    // module behind the flood, or the module has put all of it on the line.
    void floodWhileConnected(doubles::ToolOnModule& tool, VirtualModule& module, std::string flood,
                             MemoryWatch& memory);
    void reconnectOnceTheFloodHasPassed(doubles::ToolOnModule& tool, VirtualModule& module,
                                        MemoryWatch& memory);
};

void FloodDrillsTest::floodWhileConnected(doubles::ToolOnModule& tool, VirtualModule& module,
                                          std::string flood, MemoryWatch& memory) {
    tool.window.cmdConnect->click();
    QCOMPARE(tool.lamp(), kGreenLamp);
    tool.window.txtName->selectAll();
    QTest::keyClicks(tool.window.txtName, QStringLiteral("Bench 7"));

    memory.restart();
    module.inject(std::move(flood), VirtualModule::Pacing::Burst);

    const auto floodDealtWith = [&] {
        memory.sample();
        return tool.lamp() == kRedLamp || module.waitUntilLineIdle(0ms);
    };
    QTRY_VERIFY_WITH_TIMEOUT(floodDealtWith(), kFloodVerdictMs);
    QVERIFY(tool.messages.shown().isEmpty());
    QVERIFY(!tool.window.isBusy());
    // Connected or not, the display, the timer and the port agree.
    const bool connected = tool.lamp() == kGreenLamp;
    QCOMPARE(tool.port.isOpen(), connected);
    QCOMPARE(tool.window.Timer1.isActive(), connected);
    QCOMPARE(tool.window.txtName->text(), QStringLiteral("Bench 7"));
    QVERIFY2(memory.growth() < kFloodMemoryBound,
             qPrintable(QString::number(memory.growth()) + " bytes more"));
}

void FloodDrillsTest::floodOfTextIsSurvived() {
    VirtualModule module;
    QVERIFY2(module.start(), module.errorText().c_str());
    doubles::ToolOnModule tool(module);
    MemoryWatch memory;
    floodWhileConnected(tool, module, Repeated("flood without brackets "), memory);
    if (QTest::currentTestFailed())
        return;

    reconnectOnceTheFloodHasPassed(tool, module, memory);
}

void FloodDrillsTest::floodOfTokensIsSurvived() {
    VirtualModule module;
    QVERIFY2(module.start(), module.errorText().c_str());
    doubles::ToolOnModule tool(module);
    MemoryWatch memory;
    floodWhileConnected(tool, module, Repeated("[OK]"), memory);
    if (QTest::currentTestFailed())
        return;
    // The ping reads four of the flood's tokens and not its answer.
    QCOMPARE(tool.lamp(), kRedLamp);

    reconnectOnceTheFloodHasPassed(tool, module, memory);
}

void FloodDrillsTest::reconnectOnceTheFloodHasPassed(doubles::ToolOnModule& tool,
                                                     VirtualModule& module, MemoryWatch& memory) {
    // Either the keep-alive read through the flood, or the user connects again. The
    // module goes on sending what the closed port did not take; a Connect drains the line
    // while its pings wait, and each starts from a clean line, so a few clicks do.
    int clicks = 0;
    while (tool.lamp() != kGreenLamp && clicks < kReconnectClicks) {
        tool.window.cmdConnect->click();
        ++clicks;
        memory.sample();
        QVERIFY(!tool.window.isBusy());
    }
    qInfo("connected again after %d clicks on Connect, with the messages: %s", clicks,
          qPrintable(tool.messages.texts().join(QStringLiteral(" | ")).replace("\r\n", " ")));
    QCOMPARE(tool.lamp(), kGreenLamp);
    for (const QString& text : tool.messages.texts())
        QVERIFY2(kConnectFailures.contains(text), qPrintable(text));
    QVERIFY2(memory.growth() < kFloodMemoryBound,
             qPrintable(QString::number(memory.growth()) + " bytes more"));

    // The keep-alive holds again: a second ping goes out only when the first was
    // answered.
    const std::size_t before = module.receivedCount();
    QTRY_COMPARE_WITH_TIMEOUT(module.receivedCount(), before + 2, kKeepAliveVerdictMs);
    QCOMPARE(tool.lamp(), kGreenLamp);
}

QTEST_MAIN(FloodDrillsTest)
#include "tst_flood_drills.moc"
