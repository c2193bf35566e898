// Reading the settings reply: field order, missing and late tokens, surplus, and the
// list positions that reply values select.
#include "module_protocol/settings_reply.h"
#include "serial_link/port_session.h"
#include "serial_link/reply_reader.h"
#include "serial_link/token_scanner.h"

#include "test_platform.h"

#include <QTest>

using doubles::TestPlatform;
using modProg::Field;
using namespace std::chrono_literals;

namespace {

const QByteArray kFullReply = "[Cordelo][1234][9600][1][N][SLAVE][0000 00 00 0000]"
                              "[0012 6f 3a 9b 01][0][DISCOVERABLE][PIN_ON][v2.0]";

QStringList Fields(const modProg::SettingsReply& reply) {
    return QStringList(reply.fields.begin(), reply.fields.end());
}

} // namespace

class SettingsQueryTest : public QObject {
    Q_OBJECT

private slots:
    void completeReplyIsReadWithoutExtraWait();
    void queryFlushesStaleInputFirst();
    void silentModuleReadsEmptyWithinHalfASecondMore();
    void shortReplyLeavesLastFieldsEmpty();
    void surplusTokensStayForLaterReads();
    void tokenCutAtThePauseStillLandsInItsField_data();
    void tokenCutAtThePauseStillLandsInItsField();
    void graceIsSharedByTheWholeReply();
    void replyValuesSelectListPositions_data();
    void replyValuesSelectListPositions();
    void fieldsThatReadAsNoSettingDamageTheReply_data();
    void fieldsThatReadAsNoSettingDamageTheReply();
};

void SettingsQueryTest::completeReplyIsReadWithoutExtraWait() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.answer("<QUERY>", kFullReply, 130ms);

    const auto reply = modProg::ReadSettingsReply(link);

    QCOMPARE(Fields(reply),
             (QStringList{"Cordelo", "1234", "9600", "1", "N", "SLAVE", "0000 00 00 0000",
                          "0012 6f 3a 9b 01", "0", "DISCOVERABLE", "PIN_ON", "v2.0"}));
    QCOMPARE(test.pacing.elapsed(), 400ms);
    QCOMPARE(test.pacing.eventRuns(), 0);
}

void SettingsQueryTest::queryFlushesStaleInputFirst() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.feed("[OK][READY]");
    modComm::AppendReceived(link.rx, "[STALE]");
    test.port.answer("<QUERY>", kFullReply, 100ms);

    const auto reply = modProg::ReadSettingsReply(link);

    QCOMPARE(reply[Field::Name], QStringLiteral("Cordelo"));
    // Once when the port opened, once before the commands.
    QCOMPARE(test.port.operations().filter("Discard").size(), 2);
    QCOMPARE(test.port.written(), (QList<QByteArray>{"<QUERY>"}));
}

void SettingsQueryTest::silentModuleReadsEmptyWithinHalfASecondMore() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);

    const auto reply = modProg::ReadSettingsReply(link);

    for (const QString& field : reply.fields)
        QVERIFY(field.isEmpty());
    QVERIFY(test.pacing.elapsed() <= 900ms);
}

void SettingsQueryTest::shortReplyLeavesLastFieldsEmpty() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.answer("<QUERY>", "[Name][9999][4800]", 20ms);

    const auto reply = modProg::ReadSettingsReply(link);

    QCOMPARE(reply[Field::Name], QStringLiteral("Name"));
    QCOMPARE(reply[Field::BaudRate], QStringLiteral("4800"));
    QCOMPARE(reply[Field::StopBits], QString());
    QCOMPARE(reply[Field::Firmware], QString());
}

void SettingsQueryTest::surplusTokensStayForLaterReads() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.answer("<QUERY>", kFullReply + "[EXTRA]", 20ms);

    const auto reply = modProg::ReadSettingsReply(link);

    QCOMPARE(reply[Field::Firmware], QStringLiteral("v2.0"));
    QCOMPARE(modComm::ReadToken(link), QStringLiteral("EXTRA"));
}

void SettingsQueryTest::tokenCutAtThePauseStillLandsInItsField_data() {
    QTest::addColumn<int>("cutAt");
    QTest::addColumn<int>("restAfterMs");

    // Cut inside the parity token, the rest arriving shortly after the pause.
    const int insideParity = int(kFullReply.indexOf("[N]")) + 2;
    QTest::newRow("inside token 5, rest 30 ms late") << insideParity << 430;
    QTest::newRow("inside token 5, rest 250 ms late") << insideParity << 650;
    QTest::newRow("inside the last token") << int(kFullReply.size() - 2) << 470;
    QTest::newRow("between tokens") << int(kFullReply.indexOf("[SLAVE]")) << 480;
}

