// Connects the production line to the station's window: what the line tells, the window
// shows; what the operator asks in the window, the line does.
#pragma once

#include "production_line.h"
#include "station_window.h"
#include "unit_search.h"

#include <QObject>

#include <functional>
#include <optional>

namespace station {

class LineBinding : public QObject {
    Q_OBJECT

public:
    // Why a job must not run here (such as a record on simulated modules), or nothing.
    using JobCheck = std::function<std::optional<QString>(const production_run::Job&)>;

    // `line` and `window` must outlive the binding.
    LineBinding(ProductionLine& line, StationWindow& window, JobCheck check);

    // Starts the line on the job, or shows why it was refused: true when it runs.
    bool start(production_run::Job job);
    // Lets a slot that is writing finish and keep its row; returns when every slot has ended.
    void stop();

private:
    ProductionLine& m_line;
    StationWindow& m_window;
    JobCheck m_check;
};

} // namespace station
