// The job of the line as a form: profile, placeholders, values list, record, bench, ports and
// label, saved as a job file and opened again.
#pragma once

#include "label_fields.h"

#include "production_run/job.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include <variant>

namespace station {

class JobForm : public QWidget {
    Q_OBJECT

public:
    explicit JobForm(QWidget* parent = nullptr);

    void showJob(const production_run::Job& job);
    // The job as the form gives it, or why it is incomplete.
    std::variant<production_run::Job, QString> job() const;

    // Saves or opens the job as a file: why it could not, or nothing.
    std::optional<QString> saveTo(const QString& path) const;
    std::optional<QString> openFrom(const QString& path);

    LabelFields* labelFields() const { return m_labels; }
    // The record as the form names it, for finding a unit while the line is stopped too.
    QString recordTarget() const { return m_record->text().trimmed(); }
    // The bench the line records, this machine's name unless given.
    QString bench() const;

signals:
    // Something the user should read, such as a job file that cannot be read.
    void problem(const QString& text);

private:
    void chooseFile(QLineEdit* field, const QString& title, const QString& filter);
    void saveAs();
    void open();

    // What the form does not show (the log, the trace, the first {n}) is kept as it came.
    production_run::Job m_job;
    QLineEdit* m_profile = nullptr;
    QPlainTextEdit* m_sets = nullptr;
    QLineEdit* m_values = nullptr;
    QLineEdit* m_record = nullptr;
    QLineEdit* m_bench = nullptr;
    QLineEdit* m_ports = nullptr;
    QCheckBox* m_all = nullptr;
    QCheckBox* m_verify = nullptr;
    LabelFields* m_labels = nullptr;
};

} // namespace station
