// What each port is doing, on stderr while someone watches it: one line per step for one
// port, or one live line per port, redrawn in place, when several run at once.
#pragma once

#include <QStringList>
#include <QTextStream>

#include <mutex>

namespace cli {

class ProgressDisplay {
public:
    // Shows nothing unless `watched`.
    ProgressDisplay(QTextStream& err, bool watched, const QStringList& ports);

    void show(int index, const QString& state);
    // True when the lines are redrawn in place: nothing else may write to stderr meanwhile.
    bool isLive() const { return m_live; }

private:
    void redraw();

    std::mutex m_mutex;
    QTextStream& m_err;
    const bool m_watched;
    const bool m_live;
    const QStringList m_ports;
    QStringList m_states;
    bool m_drawn = false;
};

} // namespace cli
