// Modal message boxes with one OK button, captioned with the application title.
#pragma once

#include <QString>

namespace platform {

enum class MessageIcon { Critical, Information };

class MessageBox {
public:
    virtual ~MessageBox() = default;

    // Returns once the user has closed the box. The text is shown as plain text.
    virtual void show(MessageIcon icon, const QString& text) = 0;
};

} // namespace platform
