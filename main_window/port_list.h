// The port list cboPort: a pick list that says when its list is about to drop down, so
// what each entry opens can be worked out again just then.
#pragma once

#include <QComboBox>

namespace main_window {

class PortList : public QComboBox {
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    void showPopup() override;

signals:
    void popupAboutToShow();
};

} // namespace main_window
