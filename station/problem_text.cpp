#include "problem_text.h"

#include <QLabel>
#include <QPalette>

namespace station {

void ShowAsProblem(QLabel& label, bool problem) {
    // A palette that sets no colour inherits every one.
    QPalette palette;
    if (problem)
        palette.setColor(QPalette::WindowText, QColor(0xb7, 0x1c, 0x1c));
    label.setPalette(palette);
}

} // namespace station
