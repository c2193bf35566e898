// A message that tells of a problem is shown in red as well as said in its words.
#pragma once

class QLabel;

namespace station {

// In the window's red, or in the colours the label inherits. Through its palette, not a style
// sheet: a style sheet changed on a shown label replaces its style, which a pending paint may
// still hold.
void ShowAsProblem(QLabel& label, bool problem);

} // namespace station
