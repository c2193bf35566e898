#include "label_fields.h"

#include "form_rows.h"
#include "label_preview.h"
#include "problem_text.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPrinterInfo>
#include <QPushButton>

#include <variant>

namespace station {
namespace {

// Painted as fine as a PDF label, then shown smaller: a code at the screen's resolution would
// lose modules to rounding.
constexpr int kPreviewDotsPerInch = 600;
// The most room the preview takes in the form, in logical pixels.
constexpr QSize kPreviewRoom{360, 180};

} // namespace

LabelFields::LabelFields(QWidget* parent)
    : QGroupBox(tr("Label for each unit that passes"), parent), m_choice(new QComboBox),
      m_file(new QLineEdit), m_destination(new QComboBox), m_where(new QStackedWidget),
      m_folder(new QLineEdit), m_printer(new QComboBox), m_preview(new QLabel) {
    m_choice->addItems({tr("No label"),
                        tr("The default label (50 × 25 mm, the address as a QR "
                           "Code)"),
                        tr("A label template file:")});
    m_file->setPlaceholderText(tr("a .label file"));
    m_file->setAccessibleName(tr("Label template file"));
    auto* browseTemplate = new QPushButton(tr("Brows&e…"));
    browseTemplate->setAccessibleName(tr("Browse for the label template"));
    connect(browseTemplate, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, tr("Label template"), m_file->text(),
                                         tr("Label templates (*.label);;All files (*)"));
        if (!path.isEmpty())
            m_file->setText(path);
    });
    m_fileRow = WithBrowse(m_file, browseTemplate);

    m_destination->addItems({tr("PDF files in the folder"), tr("The printer")});
    m_folder->setPlaceholderText(tr("one PDF file per label, named by its unit"));
    m_folder->setAccessibleName(tr("Folder of the labels' PDF files"));
    auto* browseFolder = new QPushButton(tr("Choose fol&der…"));
    browseFolder->setAccessibleName(tr("Choose the labels' folder"));
    connect(browseFolder, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getExistingDirectory(this, tr("Folder of the labels"), m_folder->text());
        if (!path.isEmpty())
            m_folder->setText(path);
    });
    m_printer->setAccessibleName(tr("Printer of the labels"));
    m_printer->setPlaceholderText(tr("this system has no printer"));
    listPrinters({});
    m_where->addWidget(WithBrowse(m_folder, browseFolder));
    m_where->addWidget(m_printer);
    connect(m_destination, &QComboBox::currentIndexChanged, m_where,
            &QStackedWidget::setCurrentIndex);
    auto* destinationRow = new QWidget;
    auto* destinationLayout = new QHBoxLayout(destinationRow);
    destinationLayout->setContentsMargins(0, 0, 0, 0);
    destinationLayout->addWidget(m_destination);
    destinationLayout->addWidget(m_where, 1);

    // Text from a template file is shown as it stands, never as rich text.
    m_preview->setTextFormat(Qt::PlainText);
    m_preview->setWordWrap(true);
    m_preview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_preview->setAccessibleName(tr("Label preview"));

    auto* form = new QFormLayout(this);
    form->addRow(BuddyLabel(tr("L&abel:"), m_choice), m_choice);
    form->addRow(QString(), m_fileRow);
    form->addRow(BuddyLabel(tr("Labels &go to:"), m_destination), destinationRow);
    form->addRow(tr("Preview:"), m_preview);

    connect(m_choice, &QComboBox::currentIndexChanged, this, &LabelFields::updatePreview);
    connect(m_file, &QLineEdit::textChanged, this, &LabelFields::updatePreview);
    updatePreview();
}

void LabelFields::showJob(const production_run::Job& job) {
    m_file->setText(job.labelTemplate == QLatin1String("default") ? QString() : job.labelTemplate);
    m_choice->setCurrentIndex(job.labelTemplate.isEmpty()                     ? NoLabel
                              : job.labelTemplate == QLatin1String("default") ? DefaultTemplate
                                                                              : TemplateFile);
    m_folder->setText(job.labelPdfFolder);
    listPrinters(job.labelPrinter);
    m_destination->setCurrentIndex(job.labelPrinter.isEmpty() ? ToFolder : ToPrinter);
    updatePreview();
}

