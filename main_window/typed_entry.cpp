// Keeps an editable list's selected entry in line with the text it shows.
#include "typed_entry.h"

#include <QComboBox>

namespace main_window {

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
