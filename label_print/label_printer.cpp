#include "label_printer.h"

#include "label_painting.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace label_print {

std::optional<QString> PrinterMissing(const QString& printer) {
    if (!QPrinterInfo::printerInfo(printer).isNull())
        return std::nullopt;
    const QStringList names = QPrinterInfo::availablePrinterNames();
    return names.isEmpty()
               ? QStringLiteral("no printer named %1: this system has no printer").arg(printer)
               : QStringLiteral("no printer named %1 (the printers are %2)")
                     .arg(printer, names.join(QStringLiteral(", ")));
}

LabelPrint PrintLabel(const QString& printer, const profile::LabelTemplate& label,
                      const LabelValues& values) {
    // A printer may go away while the line runs.
    if (const auto missing = PrinterMissing(printer))
        return {false, {}, *missing};
    // A stopped queue would keep the label and print it hours later, on another unit's box.
    if (const QPrinter::PrinterState state = QPrinterInfo::printerInfo(printer).state();
        state == QPrinter::Aborted || state == QPrinter::Error)
        return {false,
                {},
                QStringLiteral("the queue of the printer %1 is stopped or in error").arg(printer)};
    QPrinter device(QPrinterInfo::printerInfo(printer), QPrinter::HighResolution);
    device.setFullPage(true);
    device.setPageLayout(
        QPageLayout(QPageSize(QSizeF(label.widthMm, label.heightMm), QPageSize::Millimeter),
                    QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    device.setDocName(FillLabelText(label.codeText, values));
    QPainter painter;
    if (!painter.begin(&device))
        return {false, {}, QStringLiteral("the printer %1 did not take the label").arg(printer)};
    if (auto refusal = PaintLabel(painter, device.resolution(), label, FillLabel(label, values))) {
        device.abort();
        return {false, {}, *refusal};
    }
    if (!painter.end() || device.printerState() == QPrinter::Error)
        return {false, {}, QStringLiteral("the printer %1 did not take the label").arg(printer)};
    return {true, printer, {}};
}

} // namespace label_print
