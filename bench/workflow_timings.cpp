#include "workflow_timings.h"

#include "main_window/frm_main.h"
#include "platform/qt_pacing.h"
#include "platform/qt_serial_port.h"
#include "platform/qt_settings_store.h"

#include "virtual_module/virtual_module.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <ctime>
#include <memory>
#include <optional>

namespace bench {
namespace {

using Clock = std::chrono::steady_clock;

// Notes when a message was shown instead of waiting for someone to close it.
class TimedMessageBox : public platform::MessageBox {
public:
    void show(platform::MessageIcon, const QString& text) override {
        lastText = text;
        shownAt = Clock::now();
    }

    QString lastText;
    std::optional<Clock::time_point> shownAt;
};

struct ToolOnModule {
    explicit ToolOnModule(const virtual_module::VirtualModule& module) {
        settings.setValue("Ports", "COM1", QString::fromStdString(module.devicePath()));
        settings.setValue("Properties", "CommPort", "1");
        window.Form_Load();
        window.show();
        QApplication::processEvents();
    }

    platform::QtSettingsStore settings;
    platform::QtSerialPort port{settings};
    TimedMessageBox messages;
    platform::QtPacing pacing;
    platform::Platform platform{port, settings, messages, pacing};
    frmMain window{platform};
};

template <typename Action> Milliseconds Time(Action action) {
    const auto start = Clock::now();
    action();
    return Clock::now() - start;
}

std::chrono::nanoseconds ThreadCpuTime() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

void RunEventLoopFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

WorkflowTimings MeasureWorkflow(int runs) {
    virtual_module::VirtualModule module;
    if (!module.start())
        return {};
    WorkflowTimings timings;
    for (int run = 0; run < runs; ++run) {
        ToolOnModule tool(module);
        timings.connect.push_back(Time([&] { tool.window.cmdConnect->click(); }));
        timings.refresh.push_back(Time([&] { tool.window.cmdRefresh->click(); }));

        tool.messages.shownAt.reset();
        const auto start = Clock::now();
        tool.window.cmdWrite->click();
        if (tool.messages.shownAt && tool.messages.lastText == "Write settings success!")
            timings.write.push_back(*tool.messages.shownAt - start);
        tool.window.close();
    }
    return timings;
}

double MeasureIdleCpuPercent(std::chrono::seconds duration) {
    virtual_module::VirtualModule module;
    if (!module.start())
        return -1;
    ToolOnModule tool(module);
    tool.window.cmdConnect->click();
    // Let the first ticks settle before measuring.
    RunEventLoopFor(std::chrono::seconds(2));

    const auto cpuBefore = ThreadCpuTime();
    const auto wallBefore = Clock::now();
    RunEventLoopFor(duration);
    const auto cpu = ThreadCpuTime() - cpuBefore;
    const auto wall = Clock::now() - wallBefore;
    if (!tool.window.Timer1.isActive())
        return -1;
    return 100.0 * std::chrono::duration<double>(cpu).count() /
           std::chrono::duration<double>(wall).count();
}

} // namespace bench
