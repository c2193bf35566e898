#include "port_list.h"

namespace main_window {

void PortList::showPopup() {
    emit popupAboutToShow();
    QComboBox::showPopup();
}

} // namespace main_window
