#include "label_command.h"

#include "production_run/exit_status.h"
#include "production_run/label_reprint.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace cli {
namespace {

using production_run::ExitStatus;

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

std::optional<QString> LabelUsageError(const Invocation& invocation, bool pngGiven) {
    if (invocation.labelTemplate.isEmpty())
        return QStringLiteral("label needs the TEMPLATE: default, or a label template file");
    if (invocation.recordTarget.isEmpty())
        return QStringLiteral("label needs --record TARGET: the unit's label is made from what "
                              "the record kept of it");
    const auto& filter = invocation.recordFilter;
    if (filter.unit.has_value() == !filter.deviceAddress.isEmpty())
        return QStringLiteral("label needs --unit N or --address ADDR, not both: the unit whose "
                              "label to print");
    const int places = int(!invocation.labelPdfFolder.isEmpty()) +
                       int(!invocation.labelPrinter.isEmpty()) + int(pngGiven);
    if (places != 1)
        return QStringLiteral("label needs one of --label-pdf DIR, --printer NAME and --png FILE: "
                              "where the label goes");
    if (pngGiven && invocation.pngPath.isEmpty())
        return QStringLiteral("--png needs the file to write the preview to");
    return std::nullopt;
}

int RunLabelReprint(const Invocation& invocation, Console& console) {
    const auto parsed = production_record::ParseRecordTarget(invocation.recordTarget);
    if (const auto* refusal = std::get_if<QString>(&parsed)) {
        console.err << "cordelo-cli: " << *refusal << '\n';
        return static_cast<int>(ExitStatus::Usage);
    }
    using production_run::ReprintOutput;
    const auto& filter = invocation.recordFilter;
    const production_run::LabelReprint reprint{
        invocation.labelTemplate,
        filter.unit ? QString::number(*filter.unit) : filter.deviceAddress,
        !invocation.pngPath.isEmpty()        ? ReprintOutput::Png
        : !invocation.labelPrinter.isEmpty() ? ReprintOutput::Printer
                                             : ReprintOutput::PdfFolder,
        !invocation.pngPath.isEmpty()        ? invocation.pngPath
        : !invocation.labelPrinter.isEmpty() ? invocation.labelPrinter
                                             : invocation.labelPdfFolder,
        invocation.bench};
    const production_run::Reprinted done =
        production_run::ReprintFromRecord(std::get<production_record::RecordTarget>(parsed),
                                          {invocation.recordTimeout, console.interrupted}, reprint);
    const QString unit = done.unit ? QStringLiteral("unit %1").arg(*done.unit) : done.deviceAddress;
    if (done.print.printed)
        console.err << "cordelo-cli: " << unit << ": "
                    << (reprint.output == ReprintOutput::Png ? "preview written to "
                                                             : "label printed again to ")
                    << done.print.where << '\n';
    if (!done.print.reason.isEmpty())
        console.err << "cordelo-cli: " << (unit.isEmpty() ? QString() : unit + QStringLiteral(": "))
                    << done.print.reason << '\n';
    if (invocation.json) {
        const QJsonObject object{
            {QStringLiteral("unit"), done.unit ? QJsonValue(*done.unit) : QJsonValue()},
            {QStringLiteral("device_address"), TextOrNull(done.deviceAddress)},
            {QStringLiteral("result"), production_run::ResultName(done.status)},
            {QStringLiteral("exit"), static_cast<int>(done.status)},
            {QStringLiteral("label"),
             QJsonObject{{QStringLiteral("printed"), done.print.printed},
                         {QStringLiteral("file"), TextOrNull(done.print.where)},
                         {QStringLiteral("reason"), TextOrNull(done.print.reason)},
                         {QStringLiteral("reprint"), reprint.output != ReprintOutput::Png}}}};
        console.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    }
    console.out.flush();
    console.err.flush();
    return static_cast<int>(done.status);
}

} // namespace cli
