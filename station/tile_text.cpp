#include "tile_text.h"

namespace station {
namespace {

struct PhaseLook {
    QString headline;
    QColor background;
    QColor text;
};

// Dark text on light colours and white on dark ones, each pair above 4.5:1 contrast.
PhaseLook PhaseLookOf(SlotPhase phase) {
    switch (phase) {
    case SlotPhase::Idle:
        return {QStringLiteral("Stopped"), QColor(0xe0, 0xe0, 0xe0), QColor(0x21, 0x21, 0x21)};
    case SlotPhase::Waiting:
        return {QStringLiteral("Waiting"), QColor(0xe3, 0xf2, 0xfd), QColor(0x0d, 0x2b, 0x4e)};
    case SlotPhase::Working:
        return {QStringLiteral("Working"), QColor(0xff, 0xe0, 0x82), QColor(0x21, 0x21, 0x21)};
    case SlotPhase::Passed:
        return {QStringLiteral("Passed"), QColor(0x1b, 0x5e, 0x20), Qt::white};
    case SlotPhase::Failed:
        return {QStringLiteral("Failed"), QColor(0xb7, 0x1c, 0x1c), Qt::white};
    case SlotPhase::PortProblem:
        return {QStringLiteral("Port problem"), QColor(0x4a, 0x14, 0x8c), Qt::white};
    case SlotPhase::Interrupted:
        return {QStringLiteral("Interrupted"), QColor(0xe6, 0x51, 0x00), Qt::white};
    }
    return {};
}

QString DetailOf(const SlotState& state) {
    switch (state.phase) {
    case SlotPhase::Idle:
        return QStringLiteral("Start the line to provision modules.");
    case SlotPhase::Waiting:
        return QStringLiteral("Put a module in.");
    case SlotPhase::Working:
        return state.detail.isEmpty() ? QStringLiteral("Starting.") : state.detail;
    case SlotPhase::Passed:
        return UnitText(state.unit, state.name) +
               (state.label.isEmpty() ? QString() : QStringLiteral("\n") + state.label) +
               QStringLiteral("\nTake the module out.");
    case SlotPhase::Failed:
    case SlotPhase::PortProblem:
    case SlotPhase::Interrupted:
        return state.detail;
    }
    return {};
}

} // namespace

QString UnitText(const std::optional<int>& unit, const QString& name) {
    if (!unit)
        return name;
    const QString number = QStringLiteral("Unit %1").arg(*unit);
    return name.isEmpty() ? number : number + QStringLiteral(" · ") + name;
}

TileLook LookOf(const SlotState& state) {
    const PhaseLook phase = PhaseLookOf(state.phase);
    TileLook look{phase.headline, DetailOf(state), phase.background, phase.text, {}, {}};
    // The state is in the name, which a screen reader reads out as it changes.
    look.accessibleName = QStringLiteral("Slot %1: %2").arg(state.port, phase.headline);
    QString detail = look.detail;
    detail.replace(QLatin1Char('\n'), QLatin1Char(' '));
    detail.replace(QStringLiteral(" · "), QStringLiteral(", "));
    look.accessibleDescription = phase.headline + QStringLiteral(": ") + detail;
    return look;
}

} // namespace station
