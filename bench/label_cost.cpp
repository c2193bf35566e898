#include "label_cost.h"

#include "addressed_modules.h"

#include "record_cost.h"

#include "label_print/label_pdf.h"

#include <QTemporaryDir>

namespace bench {
namespace {

using Milliseconds = std::chrono::duration<double, std::milli>;

// The default label's layout; a Code 128 of the address needs the label's width.
QString TemplateOf(profile::CodeKind kind) {
    const bool linear = kind == profile::CodeKind::Code128;
    return QStringLiteral("[Label]\nwidth=50\nheight=25\n[Code]\nkind=%1\ntext={address}\n"
                          "left=2\ntop=2\nwidth=%2\nheight=%3\n[Text]\nleft=%4\ntop=%5\n"
                          "line1={name}\nline2=Unit {unit}\nline3={address}\nsize3=2.5\n")
        .arg(QStringList{"qr", "datamatrix", "code128"}.at(static_cast<int>(kind)))
        .arg(linear ? 46 : 21)
        .arg(linear ? 10 : 21)
        .arg(linear ? 2 : 25)
        .arg(linear ? 13 : 3);
}

} // namespace

std::vector<Milliseconds> MeasureLabelRender(profile::CodeKind kind, int runs) {
    const auto parsed = profile::ParseLabelText(TemplateOf(kind));
    if (!std::holds_alternative<profile::LabelTemplate>(parsed))
        return {};
    const auto& label = std::get<profile::LabelTemplate>(parsed);
    QTemporaryDir folder;
    label_print::LabelValues unit{1,
                                  QStringLiteral("0012 6f 3a 9b01"),
                                  QStringLiteral("bench"),
                                  QStringLiteral("v2.0"),
                                  QDate::currentDate(),
                                  {}};
    unit.settings.name = QStringLiteral("Sensor-9b01");
    std::vector<Milliseconds> times;
    for (int run = 0; run < runs; ++run) {
        unit.unit = run + 1;
        const auto start = std::chrono::steady_clock::now();
        if (label_print::WriteLabelPdf(folder.path(), label, unit).printed)
            times.push_back(std::chrono::steady_clock::now() - start);
    }
    return times;
}

LabelCostRuns MeasureLabelCost(const QString& directory, int modules, int runs) {
    const std::optional<AddressedModules> simulated = StartAddressedModules(modules);
    if (!simulated)
        return {};
    const QStringList& ports = simulated->portOptions;
    const QString cli = directory + QStringLiteral("/cordelo-cli");
    const QStringList write = QStringList{"write", "--set", "name=Bench-{n}"} + ports;
    LabelCostRuns cost;
    for (int run = 0; run < runs; ++run) {
        // A new folder each run, as on a line where every module is a new unit with a file of
        // its own; the same write again then replaces each of them.
        QTemporaryDir labels;
        const QStringList labelled =
            write + QStringList{"--label", "default", "--label-pdf", labels.path()};
        const auto without = TimeCliWrite(cli, write);
        const auto with = TimeCliWrite(cli, labelled);
        const auto again = TimeCliWrite(cli, labelled);
        if (without && with && again) {
            cost.without.push_back(*without);
            cost.with.push_back(*with);
            cost.replacing.push_back(*again);
        }
    }
    return cost;
}

} // namespace bench
