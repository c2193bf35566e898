// A single-line text box whose length limit binds only what the user types or pastes:
// a longer text that the program puts in is kept whole, as the module sent it.
#pragma once

#include <QLineEdit>

namespace main_window {

class TextBox : public QLineEdit {
    Q_OBJECT

public:
    explicit TextBox(QWidget* parent = nullptr);

    void setTypingLimit(int limit);
    int typingLimit() const { return m_typingLimit; }

    // Hides QLineEdit::setText, which would cut the text to the length limit.
    void setText(const QString& text);

private:
    // QLineEdit cuts user input at maxLength; the program's longer text raises that
    // bound, and each user edit lowers it again, never below the text now shown.
    void fitLengthBound();

    int m_typingLimit = 32767;
};

} // namespace main_window
