#include "job_form.h"

#include "form_rows.h"
#include "job_file.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSysInfo>
#include <QVBoxLayout>

namespace station {
namespace {

const QString kJobFilter = QStringLiteral("Job files (*.ini);;All files (*)");

} // namespace

JobForm::JobForm(QWidget* parent)
    : QWidget(parent), m_profile(new QLineEdit), m_sets(new QPlainTextEdit),
      m_values(new QLineEdit), m_record(new QLineEdit), m_bench(new QLineEdit),
      m_ports(new QLineEdit), m_all(new QCheckBox(tr("Every port this machine &lists"))),
      m_verify(new QCheckBox(tr("&Verify what each module took"))), m_labels(new LabelFields) {
    m_profile->setPlaceholderText(tr("none: only the placeholders below are written"));
    m_sets->setPlaceholderText(tr("one KEY=VALUE a line, such as name=Station-{n}"));
    m_sets->setTabChangesFocus(true);
    m_sets->setFixedHeight(m_sets->fontMetrics().lineSpacing() * 5);
    m_values->setPlaceholderText(tr("none"));
    m_record->setPlaceholderText(tr("none: an SQLite file or postgresql://user@host/db"));
    m_bench->setPlaceholderText(tr("this machine's name"));
    m_ports->setPlaceholderText(tr("COM1 COM2 … or device paths, separated by blanks"));
    m_verify->setChecked(true);
    connect(m_all, &QCheckBox::toggled, m_ports, &QLineEdit::setDisabled);
    // The label's {bench} is the bench the line records, this machine's name unless given.
    const auto benchChanged = [this] { m_labels->setBench(bench()); };
    connect(m_bench, &QLineEdit::textChanged, this, benchChanged);
    benchChanged();

    auto* browseProfile = new QPushButton(tr("&Browse…"));
    auto* browseValues = new QPushButton(tr("Bro&wse…"));
    auto* browseRecord = new QPushButton(tr("Brow&se…"));
    browseProfile->setAccessibleName(tr("Browse for the profile"));
    browseValues->setAccessibleName(tr("Browse for the values list"));
    browseRecord->setAccessibleName(tr("Browse for the record"));
    connect(browseProfile, &QPushButton::clicked, this, [this] {
        chooseFile(m_profile, tr("Profile"), tr("Profiles (*.ini);;All files (*)"));
    });
    connect(browseValues, &QPushButton::clicked, this, [this] {
        chooseFile(m_values, tr("Values list"), tr("CSV files (*.csv);;All files (*)"));
    });
    connect(browseRecord, &QPushButton::clicked, this, [this] {
        // The record's file is made on first use, so a new name is as good as an old one.
        const QString path =
            QFileDialog::getSaveFileName(this, tr("Production record"), m_record->text(),
                                         tr("SQLite files (*.sqlite *.db);;All files (*)"), nullptr,
                                         QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty())
            m_record->setText(path);
    });

    auto* form = new QFormLayout;
    form->addRow(BuddyLabel(tr("&Profile:"), m_profile), WithBrowse(m_profile, browseProfile));
    form->addRow(BuddyLabel(tr("Place&holders:"), m_sets), m_sets);
    form->addRow(BuddyLabel(tr("Va&lues list:"), m_values), WithBrowse(m_values, browseValues));
    form->addRow(BuddyLabel(tr("&Record:"), m_record), WithBrowse(m_record, browseRecord));
    form->addRow(BuddyLabel(tr("Be&nch:"), m_bench), m_bench);
    form->addRow(BuddyLabel(tr("P&orts:"), m_ports), m_ports);
    form->addRow(QString(), m_all);
    form->addRow(QString(), m_verify);

    auto* openButton = new QPushButton(tr("&Open job…"));
    auto* saveButton = new QPushButton(tr("Sa&ve job…"));
    openButton->setShortcut(QKeySequence::Open);
    saveButton->setShortcut(QKeySequence::Save);
    connect(openButton, &QPushButton::clicked, this, &JobForm::open);
    connect(saveButton, &QPushButton::clicked, this, &JobForm::saveAs);
    auto* files = new QHBoxLayout;
    files->addWidget(openButton);
    files->addWidget(saveButton);
    files->addStretch();

    // With its label and preview the form is taller than a small station screen: it scrolls
    // rather than squeezing the preview.
    auto* fields = new QWidget;
    auto* layout = new QVBoxLayout(fields);
    layout->addLayout(form);
    layout->addWidget(m_labels);
    layout->addLayout(files);
    layout->addStretch();
    auto* scroll = new QScrollArea;
    scroll->setWidget(fields);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAccessibleName(tr("The job"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    m_job.verb = production_run::Verb::Write;
}

void JobForm::showJob(const production_run::Job& job) {
    m_job = job;
    m_profile->setText(job.profilePath);
    m_sets->setPlainText(job.sets.join(QLatin1Char('\n')));
    m_values->setText(job.valuesPath);
    m_record->setText(job.recordTarget);
    m_bench->setText(job.bench);
    m_ports->setText(job.ports.join(QLatin1Char(' ')));
    m_all->setChecked(job.all);
    m_verify->setChecked(job.verify);
    m_labels->showJob(job);
}

QString JobForm::bench() const {
    const QString given = m_bench->text().trimmed();
    return given.isEmpty() ? QSysInfo::machineHostName() : given;
}

std::variant<production_run::Job, QString> JobForm::job() const {
    production_run::Job job = m_job;
    job.verb = production_run::Verb::Write;
    job.profilePath = m_profile->text().trimmed();
    job.sets.clear();
    for (const QString& line : m_sets->toPlainText().split(QLatin1Char('\n'))) {
        if (line.trimmed().isEmpty())
            continue;
        if (line.indexOf(QLatin1Char('=')) <= 0)
            return tr("Placeholders: give KEY=VALUE, not \"%1\".").arg(line);
        job.sets << line;
    }
    job.valuesPath = m_values->text().trimmed();
    job.recordTarget = m_record->text().trimmed();
    job.bench = m_bench->text().trimmed();
    job.all = m_all->isChecked();
    job.ports =
        job.all ? QStringList() : m_ports->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    job.verify = m_verify->isChecked();
    if (!job.all && job.ports.isEmpty())
        return tr("Ports: give the slots' ports, or tick every port.");
    if (const auto refused = m_labels->fillJob(job))
        return *refused;
    return job;
}

std::optional<QString> JobForm::saveTo(const QString& path) const {
    const auto formJob = job();
    if (const auto* refused = std::get_if<QString>(&formJob))
        return *refused;
    return WriteJobFile(path, std::get<production_run::Job>(formJob));
}

std::optional<QString> JobForm::openFrom(const QString& path) {
    const auto read = ReadJobFile(path);
    if (const auto* refused = std::get_if<QString>(&read))
        return *refused;
    showJob(std::get<production_run::Job>(read));
    return std::nullopt;
}

void JobForm::chooseFile(QLineEdit* field, const QString& title, const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(this, title, field->text(), filter);
    if (!path.isEmpty())
        field->setText(path);
}

void JobForm::saveAs() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save job"), {}, kJobFilter);
    if (path.isEmpty())
        return;
    if (const auto refused = saveTo(path))
        emit problem(*refused);
}

void JobForm::open() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Open job"), {}, kJobFilter);
    if (path.isEmpty())
        return;
    if (const auto refused = openFrom(path))
        emit problem(*refused);
}

} // namespace station
