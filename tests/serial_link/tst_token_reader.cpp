// The reply token reader: its transitions, its state between calls, and its bounds.
#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"
#include "serial_link/token_scanner.h"

#include "test_platform.h"

#include <QTest>

using doubles::TestPlatform;

class TokenReaderTest : public QObject {
    Q_OBJECT

private slots:
    void readsTokensInOrder_data();
    void readsTokensInOrder();
    void keepsStateBetweenCalls_data();
    void keepsStateBetweenCalls();
    void closedPortReadsNothing();
    void flushKeepsOpenToken();
    void stateSurvivesClosingButNotReopening();
    void tellsEmptyTokenFromNoToken();
    void longInputHasNoPositionLimit();
    void floodStaysWithinCaps();
    void drainingConsumedTextIsLinear();
};

// Each row: what arrives before each call (one entry per call, "" = nothing new), and
// what each call returns.
void TokenReaderTest::readsTokensInOrder_data() {
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<QStringList>("results");

    QTest::newRow("three tokens in one read")
        << QList<QByteArray>{"[9600][1][N]", "", "", ""} << QStringList{"9600", "1", "N", ""};
    QTest::newRow("noise before and between is dropped")
        << QList<QByteArray>{"xx[OK]yy", ""} << QStringList{"OK", ""};
    QTest::newRow("token split over two reads")
        << QList<QByteArray>{"[REA", "DY]"} << QStringList{"", "READY"};
    QTest::newRow("empty token reads as empty")
        << QList<QByteArray>{"[][OK]", ""} << QStringList{"", "OK"};
    QTest::newRow("second bracket restarts the token")
        << QList<QByteArray>{"[AB[CD]"} << QStringList{"CD"};
    QTest::newRow("closing bracket with no token open")
        << QList<QByteArray>{"AB]CD", "[X]"} << QStringList{"", "X"};
    QTest::newRow("line breaks are ordinary characters")
        << QList<QByteArray>{"\r\n[A\r\nB]\r\n"} << QStringList{"A\r\nB"};
    QTest::newRow("case and blanks kept") << QList<QByteArray>{"[ ok ]"} << QStringList{" ok "};
    QTest::newRow("split at the closing bracket")
        << QList<QByteArray>{"[v2.0", "]"} << QStringList{"", "v2.0"};
    QTest::newRow("split at the opening bracket")
        << QList<QByteArray>{"noise[", "OK]"} << QStringList{"", "OK"};
}

void TokenReaderTest::readsTokensInOrder() {
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(QStringList, results);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();

    for (qsizetype call = 0; call < results.size(); ++call) {
        test.port.feed(arrivals.value(call));
        QCOMPARE(modComm::ReadToken(link), results[call]);
    }
}

void TokenReaderTest::keepsStateBetweenCalls_data() {
    QTest::addColumn<QByteArray>("arrival");
    QTest::addColumn<QByteArray>("rxBuffer");
    QTest::addColumn<QByteArray>("tokenText");
    QTest::addColumn<bool>("inToken");

    QTest::newRow("text after a token stays")
        << QByteArray("xx[OK]yy") << QByteArray("yy") << QByteArray() << false;
    QTest::newRow("exhausted inside a token")
        << QByteArray("zz[REA") << QByteArray() << QByteArray("REA") << true;
    QTest::newRow("exhausted outside a token")
        << QByteArray("noise") << QByteArray() << QByteArray() << false;
    QTest::newRow("orphan bracket stops the scan")
        << QByteArray("AB]CD") << QByteArray("CD") << QByteArray() << false;
}

void TokenReaderTest::keepsStateBetweenCalls() {
    QFETCH(QByteArray, arrival);
    QFETCH(QByteArray, rxBuffer);
    QFETCH(QByteArray, tokenText);
    QFETCH(bool, inToken);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    test.port.feed(arrival);

    modComm::ReadToken(link);

    QCOMPARE(link.rx.RxBuffer.mid(link.rx.RxStart), rxBuffer);
    QCOMPARE(link.rx.TokenText, tokenText);
    QCOMPARE(link.rx.InToken, inToken);
}

void TokenReaderTest::closedPortReadsNothing() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.feed("[OK]");

    QCOMPARE(modComm::ReadToken(link), QString());
    QCOMPARE(test.port.reads(), 0);
    QCOMPARE(link.rx.unscannedSize(), 0);
}

