// Message boxes on QMessageBox: one OK button, the application title, plain text.
#pragma once

#include "message_box.h"

class QWidget;

namespace platform {

class QtMessageBox : public MessageBox {
public:
    // The box is centred on the parent when one is given.
    void setParentWidget(QWidget* parent) { m_parent = parent; }
    void show(MessageIcon icon, const QString& text) override;

private:
    QWidget* m_parent = nullptr;
};

} // namespace platform
