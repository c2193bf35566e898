#include "form_rows.h"

#include <QHBoxLayout>

namespace station {

QWidget* WithBrowse(QWidget* field, QPushButton* browse) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(browse);
    return row;
}

QLabel* BuddyLabel(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    QString name = text;
    buddy->setAccessibleName(name.remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    return label;
}

} // namespace station