std::optional<QString> LabelFields::fillJob(production_run::Job& job) const {
    job.labelTemplate = templateName();
    job.labelPdfFolder.clear();
    job.labelPrinter.clear();
    if (job.labelTemplate.isEmpty())
        return std::nullopt;
    if (m_refusal)
        return tr("Label: %1").arg(*m_refusal);
    if (m_destination->currentIndex() == ToPrinter) {
        job.labelPrinter = m_printer->currentText();
        if (job.labelPrinter.isEmpty())
            return tr("Labels go to: this system has no printer; send the labels to a folder "
                      "as PDF files.");
    } else {
        job.labelPdfFolder = m_folder->text().trimmed();
        if (job.labelPdfFolder.isEmpty())
            return tr("Labels go to: give the folder for the labels' PDF files, or choose a "
                      "printer.");
    }
    return std::nullopt;
}

void LabelFields::setBench(const QString& bench) {
    if (bench == m_bench)
        return;
    m_bench = bench;
    updatePreview();
}

QString LabelFields::templateName() const {
    switch (m_choice->currentIndex()) {
    case DefaultTemplate:
        return QStringLiteral("default");
    case TemplateFile:
        return m_file->text().trimmed();
    default:
        return {};
    }
}

void LabelFields::listPrinters(const QString& wanted) {
    // A job file may name a printer this system lacks now: it stays named, and the line's
    // start says that the system has no such printer.
    QStringList names = QPrinterInfo::availablePrinterNames();
    if (!wanted.isEmpty() && !names.contains(wanted))
        names.prepend(wanted);
    const QString chosen = wanted.isEmpty() ? QPrinterInfo::defaultPrinterName() : wanted;
    m_printer->clear();
    m_printer->addItems(names);
    m_printer->setCurrentIndex(static_cast<int>(names.indexOf(chosen)));
    if (m_printer->currentIndex() < 0 && !names.isEmpty())
        m_printer->setCurrentIndex(0);
}

void LabelFields::updatePreview() {
    const bool labelled = m_choice->currentIndex() != NoLabel;
    m_fileRow->setEnabled(m_choice->currentIndex() == TemplateFile);
    m_destination->setEnabled(labelled);
    m_where->setEnabled(labelled);
    m_image = {};
    m_refusal.reset();
    const QString name = templateName();
    if (!labelled) {
        showPreviewText(tr("No label is printed."), false);
        return;
    }
    if (name.isEmpty()) {
        m_refusal = tr("choose the template file, or the default label");
        showPreviewText(*m_refusal, true);
        return;
    }
    const auto preview = PreviewLabel(name, m_bench, kPreviewDotsPerInch);
    if (const auto* refusal = std::get_if<QString>(&preview)) {
        m_refusal = *refusal;
        showPreviewText(tr("This template is refused: %1").arg(*refusal), true);
        return;
    }
    m_image = std::get<QImage>(preview);
    const qreal ratio = devicePixelRatioF();
    QPixmap shown = QPixmap::fromImage(
        m_image.scaled(kPreviewRoom * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    shown.setDevicePixelRatio(ratio);
    ShowAsProblem(*m_preview, false);
    m_preview->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_preview->setPixmap(shown);
    m_preview->setFixedSize(shown.deviceIndependentSize().toSize() +
                            QSize(2, 2) * m_preview->frameWidth());
    m_preview->setAccessibleDescription(
        tr("The label of a unit such as unit 1234, %1 by %2 mm")
            .arg(QLocale().toString(m_image.width() * 25.4 / kPreviewDotsPerInch, 'f', 0),
                 QLocale().toString(m_image.height() * 25.4 / kPreviewDotsPerInch, 'f', 0)));
}

void LabelFields::showPreviewText(const QString& text, bool problem) {
    m_preview->setFrameStyle(QFrame::NoFrame);
    m_preview->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_preview->setMinimumSize(0, kPreviewRoom.height() / 2);
    m_preview->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    ShowAsProblem(*m_preview, problem);
    m_preview->setText(text);
    m_preview->setAccessibleDescription(text);
}

} // namespace station
