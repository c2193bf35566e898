// The job form's label: the template (none, the default or a file), where each label goes (a
// folder of PDF files or a printer of the system), and a preview of the template filled with
// a made-up unit's values, or why the job would refuse it.
#pragma once

#include "production_run/job.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>

#include <optional>

namespace station {

class LabelFields : public QGroupBox {
    Q_OBJECT

public:
    explicit LabelFields(QWidget* parent = nullptr);

    void showJob(const production_run::Job& job);
    // Gives the job its label: why the label cannot go with the job, or nothing.
    std::optional<QString> fillJob(production_run::Job& job) const;
    // The bench a unit's {bench} names, and whose longest values the template must hold.
    void setBench(const QString& bench);

    // The label as the preview shows it; null when there is none to show.
    QImage preview() const { return m_image; }
    QLabel* previewLabel() const { return m_preview; }

private:
    enum TemplateChoice { NoLabel, DefaultTemplate, TemplateFile };
    enum Destination { ToFolder, ToPrinter };

    QString templateName() const;
    void listPrinters(const QString& wanted);
    void updatePreview();
    void showPreviewText(const QString& text, bool problem);

    QComboBox* m_choice = nullptr;
    QLineEdit* m_file = nullptr;
    QWidget* m_fileRow = nullptr;
    QComboBox* m_destination = nullptr;
    QStackedWidget* m_where = nullptr;
    QLineEdit* m_folder = nullptr;
    QComboBox* m_printer = nullptr;
    QLabel* m_preview = nullptr;
    QString m_bench;
    QImage m_image;
    // Why the chosen template is refused, naming its line; nothing for one that is good.
    std::optional<QString> m_refusal;
};

} // namespace station
