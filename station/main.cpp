// cordelo-station: the production line's own window, where a module put in is a module
// provisioned. Only this entry point knows whether the slots' ports are real or simulated.
#include "job_file.h"
#include "line_binding.h"
#include "production_line.h"
#include "simulated_slots.h"
#include "slot_worker.h"
#include "station_command_line.h"
#include "station_window.h"
#include "stop_on_signal.h"

#include "platform/display_presence.h"
#include "platform/machine_ports.h"
#include "platform/process_end.h"
#include "platform/thread_safe_patterns.h"
#include "resources/program_identity.h"
#include "virtual_module/simulated_modules.h"

#include <QApplication>
#include <QHash>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

constexpr int kSimulatedSlots = 4;
// Longer than a slot takes to see a module gone.
constexpr std::chrono::milliseconds kSwapPause = station::kTakenOutAfter + 500ms;

// The simulated slots' modules as the window's buttons move them: each slot remembers the
// module last taken out of it, faults and all, so that it can be put back as it was.
class SimulatedSlotControls : public station::SimulatedSlots {
public:
    explicit SimulatedSlotControls(virtual_module::SimulatedModules& modules)
        : m_modules(modules), m_nextModule(modules.count() + 1) {}

    void putInNew(const QString& port) override {
        if (moduleOn(port))
            putIn(port, {});
    }
    void putInFaulty(const QString& port) override {
        if (!moduleOn(port))
            return;
        virtual_module::Faults faults;
        faults.forget = "NAME";
        putIn(port, faults);
    }
    void takeOut(const QString& port) override {
        virtual_module::SimulatedModule* module = moduleOn(port);
        if (!module || !module->isPresent())
            return;
        m_takenOut[port] = {module->settings(), m_faults.value(port)};
        module->setPresent(false);
    }
    void putBack(const QString& port) override {
        const auto taken = m_takenOut.constFind(port);
        virtual_module::SimulatedModule* module = moduleOn(port);
        if (taken == m_takenOut.constEnd() || !module || module->isPresent())
            return;
        module->replace(taken->settings);
        module->setFaults(taken->faults);
        m_faults[port] = taken->faults;
    }

private:
    struct Module {
        virtual_module::ModuleSettings settings;
        virtual_module::Faults faults;
    };

    // A module in the slot comes out first, and the new one goes in once the slot has seen
    // it gone, as an operator's hands would do it.
    void putIn(const QString& port, const virtual_module::Faults& faults) {
        const bool occupied = moduleOn(port)->isPresent();
        takeOut(port);
        const int number = m_nextModule++;
        QTimer::singleShot(occupied ? kSwapPause : 0ms, &m_context, [this, port, faults, number] {
            moduleOn(port)->replace(virtual_module::NthSimulatedModule(number));
            moduleOn(port)->setFaults(faults);
            m_faults[port] = faults;
        });
    }
    // The module on a simulated port, COM1 to COMn; none for any other name.
    virtual_module::SimulatedModule* moduleOn(const QString& port) {
        const int number = port.startsWith(QLatin1String("COM")) ? port.mid(3).toInt() : 0;
        return number >= 1 && number <= m_modules.count() ? &m_modules.module(number) : nullptr;
    }

    virtual_module::SimulatedModules& m_modules;
    QObject m_context;
    int m_nextModule;
    QHash<QString, virtual_module::Faults> m_faults;
    QHash<QString, Module> m_takenOut;
};

// What --virtual-module alone offers: every simulated slot, each module named by its number.
production_run::Job SimulatedJob() {
    production_run::Job job;
    job.verb = production_run::Verb::Write;
    job.all = true;
    job.sets = {QStringLiteral("name=Station-{n}")};
    return job;
}

int Refuse(const QString& why) {
    std::fprintf(stderr, "cordelo-station: %s\n", qPrintable(why));
    return 1;
}

// The window and the line, until the window closes; the line's threads have ended on return.
// `unreadable`: why the job file given cannot be read, told on stderr and above the job form.
int RunStation(int& argc, char** argv, const station::StationCommandLine& parsed,
               const std::optional<production_run::Job>& job,
               const station::LineBinding::JobCheck& check, const QString& unreadable) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cordelo-station"));
    resources::ApplyProgramIdentity();
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.cordelo.CordeloStation"));
    virtual_module::SimulatedModules simulated(kSimulatedSlots);
    SimulatedSlotControls controls(simulated);
    const platform::MachinePorts machine({}, platform::AdviceFor::LineSlot);
    station::ProductionLine line(
        parsed.simulatedModules ? static_cast<const platform::PortSource&>(simulated) : machine);
    station::StationWindow window(parsed.simulatedModules ? &controls : nullptr);
    station::LineBinding binding(line, window, check);
    if (!station::CloseOnStopRequest(window))
        std::fputs("cordelo-station: stop signals will not close the window\n", stderr);
    window.resize(1280, 800);
    window.show();
    if (!job && parsed.simulatedModules)
        window.jobForm()->showJob(SimulatedJob());
    if (job) {
        window.jobForm()->showJob(*job);
        binding.start(*job);
    }
    // Told once the window is up, so that a stop request (a signal, or WM_CLOSE on Windows)
    // from whoever reads it closes the window.
    if (!unreadable.isEmpty()) {
        window.showRefusal(unreadable);
        Refuse(unreadable);
    }
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    platform::KeepPatternsOffThreadStacks();
    // Read before the application starts, so that --help and a wrong option need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const station::StationCommandLine parsed = station::ParseStationCommandLine(arguments);
    if (parsed.help) {
        std::fputs(qPrintable(station::StationUsageText()), stdout);
        return 0;
    }
    if (parsed.version) {
        std::printf("cordelo-station %s\n", qPrintable(resources::ProgramVersion()));
        return 0;
    }
    if (!parsed.error.isEmpty())
        return Refuse(parsed.error + QStringLiteral("; see --help"));
    std::optional<production_run::Job> job = parsed.job;
    QString unreadable;
    if (!parsed.jobFile.isEmpty()) {
        const auto read = station::ReadJobFile(parsed.jobFile);
        if (const auto* refused = std::get_if<QString>(&read)) {
            if (!platform::DisplayAvailable())
                return Refuse(*refused);
            unreadable = *refused;
        } else {
            job = std::get<production_run::Job>(read);
        }
    }
    const station::LineBinding::JobCheck check =
        [simulated = parsed.simulatedModules](const production_run::Job& given) {
            return simulated ? station::RefusedOnSimulatedModules(given) : std::nullopt;
        };
    if (const auto refused = job ? check(*job) : std::nullopt) {
        Refuse(*refused);
        // With a display, the binding refuses it again in the window, where it can be put right.
        if (!platform::DisplayAvailable())
            return 1;
    }
    return platform::EndProcess(RunStation(argc, argv, parsed, job, check, unreadable));
}
