// Keeps QLineEdit's length bound at the typing limit, or at the length of a longer
// text that the program set, so neither typing nor pasting can go past it.
#include "text_box.h"

#include <algorithm>

namespace main_window {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
    // Opaque, so the caret's blink repaints only the box and not the frame behind it:
    // that repaint is most of what the window costs while it sits connected and idle.
    setAutoFillBackground(true);
    connect(this, &QLineEdit::textEdited, this, &TextBox::fitLengthBound);
}

void TextBox::setTypingLimit(int limit) {
    m_typingLimit = limit;
    fitLengthBound();
}

void TextBox::setText(const QString& text) {
    setMaxLength(std::max(m_typingLimit, static_cast<int>(text.size())));
    QLineEdit::setText(text);
}

void TextBox::fitLengthBound() {
    setMaxLength(std::max(m_typingLimit, static_cast<int>(text().size())));
}

} // namespace main_window