void SettingsQueryTest::tokenCutAtThePauseStillLandsInItsField() {
    QFETCH(int, cutAt);
    QFETCH(int, restAfterMs);
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    test.port.answer("<QUERY>", kFullReply.left(cutAt), 150ms);
    test.port.setOnWrite([&](const QByteArray& text) {
        if (text == "<QUERY>")
            test.port.feed(kFullReply.mid(cutAt), std::chrono::milliseconds(restAfterMs));
    });

    const auto reply = modProg::ReadSettingsReply(link);

    QCOMPARE(reply[Field::Parity], QStringLiteral("N"));
    QCOMPARE(reply[Field::Role], QStringLiteral("SLAVE"));
    QCOMPARE(reply[Field::Firmware], QStringLiteral("v2.0"));
    QCOMPARE(modComm::ReadToken(link), QString());
}

void SettingsQueryTest::graceIsSharedByTheWholeReply() {
    TestPlatform test;
    modComm::Link link{test.platform, {}};
    modComm::OpenPort(link, 1);
    // One token every 300 ms: the grace runs out after a few of them.
    test.port.setOnWrite([&](const QByteArray& text) {
        if (text != "<QUERY>")
            return;
        for (int field = 0; field < modProg::kFieldCount; ++field)
            test.port.feed(QStringLiteral("[f%1]").arg(field).toLatin1(),
                           std::chrono::milliseconds(300 * (field + 1)));
    });

    const auto reply = modProg::ReadSettingsReply(link);

    QCOMPARE(test.pacing.elapsed(), 900ms);
    QCOMPARE(reply[Field::Name], QStringLiteral("f0"));
    QCOMPARE(reply[Field::PinCode], QStringLiteral("f1"));
    QCOMPARE(reply[Field::BaudRate], QStringLiteral("f2"));
    QCOMPARE(reply[Field::StopBits], QString());
    QCOMPARE(reply[Field::Firmware], QString());
}

void SettingsQueryTest::replyValuesSelectListPositions_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("position");

    const QStringList rates = {"1200",  "2400",  "4800",   "9600",  "19200",
                               "38400", "57600", "115200", "230400"};
    for (int i = 0; i < rates.size(); ++i)
        QTest::addRow("baud %s", qPrintable(rates[i])) << "baud" << rates[i] << i;
    QTest::newRow("baud 300") << "baud"
                              << "300" << -1;
    QTest::newRow("baud padded") << "baud"
                                 << " 9600" << -1;
    QTest::newRow("stop 1") << "stop"
                            << "1" << 0;
    QTest::newRow("stop 2") << "stop"
                            << "2" << 1;
    QTest::newRow("stop 1.5") << "stop"
                              << "1.5" << -1;
    QTest::newRow("parity N") << "parity"
                              << "N" << 0;
    QTest::newRow("parity O") << "parity"
                              << "O" << 1;
    QTest::newRow("parity E") << "parity"
                              << "E" << 2;
    QTest::newRow("parity lower case") << "parity"
                                       << "e" << -1;
    QTest::newRow("parity word") << "parity"
                                 << "None" << -1;
}

void SettingsQueryTest::replyValuesSelectListPositions() {
    QFETCH(QString, list);
    QFETCH(QString, value);
    QFETCH(int, position);
    const auto index = list == "baud"   ? modProg::BaudRateIndex(value)
                       : list == "stop" ? modProg::StopBitsIndex(value)
                                        : modProg::ParityIndex(value);
    QCOMPARE(index.value_or(-1), position);
}

void SettingsQueryTest::fieldsThatReadAsNoSettingDamageTheReply_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("damage");

    const auto row = [](const char* name, Field field, const char* value, const char* damage) {
        QTest::newRow(name) << static_cast<int>(field) << QString(value) << QString(damage);
    };
    row("as sent", Field::Name, "Cordelo", "");
    row("baud rate not in the lists", Field::BaudRate, "300", "");
    row("baud rate empty", Field::BaudRate, "", "its baud rate reads \"\"");
    row("stop bits a rate", Field::StopBits, "9600", "its stop bits reads \"9600\"");
    row("parity a number", Field::Parity, "1", "its parity reads \"1\"");
    row("role lower case", Field::Role, "master", "its role reads");
    row("visibility", Field::Visibility, "PIN_ON", "its visibility reads");
    row("PIN request", Field::PinRequest, "v2.0", "its PIN request reads");
}

void SettingsQueryTest::fieldsThatReadAsNoSettingDamageTheReply() {
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, damage);
    modProg::SettingsReply reply;
    const QStringList sent =
        QString::fromLatin1(kFullReply.sliced(1, kFullReply.size() - 2)).split("][");
    std::copy(sent.begin(), sent.end(), reply.fields.begin());
    reply.fields[field] = value;

    const std::optional<QString> found = modProg::ReplyDamage(reply);

    QCOMPARE(found.has_value(), !damage.isEmpty());
    QVERIFY2(found.value_or("").contains(damage), qPrintable(found.value_or("")));
}

QTEST_GUILESS_MAIN(SettingsQueryTest)
#include "tst_settings_query.moc"
