// What text typed into an editable list stands for: the entry it spells, or none.
#pragma once

class QComboBox;

namespace main_window {

// Makes the list's selection agree with its text. Text that spells an entry, ignoring case
// and blanks at the ends, selects that entry and shows it as listed; any other text stays
// as typed and leaves the list without a selected entry, so it is never taken for the
// entry chosen before.
void SelectTypedEntry(QComboBox& list);

} // namespace main_window
