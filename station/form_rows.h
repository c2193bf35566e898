// The rows of the station's forms: a field with its Browse button, and a label that names its
// field for a screen reader.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace station {

// A field with a button that picks a file for it.
QWidget* WithBrowse(QWidget* field, QPushButton* browse);

// A screen reader finds a label's buddy only beside it, not inside a row with a Browse
// button: each field is named outright.
QLabel* BuddyLabel(const QString& text, QWidget* buddy);

} // namespace station
