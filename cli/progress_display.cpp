#include "progress_display.h"

namespace cli {

ProgressDisplay::ProgressDisplay(QTextStream& err, bool watched, const QStringList& ports)
    : m_err(err), m_watched(watched), m_live(watched && ports.size() > 1), m_ports(ports) {
    for (qsizetype i = 0; i < ports.size(); ++i)
        m_states << QStringLiteral("waiting");
}

void ProgressDisplay::show(int index, const QString& state) {
    if (!m_watched)
        return;
    std::lock_guard lock(m_mutex);
    m_states[index] = state;
    if (m_live) {
        redraw();
        return;
    }
    m_err << m_ports[index] << ": " << state << '\n' << Qt::flush;
}

void ProgressDisplay::redraw() {
    // Back to the first line of the block, then every line cleared and written again.
    if (m_drawn)
        m_err << "\x1b[" << m_ports.size() << 'A';
    for (qsizetype i = 0; i < m_ports.size(); ++i)
        m_err << "\r\x1b[2K" << m_ports[i] << ": " << m_states[i] << '\n';
    m_err << Qt::flush;
    m_drawn = true;
}

} // namespace cli
