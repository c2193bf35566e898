// What each port is doing, on stderr while someone watches it: one line per step for one
// port, or one live line per port, redrawn in place, when several run at once.
#pragma once

#include <QStringList>
#include <QTextStream>

#include <mutex>

namespace cli {

class ProgressDisplay {
public:
    // Shows nothing unless `watched`; live lines are cut to `columns` when it is above 0.
    ProgressDisplay(QTextStream& err, bool watched, const QStringList& ports, int columns = 0);

    void show(int index, const QString& state);
    // Writes `text` to `out` above the live lines, which are drawn again below it, so that
    // a redraw never covers it when both streams show on one terminal.
    void printAbove(QTextStream& out, const QString& text);
    // True when the lines are redrawn in place: nothing else may write to stderr meanwhile.
    bool isLive() const { return m_live; }

private:
    void redraw();

    std::mutex m_mutex;
    QTextStream& m_err;
    const bool m_watched;
    const bool m_live;
    const QStringList m_ports;
    const int m_columns;
    QStringList m_states;
    bool m_drawn = false;
};

} // namespace cli
