// The waits that block on the port: each ends when its reply is complete, and a missing
// reply fails after the same time as the polled waits.
#include "module_protocol/settings_reply.h"
#include "serial_link/data_waits.h"

#include "test_platform.h"

#include <QTest>

using doubles::TestPlatform;
using namespace std::chrono_literals;

class DataWaitsTest : public QObject {
    Q_OBJECT

private slots:
    void replyEndsTheWaitWhenItArrives_data();
    void replyEndsTheWaitWhenItArrives();
    void queryEndsWithItsTwelfthToken_data();
    void queryEndsWithItsTwelfthToken();
};

void DataWaitsTest::replyEndsTheWaitWhenItArrives_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("arrivalMs");
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("endMs");

    QTest::newRow("at once") << QByteArray("[READY]") << 0 << true << 0;
    QTest::newRow("after 37 ms") << QByteArray("[READY]") << 37 << true << 37;
    QTest::newRow("after other tokens") << QByteArray("[OK][x][READY]") << 120 << true << 120;
    QTest::newRow("inside the polled bound") << QByteArray("[READY]") << 450 << true << 450;
    QTest::newRow("after the bound") << QByteArray("[READY]") << 520 << false << 500;
    QTest::newRow("wrong case") << QByteArray("[ready]") << 10 << false << 500;
}

void DataWaitsTest::replyEndsTheWaitWhenItArrives() {
    QFETCH(QByteArray, reply);
    QFETCH(int, arrivalMs);
    QFETCH(bool, answered);
    QFETCH(int, endMs);
    TestPlatform test;
    modComm::Link link{test.platform, {}, modComm::WaitStyle::OnData};
    test.port.open();
    test.port.feed(reply, std::chrono::milliseconds(arrivalMs));

    QCOMPARE(modComm::WaitForReply(link, QStringLiteral("READY")), answered);
    QCOMPARE(test.pacing.elapsed(), std::chrono::milliseconds(endMs));
    QVERIFY(test.pacing.sleeps().empty());
}

void DataWaitsTest::queryEndsWithItsTwelfthToken_data() {
    QTest::addColumn<int>("tokens");
    QTest::addColumn<int>("endMs");

    QTest::newRow("whole reply") << 12 << 150;
    // The polled query gives up after its pause and its grace: 400 + 500 ms.
    QTest::newRow("one field missing") << 11 << 900;
}

void DataWaitsTest::queryEndsWithItsTwelfthToken() {
    QFETCH(int, tokens);
    QFETCH(int, endMs);
    TestPlatform test;
    modComm::Link link{test.platform, {}, modComm::WaitStyle::OnData};
    test.port.open();
    QByteArray reply;
    for (int field = 1; field <= tokens; ++field)
        reply += "[f" + QByteArray::number(field) + "]";
    test.port.answer("<QUERY>", reply, 150ms);

    const modProg::SettingsReply read = modProg::ReadSettingsReply(link);

    QCOMPARE(read.fieldsReceived, tokens);
    QCOMPARE(read[modProg::Field::Name], QStringLiteral("f1"));
    QCOMPARE(test.pacing.elapsed(), std::chrono::milliseconds(endMs));
}

QTEST_GUILESS_MAIN(DataWaitsTest)
#include "tst_data_waits.moc"
