// The exchange trace for support: every byte sent and received, with the time from the
// start, the port and the direction, one line per burst, non-printable bytes escaped.
#pragma once

#include "pacing.h"

#include <QByteArray>
#include <QString>

#include <mutex>

class QIODevice;

namespace platform {

class SerialTrace {
public:
    // Received bytes that follow each other closer than this make one burst.
    static constexpr std::chrono::milliseconds kBurstGap{20};

    // The clock starts now; every line is written to `out` as soon as it is complete.
    // Ports on several threads may share one trace.
    SerialTrace(QIODevice& out, const Pacing& pacing);
    ~SerialTrace();
    SerialTrace(const SerialTrace&) = delete;
    SerialTrace& operator=(const SerialTrace&) = delete;

    void recordSent(const QString& port, const QByteArray& bytes);
    void recordReceived(const QString& port, const QByteArray& bytes);
    // An event on the port that is no data, such as "opened /dev/ttyUSB0".
    void recordEvent(const QString& port, const QString& event);

private:
    void writeLine(Pacing::Clock::time_point at, const QString& port, const QString& what);
    void finishBurst();

    std::mutex m_mutex;
    QIODevice& m_out;
    const Pacing& m_pacing;
    const Pacing::Clock::time_point m_start;
    QString m_burstPort;
    QByteArray m_burst;
    Pacing::Clock::time_point m_burstStart;
    Pacing::Clock::time_point m_burstLast;
};

} // namespace platform
