#include "qt_message_box.h"

#include "platform.h"

#include <QMessageBox>

namespace platform {

void QtMessageBox::show(MessageIcon icon, const QString& text) {
    QMessageBox box(icon == MessageIcon::Critical ? QMessageBox::Critical
                                                  : QMessageBox::Information,
                    kApplicationTitle, text, QMessageBox::Ok, m_parent);
    // Texts can come from the module or the operating system: never guess rich text.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace platform
