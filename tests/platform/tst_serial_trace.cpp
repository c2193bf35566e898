// The exchange trace: one line per burst with its time, port and direction, and every
// byte readable.
#include "platform/serial_trace.h"

#include "fake_pacing.h"

#include <QBuffer>
#include <QTest>

using namespace std::chrono_literals;

class SerialTraceTest : public QObject {
    Q_OBJECT

private slots:
    void burstsBecomeLines();
};

void SerialTraceTest::burstsBecomeLines() {
    doubles::FakePacing pacing;
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    {
        platform::SerialTrace trace(out, pacing);
        pacing.sleepFor(12ms);
        trace.recordSent("COM3", "<PING>");
        pacing.sleepFor(4ms);
        trace.recordReceived("COM3", "[REA");
        pacing.sleepFor(3ms);
        trace.recordReceived("COM3", "DY]\r\n");
        pacing.sleepFor(50ms);
        trace.recordReceived("COM3", QByteArray("[\x01\xe9]", 4));
        trace.recordEvent("COM3", "closed");
    }

    QCOMPARE(QString::fromUtf8(out.data()).split('\n'),
             QStringList({"    12.000 ms  COM3  sent     <PING>",
                          "    16.000 ms  COM3  received [READY]\\r\\n",
                          "    69.000 ms  COM3  received [\\x01\\xe9]",
                          "    69.000 ms  COM3  closed", ""}));
}

QTEST_GUILESS_MAIN(SerialTraceTest)
#include "tst_serial_trace.moc"
