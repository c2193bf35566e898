#include "station_screenshot.h"

#include "station/line_binding.h"
#include "station/production_line.h"
#include "station/station_window.h"

#include "virtual_module/simulated_modules.h"

#include <QApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <functional>

namespace tools {
namespace {

using namespace std::chrono_literals;

constexpr int kSlots = 4;
constexpr auto kLongestWait = 20s;

// Runs the event loop until `shown` holds: false when it never does.
bool WaitUntil(const std::function<bool()>& shown) {
    const QDeadlineTimer deadline(kLongestWait);
    while (!shown()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

bool SlotShows(const station::StationWindow& window, int slot, station::SlotPhase phase) {
    return window.tiles().size() > slot && window.tiles()[slot]->state().phase == phase;
}

} // namespace

std::optional<QString> RenderStation(const QString& path) {
    virtual_module::SimulatedModules modules(kSlots);
    station::ProductionLine line(modules);
    station::StationWindow window;
    station::LineBinding binding(line, window, {});
    window.resize(1200, 720);
    window.show();
    production_run::Job job;
    job.verb = production_run::Verb::Write;
    job.all = true;
    job.sets = {QStringLiteral("name=Station-{n}")};
    window.jobForm()->showJob(job);
    if (!binding.start(job))
        return QStringLiteral("the line did not start");
    const auto allPassed = [&window] {
        return std::all_of(window.tiles().cbegin(), window.tiles().cend(), [](const auto* tile) {
            return tile->state().phase == station::SlotPhase::Passed;
        });
    };
    if (!WaitUntil(allPassed))
        return QStringLiteral("the simulated modules did not pass");

    // Slot 3 gets a module that forgets its name, so that its verify fails; slot 4 is left
    // empty, waiting.
    modules.module(3).setPresent(false);
    modules.module(4).setPresent(false);
    if (!WaitUntil([&window] { return SlotShows(window, 2, station::SlotPhase::Waiting); }))
        return QStringLiteral("the slot did not see its module taken out");
    virtual_module::Faults forgetful;
    forgetful.forget = "NAME";
    modules.module(3).replace(virtual_module::NthSimulatedModule(kSlots + 1));
    modules.module(3).setFaults(forgetful);
    if (!WaitUntil([&window] {
            return SlotShows(window, 2, station::SlotPhase::Failed) &&
                   SlotShows(window, 3, station::SlotPhase::Waiting);
        }))
        return QStringLiteral("the failed and the waiting slot did not show");

    const bool saved = window.grab().save(path, "PNG");
    line.stop();
    if (!saved)
        return QStringLiteral("cannot write ") + path;
    return std::nullopt;
}

} // namespace tools
