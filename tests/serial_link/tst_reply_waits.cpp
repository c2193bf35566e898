// The two bounded waits: their pacing, their bounds, and exact matching.
#include "serial_link/reply_reader.h"

#include "test_platform.h"

#include <QTest>

using doubles::TestPlatform;
using namespace std::chrono_literals;

class ReplyWaitsTest : public QObject {
    Q_OBJECT

private slots:
    void unansweredWaitReadsFourTimesAndSleepsFive();
    void closedPortWaitsFullBoundWithoutReading();
    void replyEndsWaitAtItsPoll_data();
    void replyEndsWaitAtItsPoll();
    void matchingIsExact_data();
    void matchingIsExact();
    void tokensBeforeTheReplyAreConsumed();
    void versionIsFirstFourCharacterToken_data();
    void versionIsFirstFourCharacterToken();
    void eventsRunBeforeEverySleep();
    void slowEventHandlingDoesNotStretchTheBound();
};

void ReplyWaitsTest::unansweredWaitReadsFourTimesAndSleepsFive() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();

    QVERIFY(!modComm::WaitForReply(link, QStringLiteral("READY")));
    QCOMPARE(test.port.reads(), 4);
    QCOMPARE(test.pacing.sleeps().size(), 5u);
    QCOMPARE(test.pacing.elapsed(), 500ms);

    test.pacing.clearCounts();
    QCOMPARE(modComm::WaitForVersion(link), QString());
    QCOMPARE(test.port.reads(), 8);
    QCOMPARE(test.pacing.sleeps().size(), 5u);
}

void ReplyWaitsTest::closedPortWaitsFullBoundWithoutReading() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.feed("[OK]");

    QVERIFY(!modComm::WaitForReply(link, QStringLiteral("OK")));
    QCOMPARE(test.port.reads(), 0);
    QCOMPARE(test.pacing.elapsed(), 500ms);
}

void ReplyWaitsTest::replyEndsWaitAtItsPoll_data() {
    QTest::addColumn<int>("arrivalMs");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("endMs");

    QTest::newRow("before the first poll") << 30 << true << 100;
    QTest::newRow("exactly at a poll") << 200 << true << 200;
    QTest::newRow("before the fourth poll") << 350 << true << 400;
    QTest::newRow("after the last poll") << 420 << false << 500;
}

void ReplyWaitsTest::replyEndsWaitAtItsPoll() {
    QFETCH(int, arrivalMs);
    QFETCH(bool, answered);
    QFETCH(int, endMs);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    test.port.feed("[READY]", std::chrono::milliseconds(arrivalMs));

    QCOMPARE(modComm::WaitForReply(link, QStringLiteral("READY")), answered);
    QCOMPARE(test.pacing.elapsed(), std::chrono::milliseconds(endMs));
}

void ReplyWaitsTest::matchingIsExact_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("answered");

    QTest::newRow("exact") << QByteArray("[OK]") << true;
    QTest::newRow("lower case") << QByteArray("[ok]") << false;
    QTest::newRow("trailing blank") << QByteArray("[OK ]") << false;
    QTest::newRow("leftover skipped first") << QByteArray("[READY][OK]") << true;
    QTest::newRow("outside brackets") << QByteArray("OK") << false;
}

void ReplyWaitsTest::matchingIsExact() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, answered);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    test.port.feed(reply);

    QCOMPARE(modComm::WaitForReply(link, QStringLiteral("OK")), answered);
}

void ReplyWaitsTest::tokensBeforeTheReplyAreConsumed() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    test.port.feed("[a][b][c][d][e][OK]");

    QVERIFY(!modComm::WaitForReply(link, QStringLiteral("OK")));
    // Four polls took four tokens; the fifth and the acknowledgement are still there.
    QCOMPARE(modComm::ReadToken(link), QStringLiteral("e"));
    QCOMPARE(modComm::ReadToken(link), QStringLiteral("OK"));
}

void ReplyWaitsTest::versionIsFirstFourCharacterToken_data() {
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<QString>("version");

    QTest::newRow("after an acknowledgement") << QByteArray("[OK][v2.0]") << "v2.0";
    QTest::newRow("stale four characters first") << QByteArray("[9600][v1.1]") << "9600";
    QTest::newRow("five characters skipped") << QByteArray("[v1.10][v1.1]") << "v1.1";
    QTest::newRow("none within four polls") << QByteArray("[a][b][c][d][v2.0]") << "";
    QTest::newRow("wrong case is still four characters") << QByteArray("[V1.1]") << "V1.1";
}

void ReplyWaitsTest::versionIsFirstFourCharacterToken() {
    QFETCH(QByteArray, replies);
    QFETCH(QString, version);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    test.port.feed(replies);

    QCOMPARE(modComm::WaitForVersion(link), version);
}

void ReplyWaitsTest::eventsRunBeforeEverySleep() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    QList<int> readsAtEvents;
    test.pacing.setOnEvents([&](int) { readsAtEvents << test.port.reads(); });

    modComm::WaitForReply(link, QStringLiteral("READY"));

    QCOMPARE(readsAtEvents, (QList<int>{0, 1, 2, 3, 4}));
}

void ReplyWaitsTest::slowEventHandlingDoesNotStretchTheBound() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    // A repaint that takes 30 ms before each sleep.
    test.pacing.setOnEvents([&](int) { test.pacing.sleepFor(30ms); });

    modComm::WaitForReply(link, QStringLiteral("READY"));

    QCOMPARE(test.pacing.elapsed(), 500ms);
}

QTEST_GUILESS_MAIN(ReplyWaitsTest)
#include "tst_reply_waits.moc"
