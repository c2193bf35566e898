#include "progress_display.h"

namespace cli {

ProgressDisplay::ProgressDisplay(QTextStream& err, bool watched, const QStringList& ports,
                                 int columns)
    : m_err(err), m_watched(watched), m_live(watched && ports.size() > 1), m_ports(ports),
      m_columns(columns) {
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

void ProgressDisplay::printAbove(QTextStream& out, const QString& text) {
    std::lock_guard lock(m_mutex);
    if (!m_live || !m_drawn) {
        out << text << Qt::flush;
        return;
    }
    // Back to the first line of the block, everything below cleared, the text, the block.
    m_err << "\x1b[" << m_ports.size() << "A\r\x1b[J" << Qt::flush;
    out << text << Qt::flush;
    m_drawn = false;
    redraw();
}

void ProgressDisplay::redraw() {
    // Back to the first line of the block, then every line cleared and written again; a
    // line that wrapped would take the next redraw up one line short.
    if (m_drawn)
        m_err << "\x1b[" << m_ports.size() << 'A';
    for (qsizetype i = 0; i < m_ports.size(); ++i) {
        const QString line = m_ports[i] + QStringLiteral(": ") + m_states[i];
        m_err << "\r\x1b[2K" << (m_columns > 0 ? line.left(m_columns) : line) << '\n';
    }
    m_err << Qt::flush;
    m_drawn = true;
}

} // namespace cli