void TokenReaderTest::flushKeepsOpenToken() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    test.port.feed("[AB");
    QCOMPARE(modComm::ReadToken(link), QString());

    test.port.feed("stale");
    modComm::FlushInput(link);
    test.port.feed("]");
    QCOMPARE(modComm::ReadToken(link), QStringLiteral("AB"));

    test.port.feed("[CD");
    modComm::ReadToken(link);
    modComm::FlushInput(link);
    test.port.feed("[EF]");
    QCOMPARE(modComm::ReadToken(link), QStringLiteral("EF"));
}

void TokenReaderTest::stateSurvivesClosingButNotReopening() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    QVERIFY(modComm::OpenPort(link, 1));
    test.port.feed("[REA");
    modComm::ReadToken(link);
    modComm::ClosePort(link);
    QVERIFY(link.rx.InToken);
    QCOMPARE(link.rx.TokenText, QByteArray("REA"));

    // Stale text from the last connection is no reply to anything the next one sends.
    QVERIFY(modComm::OpenPort(link, 1));
    test.port.feed("DY][OK]");
    QCOMPARE(modComm::ReadToken(link), QString());
    QCOMPARE(modComm::ReadToken(link), QStringLiteral("OK"));
}

void TokenReaderTest::tellsEmptyTokenFromNoToken() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();

    test.port.feed("[PART");
    QVERIFY(!modComm::ReadCompleteToken(link).has_value());
    test.port.feed("IAL][]");
    QCOMPARE(modComm::ReadCompleteToken(link), std::optional<QString>(QStringLiteral("PARTIAL")));
    const auto empty = modComm::ReadCompleteToken(link);
    QVERIFY(empty.has_value());
    QVERIFY(empty->isEmpty());
}

void TokenReaderTest::longInputHasNoPositionLimit() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();
    // Far past what a 16-bit scan position could address.
    test.port.feed(QByteArray(40000, 'x') + "[LATE]" + QByteArray(40000, 'y') + "[LAST]");

    QCOMPARE(modComm::ReadToken(link), QStringLiteral("LATE"));
    QCOMPARE(modComm::ReadToken(link), QStringLiteral("LAST"));
}

void TokenReaderTest::floodStaysWithinCaps() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    test.port.open();

    test.port.feed("[" + QByteArray(1 << 20, 'a'));
    QCOMPARE(modComm::ReadToken(link), QString());
    QVERIFY(link.rx.TokenText.size() <= modComm::kMaxTokenLength);

    QByteArray tokens;
    while (tokens.size() < (1 << 20))
        tokens += "]x[y]";
    test.port.feed(tokens);
    modComm::ReadToken(link);
    QVERIFY(link.rx.unscannedSize() <= modComm::kMaxUnscannedBytes);
    QVERIFY(link.rx.RxBuffer.size() <= 2 * modComm::kMaxUnscannedBytes);

    // The newest text survives the cap: a reply at the end of a flood is still read.
    modComm::FlushInput(link);
    test.port.feed(QByteArray(2 * modComm::kMaxUnscannedBytes, ']') + "[READY]");
    QString last;
    for (int call = 0; call < 2 * modComm::kMaxUnscannedBytes && last.isEmpty(); ++call)
        last = modComm::ReadToken(link);
    QCOMPARE(last, QStringLiteral("READY"));
}

void TokenReaderTest::drainingConsumedTextIsLinear() {
    modComm::ReceiveState state;
    QByteArray tokens;
    for (int i = 0; i < 20000; ++i)
        tokens += "[t]";
    modComm::AppendReceived(state, tokens);

    for (int i = 0; i < 15000; ++i)
        QCOMPARE(modComm::ScanToken(state), std::optional<QByteArray>("t"));
    // Consumed text is cut off in bulk, so the buffer holds little more than what is left.
    QVERIFY(state.RxBuffer.size() <= 2 * state.unscannedSize() + 3);
    int rest = 0;
    while (modComm::ScanToken(state))
        ++rest;
    QCOMPARE(rest, 5000);
    QCOMPARE(state.unscannedSize(), 0);
}

QTEST_GUILESS_MAIN(TokenReaderTest)
#include "tst_token_reader.moc"
