#include "serial_trace.h"

#include "printable_bytes.h"

#include <QFileDevice>

namespace platform {

SerialTrace::SerialTrace(QIODevice& out, const Pacing& pacing)
    : m_out(out), m_pacing(pacing), m_start(pacing.now()) {}

SerialTrace::~SerialTrace() {
    finishBurst();
}

void SerialTrace::recordSent(const QString& port, const QByteArray& bytes) {
    std::lock_guard lock(m_mutex);
    finishBurst();
    writeLine(m_pacing.now(), port,
              QStringLiteral("sent     ") +
                  QString::fromStdString(PrintableBytes(bytes.toStdString())));
}

void SerialTrace::recordReceived(const QString& port, const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    std::lock_guard lock(m_mutex);
    const auto now = m_pacing.now();
    if (!m_burst.isEmpty() && (port != m_burstPort || now - m_burstLast > kBurstGap))
        finishBurst();
    if (m_burst.isEmpty()) {
        m_burstPort = port;
        m_burstStart = now;
    }
    m_burst.append(bytes);
    m_burstLast = now;
}

void SerialTrace::recordEvent(const QString& port, const QString& event) {
    std::lock_guard lock(m_mutex);
    finishBurst();
    writeLine(m_pacing.now(), port, event);
}

void SerialTrace::finishBurst() {
    if (m_burst.isEmpty())
        return;
    writeLine(m_burstStart, m_burstPort,
              QStringLiteral("received ") +
                  QString::fromStdString(PrintableBytes(m_burst.toStdString())));
    m_burst.clear();
}

void SerialTrace::writeLine(Pacing::Clock::time_point at, const QString& port,
                            const QString& what) {
    const std::chrono::duration<double, std::milli> sinceStart = at - m_start;
    const QString line =
        QStringLiteral("%1 ms  %2  %3\n").arg(sinceStart.count(), 10, 'f', 3).arg(port, what);
    m_out.write(line.toUtf8());
    // A trace is read after something went wrong, possibly a crash: keep it on disk.
    if (auto* file = qobject_cast<QFileDevice*>(&m_out))
        file->flush();
}

} // namespace platform
