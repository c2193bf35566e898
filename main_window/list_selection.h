// The selected entry of a list: what it holds, choosing one by position, and what text
// typed into an editable list stands for (the entry it spells, or none).
#pragma once

#include <QString>

#include <optional>

class QComboBox;

namespace main_window {

// The text of the selected entry; empty when no entry is selected.
QString SelectedText(const QComboBox& list);

// Selects the entry at the position, when there is one; otherwise the selection stays.
void SelectIfListed(QComboBox& list, const std::optional<int>& position);

// Makes the list's selection agree with its text. Text that spells an entry, ignoring case
// and blanks at the ends, selects that entry and shows it as listed; any other text stays
// as typed and leaves the list without a selected entry, so it is never taken for the
// entry chosen before.
void SelectTypedEntry(QComboBox& list);

} // namespace main_window
