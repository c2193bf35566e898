#include "list_selection.h"

#include <QComboBox>

namespace main_window {

QString SelectedText(const QComboBox& list) {
    return list.itemText(list.currentIndex());
}

void SelectIfListed(QComboBox& list, const std::optional<int>& position) {
    if (position)
        list.setCurrentIndex(*position);
}

void SelectTypedEntry(QComboBox& list) {
    const QString text = list.currentText();
    if (list.currentIndex() >= 0 && text == list.itemText(list.currentIndex()))
        return;
    const QString spelt = text.trimmed();
    // MatchFixedString compares the whole text without regard to case.
    const int entry = spelt.isEmpty() ? -1 : list.findText(spelt, Qt::MatchFixedString);
    list.setCurrentIndex(entry);
    list.setEditText(entry < 0 ? text : list.itemText(entry));
}

} // namespace main_window
